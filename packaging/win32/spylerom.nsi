; The Windows installer of Spylerom: puts the programs under Program Files\Solvarek\Spylerom, a
; Start-menu folder and an uninstaller registered with Windows. The uninstaller removes exactly
; these files, and folders only when they are left empty; the user's settings and log under
; APPDATA are never touched. Built by packaging/win32/CMakeLists.txt, which passes VERSION,
; OUTFILE, CLI_EXE, ICON and, when the window program is built, GUI_EXE.

Unicode true
Target amd64-unicode ; a 64-bit stub: 64-bit programs, registry view and Program Files
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include FileFunc.nsh

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Spylerom"
!define MENU_DIR "$SMPROGRAMS\Spylerom"
!define DEFAULT_DIR "$PROGRAMFILES64\Solvarek\Spylerom"

Name "Spylerom ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${DEFAULT_DIR}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation" ; an upgrade goes where the last install went
ShowInstDetails show
ShowUninstDetails show
BrandingText "Solvarek Spylerom ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "Spylerom"
VIAddVersionKey /LANG=0 "CompanyName" "Solvarek"
VIAddVersionKey /LANG=0 "FileDescription" "Spylerom installasjonsprogram"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Solvarek"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Norwegian"

Function .onInit
    SetShellVarContext all
    SetRegView 64
FunctionEnd

Function un.onInit
    SetShellVarContext all
    SetRegView 64
FunctionEnd

Section "Spylerom" SecMain
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "/oname=spylerom-cli.exe" "${CLI_EXE}"
!ifdef GUI_EXE
    File "/oname=spylerom.exe" "${GUI_EXE}"
!endif
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "${MENU_DIR}"
!ifdef GUI_EXE
    CreateShortcut "${MENU_DIR}\Spylerom.lnk" "$INSTDIR\spylerom.exe"
!endif
    CreateShortcut "${MENU_DIR}\Avinstaller Spylerom.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Spylerom"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Solvarek"
    WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
!ifdef GUI_EXE
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\spylerom.exe,0"
!else
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\spylerom-cli.exe,0"
!endif
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
    WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

; Only the files this installer puts down; a folder goes only when nothing else is left in it,
; and the Solvarek folder above only when the install went to the default place.
Section "Uninstall"
    Delete "$INSTDIR\spylerom-cli.exe"
    Delete "$INSTDIR\spylerom.exe"
    Delete "${MENU_DIR}\Spylerom.lnk"
    Delete "${MENU_DIR}\Avinstaller Spylerom.lnk"
    RMDir "${MENU_DIR}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    StrCmp "$INSTDIR" "${DEFAULT_DIR}" 0 +2
        RMDir "$PROGRAMFILES64\Solvarek"
    DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
