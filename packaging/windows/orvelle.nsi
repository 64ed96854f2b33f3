; The Windows installer: the programs with their language packs, Qt and the
; runtime, Start-menu entries, and an uninstaller that removes exactly what was
; installed and the console's log-on entry. make-installer.sh passes STAGE (the
; staged folder), VERSION, OUTFILE and the generated file lists.
; A 64-bit installer, as the programs are: it runs where they can, and sees
; the registry and the program folder as they do.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"

Name "Orvelle ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orvelle"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvelle"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
; The console's own log-on entry, which it writes when the user asks for it.
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "OrvelleConsole"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

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

  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
