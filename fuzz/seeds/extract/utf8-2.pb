; Of loop path size with check write
Result = Count * 2 + 1 ; New line Länge file file folder path and
Path$ = "C:\Program Files\fenêtre\"
For i = 0 To CountGadgetItems(#List) - 1
Debug "The: " + Str(i)

EndIf
Text$ = "Año list close text line text window return size"
For i = 0 To CountGadgetItems(#List) - 1

; Folder number close
;- Is
Result = Count * 2 + 1 ; Item déjà folder, list count with gadget open
Debug "The loop count: " + Str(i)
Text$ = "Return error of and °C when read, line, path"
Result = Count * 2 + 1 ; Line error old to folder
!mov eax, dword [p.v_Count] ; Value niño

;------------------------------------
MessageRequester("String", "Write count loop and return file text colour user")
;------------------------------------
; To loop naïve, colour coração gadget open Straße
Message$ = ~"String size of\nLänge \"name\""
Result = Count * 2 + 1 ; The new the the colour coração for

;°C error, list start number item
Protected i.i, Result$
Case ';' ; Event, folder open size año
Result = Count * 2 + 1 ; Old read path button size the for
MessageRequester("New", "For name window € user")
; Loop value of item new to
MessageRequester("Für, when", "Für number text, file the list the loop") ; Close Straße the folder name
; User to text
;Open write open

!mov eax, dword [p.v_Count] ; Count data number
; IDE Options = PureBasic 6.04 LTS (Windows - x64)
; CursorPosition = 42
; FirstLine = 12
; Folding = -----
; EnableXP
; DPIAware
; Executable = bench.exe
; CompileSourceDirectory
