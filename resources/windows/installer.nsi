; The Windows installer of Kestra Editor, built on Linux with NSIS
; (scripts/package-windows.sh):
;
;   makensis -DVERSION=1.00 -DFILE_VERSION=1.0.0.0 -DEXE=path\KestraEditor.exe -DICON=path\kestra-editor.ico
;            -DCLI_EXE=path\kestra-cli.exe -DCLI_DOC=path\cli.md
;            -DCOPYRIGHT=path\copyright -DOUTFILE=path\setup.exe installer.nsi
;
; It installs the program and its command-line twin kestra-cli.exe (with its
; documentation, kestra-cli.md) for all users under Program Files, a Start-menu
; entry with the program's icon, the association of project files (*.tkp)
; with the program and an uninstaller (also listed under Apps and Features).
; "/S" installs and uninstalls without a window; "/D=folder" (last) chooses
; another folder. The user's settings (%APPDATA%\Kestra Editor) stay when the
; program is removed, as they do on Linux.

; A 64-bit installer, like the program: it runs where the program runs (a
; 64-bit Wine without 32-bit support included).
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!define PRODUCT "Kestra Editor"
!define PUBLISHER "Kestra Editor developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KestraEditor"
!define PROJECT_CLASS "KestraEditor.Project"

!include "MUI2.nsh"
!include "x64.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\KestraEditor.exe"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs a 64-bit Windows." /SD IDOK
        Abort
    ${EndIf}
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Kestra Editor"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File "/oname=KestraEditor.exe" "${EXE}"
    File "/oname=kestra-cli.exe" "${CLI_EXE}"
    File "/oname=kestra-cli.md" "${CLI_DOC}"
    File "/oname=kestra-editor.ico" "${ICON}"
    File "/oname=copyright.txt" "${COPYRIGHT}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\KestraEditor.exe" "" \
        "$INSTDIR\kestra-editor.ico" 0

    ; Project files open in the editor: "KestraEditor.exe" "file.tkp".
    WriteRegStr HKLM "Software\Classes\.tkp" "" "${PROJECT_CLASS}"
    WriteRegStr HKLM "Software\Classes\${PROJECT_CLASS}" "" "Kestra Editor Project"
    WriteRegStr HKLM "Software\Classes\${PROJECT_CLASS}\DefaultIcon" "" \
        "$INSTDIR\kestra-editor.ico,0"
    WriteRegStr HKLM "Software\Classes\${PROJECT_CLASS}\shell\open\command" "" \
        '"$INSTDIR\KestraEditor.exe" "%1"'
    ; Tell the Explorer that associations changed (SHCNE_ASSOCCHANGED).
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\KestraEditor.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"

    ; The extension is given up only while it still names this program.
    ReadRegStr $0 HKLM "Software\Classes\.tkp" ""
    StrCmp $0 "${PROJECT_CLASS}" 0 +2
        DeleteRegKey HKLM "Software\Classes\.tkp"
    DeleteRegKey HKLM "Software\Classes\${PROJECT_CLASS}"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    Delete "$INSTDIR\KestraEditor.exe"
    Delete "$INSTDIR\kestra-cli.exe"
    Delete "$INSTDIR\kestra-cli.md"
    Delete "$INSTDIR\kestra-editor.ico"
    Delete "$INSTDIR\copyright.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
