; Quiran's per-user installer: no administrator rights, the program in the user's own
; profile, a Start-menu entry, and an uninstaller that leaves the user's album library and
; settings alone. Built by scripts/package with makensis -DVERSION=... -DSTAGE=... -DICON=... -DOUTFILE=...
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quiran"

Name "Quiran ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quiran"
InstallDirRegKey HKCU "Software\Quiran" "InstallDir"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1041 "ProductName" "Quiran"
VIAddVersionKey /LANG=1041 "FileDescription" "Quiran ${VERSION} setup"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Quiran"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Quiran.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Section "Quiran"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${STAGE}/Quiran.exe"
  File "${STAGE}/QuiranSpiHost.exe"
  File "${STAGE}/README.txt"
  SetOutPath "$INSTDIR\licenses"
  File "${STAGE}/licenses/*.*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Quiran"
  CreateShortcut "$SMPROGRAMS\Quiran\Quiran.lnk" "$INSTDIR\Quiran.exe"
  CreateShortcut "$SMPROGRAMS\Quiran\Quiran のアンインストール.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKCU "Software\Quiran" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quiran"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quiran"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quiran.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; Only what the installer put there. The album library (Quiran.Alb and the copies kept
  ; aside), the settings (Quiran.ini) and plug-ins the user added stay, and with them the
  ; folder.
  Delete "$INSTDIR\Quiran.exe"
  Delete "$INSTDIR\QuiranSpiHost.exe"
  Delete "$INSTDIR\README.txt"
  RMDir /r "$INSTDIR\licenses"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\Quiran\Quiran.lnk"
  Delete "$SMPROGRAMS\Quiran\Quiran のアンインストール.lnk"
  RMDir "$SMPROGRAMS\Quiran"

  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Quiran"
SectionEnd
