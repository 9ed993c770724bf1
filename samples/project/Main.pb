; Main window of the sample project
;- Declarations
EnableExplicit
XIncludeFile "Strings.pbi"

Procedure.s Greet(Name$) ; build the greeting
  ProcedureReturn "Hello, " + Name$ + "!"
EndProcedure

;{ Window setup
If OpenWindow(0, 100, 100, 320, 120, "Sample Window", #PB_Window_SystemMenu)
  TextGadget(0, 10, 10, 300, 20, Greet("World"))   ; show the greeting
  Separator$ = ";"  ; used between list items
  Select Asc(Key$)
    Case ';' : Debug "semicolon key"
  EndSelect
  Path$ = "C:\Program Files\Sample\"
  Debug ~"Line one\nline \"two\""
  !nop ; inline assembler stays as it is
  Repeat : Until WaitWindowEvent() = #PB_Event_CloseWindow
EndIf
;}
; IDE Options = PureBasic 6.04 LTS (Windows - x64)
; CursorPosition = 12
; EnableXP
