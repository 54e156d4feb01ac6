; The Lumo Win installer for 64-bit Windows, made by ./scripts/windows:
;   makensis -DVERSION=x.y.z -DSOURCE=portable-folder -DOUTFILE=setup.exe -DICON=VORNA.ico lumo-win.nsi
; Installs the portable folder into Program Files with a Start-menu entry and an uninstaller.
; The settings the program keeps in the user's folder (%APPDATA%) are the user's: the
; uninstaller leaves them.
; A 64-bit installer for the 64-bit program (Wine without its 32-bit part runs it too).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "x64.nsh"

!define NAME "Lumo Win"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\LumoWin"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
InstallDirRegKey HKLM "Software\LumoWin" "InstallDir"
BrandingText "${NAME} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${SOURCE}\licences\README.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "${NAME} needs 64-bit Windows."
        Abort
    ${EndIf}
    SetRegView 64
FunctionEnd

Section "Install"
    SetOutPath "$INSTDIR"
    File /r "${SOURCE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; All users' Start menu, with the program's own icon (IDI_ICON1 in lumo-win.exe).
    SetShellVarContext all
    CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\lumo-win.exe" "" "$INSTDIR\lumo-win.exe" 0
    WriteRegStr HKLM "Software\LumoWin" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lumo-win.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\${NAME}.lnk"
    ; Only what the installer put there; the settings in %APPDATA% stay.
    RMDir /r "$INSTDIR\platforms"
    RMDir /r "$INSTDIR\styles"
    RMDir /r "$INSTDIR\imageformats"
    RMDir /r "$INSTDIR\licences"
    Delete "$INSTDIR\*.dll"
    Delete "$INSTDIR\lumo-win.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "Software\LumoWin"
SectionEnd
