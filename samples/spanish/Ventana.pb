; Ventana principal del programa de ejemplo
;- Declaraciones
EnableExplicit
XIncludeFile "Textos.pbi"

Procedure.s Saludo(Nombre$) ; construye el saludo
  ProcedureReturn "Hola, " + Nombre$ + "!"
EndProcedure

;{ Preparar la ventana
If OpenWindow(0, 100, 100, 320, 160, "Ventana de ejemplo", #PB_Window_SystemMenu)
  TextGadget(0, 10, 10, 300, 20, Saludo("mundo"))   ; muestra el saludo
  ButtonGadget(1, 10, 40, 120, 25, "Guardar el archivo")
  GadgetToolTip(1, "Guarda los cambios en el disco")
  If OpenPreferences("ajustes.ini")
    Ancho = ReadPreferenceLong("AnchoVentana", 320) ; el ancho guardado
  EndIf
  Repeat : Until WaitWindowEvent() = #PB_Event_CloseWindow
  MessageRequester("Aviso", "El programa ha terminado.")
EndIf
;}
; IDE Options = PureBasic 6.04 LTS (Windows - x64)
; CursorPosition = 12
