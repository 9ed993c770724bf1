; Hauptfenster des Beispielprojekts
;- Deklarationen
EnableExplicit
XIncludeFile "Strings.pbi"

Procedure.s Greet(Name$) ; Begrüßung erstellen
  ProcedureReturn "Hallo, " + Name$ + "!"
EndProcedure

;{ Fenster einrichten
If OpenWindow(0, 100, 100, 320, 120, "Beispielfenster", #PB_Window_SystemMenu)
  TextGadget(0, 10, 10, 300, 20, Greet("Welt"))   ; Begrüßung anzeigen
  Separator$ = ";"  ; zwischen Listeneinträgen verwendet
  Select Asc(Key$)
    Case ';' : Debug "Semikolon-Taste"
  EndSelect
  Path$ = "C:\Program Files\Sample\"
  Debug ~"Zeile eins\nZeile \"zwei\""
  !nop ; inline assembler stays as it is
  Repeat : Until WaitWindowEvent() = #PB_Event_CloseWindow
EndIf
;}
; IDE Options = PureBasic 6.04 LTS (Windows - x64)
; CursorPosition = 12
; EnableXP
