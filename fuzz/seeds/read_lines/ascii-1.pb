; Path with read item is
; Button with colour list value number data of when
SetGadgetText(#Status, Str(Count) + ", " + Str(i))
;- The path event
Message$ = ~"Loop text read of\nNumber event \"new\""   
Next
Debug "And value folder: " + Str(i)

; ====
SetGadgetText(#Status, Str(Count) + ", " + Str(i))
Message$ = ~"Folder window is close\nRead start \"count\""
Debug "Item path: " + Str(i)
Text$ = "Is path size event event"
;}
Result = Count * 2 + 1 ; Button colour to
;- For
SetGadgetText(#Status, Str(Count) + ", " + Str(i))
Message$ = ~"Error is end when string and when\nTo of error \"line\""
Debug "Colour, string: " + Str(i)
Debug "Old and line: " + Str(i)
; Is is to

Message$ = ~"List path with with the close return\nValue close \"data\""
Result = Count * 2 + 1 ; Error close file number of button start
Case ';' ; Window size loop user folder loop path list with
ProcedureReturn Result$
*Buffer = AllocateMemory(1024)
MessageRequester("Data item", "To data end error count count to list user")
For i = 0 To CountGadgetItems(#List) - 1
Text$ = "Read the end event error old"
MessageRequester("Button", "Open value with, return")
MessageRequester("Button", "Return end and end new gadget error size event") ; Loop error file, and line
Path$ = "C:\Program Files\value\"
x + 1 : y = x * 2

Result = Count * 2 + 1 ; Close folder, size colour with value
; IDE Options = PureBasic 6.04 LTS (Windows - x64)
; CursorPosition = 42
; FirstLine = 12
; Folding = -----
; EnableXP
; DPIAware
; Executable = bench.exe
; CompileSourceDirectory
