;- Prefs.pbi
;  Preferences and registry helpers for MyApp
;  (c) 2016-2023 MyCompany - Tom
;  NOTE: keep the key names in sync with the old VB6 installer!!

EnableExplicit

;- Constants
#Prefs_FileName$  = "MyApp.prefs"
#Prefs_Company$   = "MyCompany"
#Prefs_AppName$   = "MyApp"
#Prefs_RegKey$    = "Software\MyCompany\MyApp"
#Prefs_RegRunKey$ = "Software\Microsoft\Windows\CurrentVersion\Run"

CompilerIf Defined(HKEY_CURRENT_USER, #PB_Constant) = #False
  #HKEY_CURRENT_USER  = $80000001
  #HKEY_LOCAL_MACHINE = $80000002
CompilerEndIf

Structure AppSettings
  WindowX.l
  WindowY.l
  WindowWidth.l
  WindowHeight.l
  Maximized.b
  ProfilerWidth.l
  LastFile$
  LastFolder$
  Language$         ; "en", "de", "fr"
  AutoSave.l        ; minutes, 0 = off
EndStructure

Global Settings.AppSettings
Global PrefsPath$

;{ Path helpers
Procedure.s Prefs_GetFolder()
  Protected Folder$

  ; Portable mode: if there is a prefs file next to the exe, use that one
  If FileSize(GetPathPart(ProgramFilename()) + #Prefs_FileName$) >= 0
    ProcedureReturn GetPathPart(ProgramFilename())
  EndIf

  CompilerSelect #PB_Compiler_OS
    CompilerCase #PB_OS_Windows
      Folder$ = GetEnvironmentVariable("APPDATA")
      If Folder$ = ""
        Folder$ = GetHomeDirectory() + "AppData\Roaming"
      EndIf
      Folder$ + "\" + #Prefs_Company$ + "\" + #Prefs_AppName$ + "\"
    CompilerCase #PB_OS_Linux
      Folder$ = GetHomeDirectory() + ".config/myapp/"
    CompilerCase #PB_OS_MacOS
      Folder$ = GetHomeDirectory() + "Library/Application Support/MyApp/"
  CompilerEndSelect

  If FileSize(Folder$) <> -2
    ; TODO: CreateDirectory() can't create the parents!
    CreateDirectory(Folder$)
  EndIf

  ProcedureReturn Folder$
EndProcedure
;}

; ------------------------------------------------------------------
;- Load / Save
; ------------------------------------------------------------------

Procedure Prefs_Defaults()
  With Settings
    \WindowX       = #PB_Ignore
    \WindowY       = #PB_Ignore
    \WindowWidth   = 800
    \WindowHeight  = 600
    \ProfilerWidth = 300
    \Language$     = "en"
    \AutoSave      = 5
  EndWith
EndProcedure

Procedure Prefs_Load()
  Prefs_Defaults()
  PrefsPath$ = Prefs_GetFolder() + #Prefs_FileName$

  If OpenPreferences(PrefsPath$) = 0
    Debug "No prefs file yet, using defaults: " + PrefsPath$
    ProcedureReturn #False
  EndIf

  PreferenceGroup("Window")
  Settings\WindowX       = ReadPreferenceLong("X", #PB_Ignore)
  Settings\WindowY       = ReadPreferenceLong("Y", #PB_Ignore)
  Settings\WindowWidth   = ReadPreferenceLong("Width", 800)
  Settings\WindowHeight  = ReadPreferenceLong("Height", 600)
  Settings\Maximized     = ReadPreferenceLong("Maximized", 0)
  Settings\ProfilerWidth = ReadPreferenceLong("ProfilerWidth", 300)

  PreferenceGroup("General")
  Settings\LastFile$   = ReadPreferenceString("LastFile", "")
  Settings\LastFolder$ = ReadPreferenceString("LastFolder", GetHomeDirectory())
  Settings\Language$   = ReadPreferenceString("Language", "en")
  Settings\AutoSave    = ReadPreferenceLong("AutoSave", 5)

  ClosePreferences()
  ProcedureReturn #True
EndProcedure

Procedure Prefs_Save()
  If CreatePreferences(PrefsPath$, #PB_Preference_GroupSeparator) = 0
    MessageRequester("Settings", "Could not save your settings." + #CRLF$ +
                                 "Please check that this folder is writable:" + #CRLF$ + GetPathPart(PrefsPath$),
                     #PB_MessageRequester_Warning)
    ProcedureReturn #False
  EndIf

  PreferenceComment(" MyApp settings - do not edit while MyApp is running")
  PreferenceComment("")

  PreferenceGroup("Window")
  WritePreferenceLong("X", Settings\WindowX)
  WritePreferenceLong("Y", Settings\WindowY)
  WritePreferenceLong("Width", Settings\WindowWidth)
  WritePreferenceLong("Height", Settings\WindowHeight)
  WritePreferenceLong("Maximized", Settings\Maximized)
  WritePreferenceLong("ProfilerWidth", Settings\ProfilerWidth)

  PreferenceGroup("General")
  WritePreferenceString("LastFile", Settings\LastFile$)
  WritePreferenceString("LastFolder", Settings\LastFolder$)
  WritePreferenceString("Language", Settings\Language$)
  WritePreferenceLong("AutoSave", Settings\AutoSave)

  ClosePreferences()
  ProcedureReturn #True
EndProcedure

;- Registry (Windows only)
CompilerIf #PB_Compiler_OS = #PB_OS_Windows

Procedure Reg_RootFromName(Root$)
  Select UCase(Root$)
    Case "HKEY_CURRENT_USER", "HKCU"
      ProcedureReturn #HKEY_CURRENT_USER
    Case "HKEY_LOCAL_MACHINE", "HKLM"
      ProcedureReturn #HKEY_LOCAL_MACHINE
    Default
      Debug "Reg_RootFromName: unknown root '" + Root$ + "'"
      ProcedureReturn 0
  EndSelect
EndProcedure

Procedure Reg_WriteString(Root$, Key$, Value$, Data$)
  Protected hKey, Disp, Ok = #False

  If RegCreateKeyEx_(Reg_RootFromName(Root$), Key$, 0, #Null, 0, #KEY_WRITE, 0, @hKey, @Disp) = #ERROR_SUCCESS
    Ok = Bool(RegSetValueEx_(hKey, Value$, 0, #REG_SZ, @Data$, StringByteLength(Data$) + SizeOf(Character)) = #ERROR_SUCCESS)
    RegCloseKey_(hKey)
  EndIf
  ProcedureReturn Ok
EndProcedure

; Autostart with Windows (checkbox in the options dialog)
Procedure Prefs_SetAutostart(Enable)
  If Enable
    Reg_WriteString("HKEY_CURRENT_USER", #Prefs_RegRunKey$, #Prefs_AppName$, #DQUOTE$ + ProgramFilename() + #DQUOTE$ + " /minimized")
  Else
    Protected hKey
    If RegOpenKeyEx_(#HKEY_CURRENT_USER, #Prefs_RegRunKey$, 0, #KEY_WRITE, @hKey) = #ERROR_SUCCESS
      RegDeleteValue_(hKey, #Prefs_AppName$)
      RegCloseKey_(hKey)
    EndIf
  EndIf
EndProcedure

; The uninstaller looks here
Procedure Prefs_RegisterInstall()
  Reg_WriteString("HKEY_CURRENT_USER", #Prefs_RegKey$, "InstallDir", GetPathPart(ProgramFilename()))
  Reg_WriteString("HKCU", "Software\MyCompany\MyApp\Settings", "PrefsFile", PrefsPath$)
EndProcedure

;- Dynamic API calls
Prototype.i ProtoMessageBox(hWnd, Text.p-unicode, Caption.p-unicode, Type)

; MessageBox with a real Windows icon + "Don't show again" would be nicer, later...
Procedure Prefs_NativeMessage(Title$, Text$)
  Protected MsgBox.ProtoMessageBox

  If OpenLibrary(0, "user32.dll")
    MsgBox = GetFunction(0, "MessageBoxW")
    If MsgBox
      MsgBox(0, Text$, Title$, #MB_OK | #MB_ICONINFORMATION)
    EndIf
    CloseLibrary(0)
  Else
    MessageRequester(Title$, Text$)
  EndIf
EndProcedure

CompilerEndIf
; IDE Options = PureBasic 6.04 LTS (Windows - x64)
; CursorPosition = 187
; FirstLine = 150
; Folding = --
; EnableXP
