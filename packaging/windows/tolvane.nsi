; The Windows installer: Tolvane.exe in Program Files with templates of its two settings files
; (an earlier install's are kept), a Start-menu folder, the Run value that start-up would write,
; and an uninstaller in the system's programs list that keeps the settings. /S runs either
; silently. Built by makensis with -DEXE=, -DTEMPLATES= and -DOUTFILE=.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define PRODUCT "Tolvane"
!define VERSION "1.8.40"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "BRENMOOR_TOLVANE"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "CompanyName" "Brenmoor"
VIAddVersionKey "LegalCopyright" "Brenmoor"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Tolvane"
    SetRegView 64
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File "${EXE}"
    ; The clerk's settings of an earlier install stay as they are.
    SetOverwrite off
    File "${TEMPLATES}/Config.ini"
    File "${TEMPLATES}/QuillonConfig.ini"
    SetOverwrite on
    ; The clerks save their settings into Config.ini from the settings window, without being
    ; administrators: they may change that file (the Users group, by its well-known SID so
    ; that it holds in every language), and nothing else of the folder.
    nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR\Config.ini" /grant *S-1-5-32-545:M'
    Pop $0
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Tolvane.exe"
    ; As start-up writes it, which the program (usually not elevated) may not do itself.
    WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" "$INSTDIR\Tolvane.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Brenmoor"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tolvane.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Everything installed goes but the settings: Config.ini and QuillonConfig.ini, and so the
; folder that holds them, stay for a later install.
Section "Uninstall"
    SetRegView 64
    SetShellVarContext all
    Delete "$INSTDIR\Tolvane.exe"
    Delete "$INSTDIR\Uninstall.exe"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    RMDir "$INSTDIR"
SectionEnd
