; ****************************************************
; *  Legacy.pbi - Altes Dateiformat (Kunden.dat)
; *  Version 1.2 vom 14.03.2011
; *  Autor: K. Müller
; ****************************************************
;
; Achtung: Diese Datei ist noch im ANSI-Format gespeichert!
; Nicht mit UTF-8 öffnen, sonst gehen die Umlaute kaputt.
;
; Das alte Format (fester Satzaufbau, 256 Bytes pro Satz):
;   Kennung "KDNR" + Version (Word)
;   danach Sätze mit Name, Straße, Ort, PLZ
;
; Änderungen:
;   14.03.2011  Größe der Sätze von 200 auf 256 Bytes erhöht
;   02.02.2012  Fehler beim Einlesen von „leeren“ Sätzen behoben

DeclareModule Legacy
  #Kennung$   = "KDNR"
  #SatzGroesse = 256

  Structure Kunde
    Nummer.l
    Name.s
    Strasse.s
    PLZ.s
    Ort.s
    Umsatz.d      ; in Euro (früher DM!)
  EndStructure

  Declare   Import(Datei$)
  Declare.s DateiWaehlen()
  Declare   ZeigeInfo(*k.Kunde)
EndDeclareModule

Module Legacy
  EnableExplicit

  Global NewList Kunden.Kunde()

  ; Liest einen String fester Länge und schneidet Leerzeichen ab
  Procedure.s LeseFeld(Datei, Laenge)
    Protected *Puffer = AllocateMemory(Laenge + 1), Text$
    ReadData(Datei, *Puffer, Laenge)
    Text$ = PeekS(*Puffer, Laenge, #PB_Ascii)   ; Windows-1252!
    FreeMemory(*Puffer)
    ProcedureReturn RTrim(Text$)
  EndProcedure

  ;- Dateiauswahl
  Procedure.s DateiWaehlen()
    Protected Muster$ = "Kundendateien (*.dat)|*.dat|Alle Dateien (*.*)|*.*"
    Protected Pfad$ = "\\server\daten\export\"

    ; Wenn der Server nicht erreichbar ist, nehmen wir das Programmverzeichnis
    If FileSize(Pfad$) <> -2
      Pfad$ = GetCurrentDirectory()
    EndIf
    ProcedureReturn OpenFileRequester("Datei öffnen", Pfad$, Muster$, 0)
  EndProcedure

  ;- Import
  Procedure Import(Datei$)
    Protected f, Kennung$, Version, Anzahl = 0, Fehler = 0

    f = ReadFile(#PB_Any, Datei$)
    If f = 0
      MessageRequester("Fehler", "Die Datei konnte nicht geöffnet werden:" + #CRLF$ + Datei$, #PB_MessageRequester_Error)
      ProcedureReturn #False
    EndIf

    ; Kopf prüfen
    Kennung$ = LeseFeld(f, 4)
    Version  = ReadWord(f)
    If Kennung$ <> #Kennung$
      MessageRequester("Fehler", "Das ist keine gültige Kundendatei!", #PB_MessageRequester_Error)
      CloseFile(f)
      ProcedureReturn #False
    EndIf

    ClearList(Kunden())
    While Not Eof(f)
      AddElement(Kunden())
      With Kunden()
        \Nummer  = ReadLong(f)
        \Name    = LeseFeld(f, 60)
        \Strasse = LeseFeld(f, 60)
        \PLZ     = LeseFeld(f, 10)
        \Ort     = LeseFeld(f, 50)
        If Version >= 2
          \Umsatz = ReadDouble(f)
          FileSeek(f, Loc(f) + (#SatzGroesse - 192))   ; Rest überspringen
        Else
          FileSeek(f, Loc(f) + (200 - 184))
        EndIf
        ; leere Sätze (gelöschte Kunden) überspringen
        If \Name = ""
          DeleteElement(Kunden())
          Fehler + 1
          Continue
        EndIf
      EndWith
      Anzahl + 1
    Wend
    CloseFile(f)

    ; In die neue Datenbank übernehmen
    Protected c.Customer
    ForEach Kunden()
      c\Name$    = Kunden()\Name
      c\Street$  = Kunden()\Strasse
      c\City$    = Kunden()\PLZ + " " + Kunden()\Ort
      c\Country$ = "DE"
      c\Notes$   = "Übernommen aus Kunden.dat (Nr. " + Str(Kunden()\Nummer) + ")"
      DB_AddCustomer(@c)
    Next

    ; Alte Datei umbenennen, damit der Import nicht zweimal läuft
    RenameFile(Datei$, Datei$ + ".bak")

    MessageRequester("Import abgeschlossen", Str(Anzahl) + " Kunden wurden übernommen." + #CRLF$ +
                                             Str(Fehler) + " leere Sätze wurden übersprungen.")
    ProcedureReturn #True
  EndProcedure

  ;- Info-Fenster
  Procedure ZeigeInfo(*k.Kunde)
    Protected Fenster, Text$

    Fenster = OpenWindow(#PB_Any, 0, 0, 320, 200, "Kundeninfo", #PB_Window_SystemMenu | #PB_Window_ScreenCentered)
    If Fenster = 0 : ProcedureReturn : EndIf

    TextGadget(#PB_Any, 10, 10, 100, 20, "Name:")
    TextGadget(#PB_Any, 120, 10, 190, 20, *k\Name)
    TextGadget(#PB_Any, 10, 35, 100, 20, "Straße:")
    TextGadget(#PB_Any, 120, 35, 190, 20, *k\Strasse)
    TextGadget(#PB_Any, 10, 60, 100, 20, "PLZ / Ort:")
    TextGadget(#PB_Any, 120, 60, 190, 20, *k\PLZ + " " + *k\Ort)
    TextGadget(#PB_Any, 10, 85, 100, 20, "Umsatz:")
    TextGadget(#PB_Any, 120, 85, 190, 20, StrD(*k\Umsatz, 2) + " €")
    TextGadget(#PB_Any, 10, 110, 100, 20, "Größe:")
    TextGadget(#PB_Any, 120, 110, 190, 20, Str(#SatzGroesse) + " Bytes")
    TextGadget(#PB_Any, 10, 135, 300, 20, "Stand: " + FormatDate("%dd.%mm.%yyyy", Date()))

    Protected Schliessen = ButtonGadget(#PB_Any, 110, 165, 100, 25, "Schließen")

    Repeat
      Select WaitWindowEvent()
        Case #PB_Event_CloseWindow
          Break
        Case #PB_Event_Gadget
          If EventGadget() = Schliessen
            Break
          EndIf
      EndSelect
    ForEver

    CloseWindow(Fenster)
  EndProcedure

  ; Für die Sicherheitsabfrage beim Beenden
  Procedure.i FrageSpeichern()
    ProcedureReturn MessageRequester("Änderungen speichern?", "Möchten Sie die Änderungen speichern, bevor das Programm beendet wird?",
                                     #PB_MessageRequester_YesNoCancel)
  EndProcedure
EndModule

; IDE Options = PureBasic 4.51 (Windows - x86)
; CursorPosition = 88
; FirstLine = 54
; Folding = --
; EnableXP
