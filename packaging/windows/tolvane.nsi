; The Windows installer, in Spanish: Tolvane.exe in Program Files with templates of its two
; settings files (an earlier install's are kept) and the SQLite schema, a Start-menu folder, the
; Run value that start-up would write, and an uninstaller in the system's programs list. Both
; first ask every running Tolvane to stop (a running program's file cannot be replaced or
; removed), and say so when one does not. The uninstaller keeps the settings unless the clerk
; asks to remove them. /S runs either silently (settings kept, nothing started).
; Built by makensis with -DEXE=, -DTEMPLATES=, -DSCHEMA=, -DICON=, -DVERSION= and -DOUTFILE=.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define PRODUCT "Tolvane"
; As in the executable's version record.
!define PUBLISHER "Brenmoor"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "BRENMOOR_TOLVANE"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The per-user store of the upload settings, the password among them.
!define USER_STORE_KEY "Software\VB and VBA Program Settings\HISTORIAL"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Instalador de ${PRODUCT} ${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_TITLE "Tolvane está instalado"
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "Tolvane se inicia con cada sesión de Windows y vive en el área \
de notificación.$\r$\n$\r$\nNecesita los controladores ODBC de 64 bits de sus bases de datos: \
SQLite ODBC Driver (ch-werner.de/sqliteodbc) o psqlODBC (postgresql.org/ftp/odbc)."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Iniciar Tolvane"
!define MUI_FINISHPAGE_RUN_FUNCTION StartTolvane

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

; Asks every running Tolvane to stop with `--detener` of the program at $R9 and waits; when one
; still runs, offers to try again or to finish the job at the next restart ($R8: 1).
!macro STOP_TOLVANE un
Function ${un}StopTolvane
    StrCpy $R8 0
    retry:
    ClearErrors
    ExecWait '"$R9" --detener' $0
    ${If} ${Errors}
    ${OrIf} $0 == 0
        Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Tolvane sigue en ejecución (quizá en la \
sesión de otro usuario) y no se puede reemplazar ni quitar mientras tanto.$\r$\n$\r$\n\
Reintentar: vuelve a pedirle que se detenga (ciérrelo desde su icono si hace falta).$\r$\n\
Cancelar: termina al reiniciar Windows." /SD IDCANCEL IDRETRY retry
    StrCpy $R8 1
FunctionEnd
!macroend
!insertmacro STOP_TOLVANE ""
!insertmacro STOP_TOLVANE "un."

; Started as the clerk who installed it rather than as the administrator the installer runs as.
Function StartTolvane
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\Tolvane.exe"'
FunctionEnd

Section "Tolvane"
    SetRegView 64
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    ; The new program asks: one installed before it may not know how.
    InitPluginsDir
    File "/oname=$PLUGINSDIR\Tolvane.exe" "${EXE}"
    StrCpy $R9 "$PLUGINSDIR\Tolvane.exe"
    Call StopTolvane
    ${If} $R8 == 1
        File "/oname=$INSTDIR\Tolvane.exe.nuevo" "${EXE}"
        Rename /REBOOTOK "$INSTDIR\Tolvane.exe.nuevo" "$INSTDIR\Tolvane.exe"
    ${Else}
        File "${EXE}"
    ${EndIf}
    ; The clerk's settings of an earlier install stay as they are.
    SetOverwrite off
    File "${TEMPLATES}/Config.ini"
    File "${TEMPLATES}/QuillonConfig.ini"
    SetOverwrite on
    File "${SCHEMA}"
    ; The clerks save their settings into Config.ini from the settings window, without being
    ; administrators: they may change that file (the Users group, by its well-known SID so
    ; that it holds in every language), and nothing else of the folder.
    nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR\Config.ini" /grant *S-1-5-32-545:M'
    Pop $0
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Tolvane.exe"
    ; As start-up writes it, which the program (usually not elevated) may not do itself;
    ; quoted, as a path with spaces must be.
    WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\Tolvane.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tolvane.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Everything installed goes; the settings (Config.ini, QuillonConfig.ini and the per-user
; store's key with the upload password) stay for a later install unless the clerk asks to
; remove them.
Section "Uninstall"
    SetRegView 64
    SetShellVarContext all
    StrCpy $R9 "$INSTDIR\Tolvane.exe"
    Call un.StopTolvane
    Delete /REBOOTOK "$INSTDIR\Tolvane.exe"
    Delete "$INSTDIR\Uninstall.exe"
    Delete "$INSTDIR\schema.sql"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "La configuración de Tolvane se conserva \
para una próxima instalación: Config.ini y QuillonConfig.ini en $INSTDIR, y la clave \
HKEY_CURRENT_USER\${USER_STORE_KEY} con la contraseña de subida.$\r$\n$\r$\n¿Quitarla también?" \
        /SD IDNO IDNO kept
    Delete "$INSTDIR\Config.ini"
    Delete "$INSTDIR\QuillonConfig.ini"
    DeleteRegKey HKCU "${USER_STORE_KEY}"
    kept:
    RMDir "$INSTDIR"
SectionEnd
