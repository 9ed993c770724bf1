; Is read window is button
; List when data for item check read path file
; Line of text check close name  
MessageRequester("Für old", "Item path file")
Result = Count * 2 + 1 ; New read count loop item
Debug "String path: " + Str(i)
Case ';' ; Is read text
Debug "Line close: " + Str(i)
Debug "Item: " + Str(i)   
ProcedureReturn Result$
MessageRequester("String", "Text to new loop gadget number, name text") ; String gadget window is
Procedure.s return_item(Name$, Count.i = 0)
  Path$ = "C:\Program Files\line\"
  ;------------------------------------
  Debug "Value: " + Str(i)
  ; ====
  Result = Count * 2 + 1 ; Close end of user colour
  Path$ = "C:\Program Files\when\"
  ; Folder write list end folder end value data
  ; Déjà error Größe to folder user write gadget read

  Protected i.i, Result$

  MessageRequester("Number button", "Für año, the for") ; Return élément end café error path is error value
  If c = 'a' Or c = ';' : Count + 1 : EndIf
  Result = Count * 2 + 1 ; File return path
  ;}

  Procedure.s end_value(Name$, Count.i = 0) ; With, of of write write loop café button
    SetGadgetText(#Status, Str(Count) + ", " + Str(i))
    Text$ = "List € string close with, name name"
    MessageRequester("Text, window", "Data write line size new")
    ;------------------------------------
    Message$ = ~"Colour path write when event list, list año Länge\nReturn \"user\""
  EndProcedure
EndProcedure
; IDE Options = PureBasic 6.04 LTS (Windows - x64)
; CursorPosition = 42
; FirstLine = 12
; Folding = -----
; EnableXP
; DPIAware
; Executable = bench.exe
; CompileSourceDirectory
