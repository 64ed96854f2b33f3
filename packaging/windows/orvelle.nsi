; The Windows installer: the programs with their language packs, Qt and the
; runtime, Start-menu entries, the language chosen for the installation as
; every user's default, and an uninstaller that removes exactly what was
; installed and the console's log-on entry. make-installer.sh passes STAGE (the
; staged folder), VERSION, OUTFILE and the generated file lists.
; A 64-bit installer, as the programs are: it runs where they can, and sees
; the registry and the program folder as they do.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "LogicLib.nsh"

Name "Orvelle ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orvelle"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvelle"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
; The console's own log-on entry, which it writes under the user's Run key
; when the user asks for it (earlier versions wrote the machine's).
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "OrvelleConsole"
; The programs read the language here when a user has chosen none: 0 English,
; 1 Chinese. Users' own choices are under HKEY_CURRENT_USER and stay theirs.
!define SETTINGS_KEY "Software\Orvelle"
!define LANGUAGE_KEY "${SETTINGS_KEY}\GlobalSettings"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

; The language is asked for first; a silent installation takes the system's.
Function .onInit
  !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

Section "Orvelle"
  SetOutPath "$INSTDIR"
  !include "${INSTALL_LIST}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Orvelle"
  CreateShortcut "$SMPROGRAMS\Orvelle\OrvelleConsole.lnk" "$INSTDIR\OrvelleConsole.exe"
  CreateShortcut "$SMPROGRAMS\Orvelle\Tessaly.lnk" "$INSTDIR\Tessaly.exe"
  CreateShortcut "$SMPROGRAMS\Orvelle\Uninstall Orvelle.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Orvelle touch-frame suite"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\OrvelleConsole.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ${If} $LANGUAGE == ${LANG_SIMPCHINESE}
    WriteRegDWORD HKLM "${LANGUAGE_KEY}" "Language" 1
  ${Else}
    WriteRegDWORD HKLM "${LANGUAGE_KEY}" "Language" 0
  ${EndIf}
SectionEnd

Section "Uninstall"
  ; Only the files this installer put there: a folder chosen by the user may
  ; hold files of the user's own, which stay, and so does the folder then.
  !include "${UNINSTALL_LIST}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\Orvelle\OrvelleConsole.lnk"
  Delete "$SMPROGRAMS\Orvelle\Tessaly.lnk"
  Delete "$SMPROGRAMS\Orvelle\Uninstall Orvelle.lnk"
  RMDir "$SMPROGRAMS\Orvelle"

  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegValue HKLM "${LANGUAGE_KEY}" "Language"
  DeleteRegKey /ifempty HKLM "${LANGUAGE_KEY}"
  DeleteRegKey /ifempty HKLM "${SETTINGS_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
