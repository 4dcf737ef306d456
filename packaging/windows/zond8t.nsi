; The Windows installer of ЗОНД-8Т "Тавис". scripts/package-windows passes VERSION, OUTFILE and
; the two lists it writes from the deployed folder: FILES (what to install) and UNFILES (what to
; remove again, and nothing else).
; A 64-bit installer for a 64-bit program (and wine64 runs it).
Target amd64-unicode
!include "MUI2.nsh"

!define PRODUCT "ЗОНД-8Т «Тавис»"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZOND8T"
!define SETTINGS_KEY "Software\Orbelin\ZOND05"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\ZOND-8T"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "Orbelin"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "CompanyName" "Orbelin"
VIAddVersionKey /LANG=1049 "LegalCopyright" "© Orbelin"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка программы ${PRODUCT}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"

!define MUI_ICON "zond8t.ico"
!define MUI_UNICON "zond8t.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\zond8t.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Запустить программу"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Function .onInit
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Программа"
    SetShellVarContext all
    !include "${FILES}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\zond8t.exe" "" "$INSTDIR\zond8t.exe" 0
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Руководство пользователя.lnk" "$INSTDIR\zond_tavis.html"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Удалить программу.lnk" "$INSTDIR\uninstall.exe"
    CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\zond8t.exe" "" "$INSTDIR\zond8t.exe" 0

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Orbelin"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zond8t.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$DESKTOP\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Руководство пользователя.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Удалить программу.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"

    !include "${UNFILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ; What the program kept for this user: its settings and its communication logs.
    SetShellVarContext current
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Orbelin"
    RMDir /r "$LOCALAPPDATA\zond8t"
SectionEnd
