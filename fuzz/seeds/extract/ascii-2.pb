; New when loop with text size list
If c = 'a' Or c = ';' : Count + 1 : EndIf
For i = 0 To CountGadgetItems(#List) - 1
Result = Count * 2 + 1 ; New read open, item the loop file
; Path count window loop
Message$ = ~"Item is file name\nThe read number \"item\""
Text$ = "Of line list check of text read close text"
Protected i.i, Result$
Text$ = "Loop window name with and loop"
SetGadgetText(#Status, Str(Count) + ", " + Str(i))
; Loop, check gadget string of window number, for the

SetGadgetText(#Status, Str(Count) + ", " + Str(i))
Result = Count * 2 + 1 ; Colour old gadget to loop loop when

; Button button string data
Protected i.i, Result$
Text$ = "Colour value, path event text"


;------------------------------------
; To line to with old
SetGadgetText(#Status, Str(Count) + ", " + Str(i))
Message$ = ~"Start when value\nThe count \"of\""
x + 1 : y = x * 2
;}
; The event loop
ProcedureReturn Result$
x + 1 : y = x * 2
Text$ = "File item user start value return window data to"
; End, colour user, line
SetGadgetText(#Status, Str(Count) + ", " + Str(i))
;------------------------------------   

Message$ = ~"Text size size\nReturn open item \"text\""
Debug "For event: " + Str(i)

Path$ = "C:\Program Files\the\"
MessageRequester("Colour", "Value, data line list, write for close button error") ; List return return number
; IDE Options = PureBasic 6.04 LTS (Windows - x64)
; CursorPosition = 42
; FirstLine = 12
; Folding = -----
; EnableXP
; DPIAware
; Executable = bench.exe
; CompileSourceDirectory
