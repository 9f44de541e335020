; The Kestrun installer: a per-user install (no administrator rights) of the player,
; its equalizer filter and the skins, with a Start-menu entry and an uninstaller that
; gives back every file type the player took and deletes only what it installed.
;
; makensis -DVERSION=x.y.z -DSTAGE=<folder with Kestrun.exe, Equalizer.ax, Skin\...>
;          -DSKIN_LIST=<skin_files.nsh> -DOUTFILE=<setup.exe> kestrun.nsi
; SKIN_LIST holds the Delete and RMDir lines of the shipped skin files, made with the
; stage, so the uninstaller removes those and leaves a user's own skins.

Unicode true
; A 64-bit installer, so it can load the 64-bit filter to register it.
Target amd64-unicode
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "WinMessages.nsh"

!define PRODUCT "Kestrun"
!define PUBLISHER "QuenfoldSoft"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun"
!define SETTINGS_KEY "Software\QuenfoldSoft\Tovrin"
!define BACKUP_KEY "Software\QuenfoldSoft\Tovrin\Registry"
!define CLASSES "Software\Classes"
; The equalizer filter's class.
!define EQUALIZER_CLSID "{E4322820-88AC-ED99-7035-28DDFC327682}"
; The player's main window: a dialog holding the title display (control 1008) and the
; exit button (control 1057); no other dialog of the player has both.
!define TITLE_DISPLAY_ID 1008
!define EXIT_BUTTON_ID 1057
!define SHCNE_ASSOCCHANGED 0x08000000
!define SHCNF_FLUSH 0x1000

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Kestrun"
  ; An upgrade over a running copy: the player holds Kestrun.exe and Equalizer.ax
  ; open, so it is closed (and has saved) before they are replaced.
  Call CloseRunningPlayer
  SetOutPath "$INSTDIR"
  File "${STAGE}\Kestrun.exe"
  File "${STAGE}\Equalizer.ax"
  File "${STAGE}\readme.txt"
  File "${STAGE}\LICENSE.txt"
  SetOutPath "$INSTDIR\Skin"
  File /r "${STAGE}\Skin\*.*"
!ifdef X86_FILTER
  ; The filter for 32-bit programs, registered for this user in the 32-bit view of
  ; the user's classes by the 32-bit regsvr32.
  SetOutPath "$INSTDIR\x86"
  File "${STAGE}\x86\Equalizer.ax"
!endif
  SetOutPath "$INSTDIR"

  ; The filter's classes and its DirectShow entry for this user alone, even when an
  ; administrator installs: a module in the user's own folder is never registered for
  ; the whole machine. The marker tells the player the registration is done.
  ExecWait '"$SYSDIR\regsvr32.exe" /s /n /i:user "$INSTDIR\Equalizer.ax"' $0
  ${If} $0 == 0
    WriteRegStr HKCU "${SETTINGS_KEY}\Player" "RegisterEQ" "004"
  ${Else}
    DetailPrint "Equalizer.ax was not registered ($0); the player registers it when it starts."
  ${EndIf}
!ifdef X86_FILTER
  ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /s /n /i:user "$INSTDIR\x86\Equalizer.ax"' $0
  ${If} $0 != 0
    DetailPrint "x86\Equalizer.ax was not registered for 32-bit programs ($0)."
  ${EndIf}
!endif

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Kestrun.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kestrun.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; The size the list of installed programs shows, in KB: the whole folder, skins and
  ; uninstaller included.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd


; Deletes a key that holds nothing any more: no subkey, no default, no other value.
!macro DeleteKeyIfEmpty ROOT KEY
  ClearErrors
  EnumRegKey $R5 ${ROOT} "${KEY}" 0
  ${IfNot} ${Errors}
  ${AndIf} $R5 == ""
    ClearErrors
    ReadRegStr $R5 ${ROOT} "${KEY}" ""
    ${If} ${Errors}
      ClearErrors
      EnumRegValue $R5 ${ROOT} "${KEY}" 0
      ${If} $R5 == ""
        DeleteRegKey ${ROOT} "${KEY}"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ClearErrors
!macroend

; One extension ($0) in one class root: when it still names the player's class, the
; class it named before (EARLIER) goes back, or the value goes when there was none;
; an extension another program has taken since is left to it. Then the player's
; class, and its entry among the extension's "Open with" classes, go.
; The machine's root takes these writes only where this account may write it.
!macro GiveBackExtensionIn ROOT EARLIER
  ReadRegStr $2 ${ROOT} "${CLASSES}\.$0" ""
  ${If} $2 S== "KSRN$0"
    ${If} ${EARLIER} == ""
    ${OrIf} ${EARLIER} S== "notChanged"
    ${OrIf} ${EARLIER} S== "KSRN$0"
      DeleteRegValue ${ROOT} "${CLASSES}\.$0" ""
    ${Else}
      WriteRegStr ${ROOT} "${CLASSES}\.$0" "" "${EARLIER}"
    ${EndIf}
  ${EndIf}
  DeleteRegValue ${ROOT} "${CLASSES}\.$0\OpenWithProgids" "KSRN$0"
  !insertmacro DeleteKeyIfEmpty ${ROOT} "${CLASSES}\.$0\OpenWithProgids"
  !insertmacro DeleteKeyIfEmpty ${ROOT} "${CLASSES}\.$0"
  DeleteRegKey ${ROOT} "${CLASSES}\KSRN$0"
  ClearErrors
!macroend

; The backup holds the class the extension showed before (value e) and, apart from
; it, the user's own value then (value e.user, empty when the user had none): only that
; goes back into the user's classes, so a machine-wide class never becomes the user's
; own. A backup of an earlier version has no e.user; its class goes back as it was.
Function un.GiveBackExtension
  Exch $0  ; the extension, without the dot
  Push $1
  Push $2
  Push $3
  ClearErrors
  ReadRegStr $1 HKCU "${BACKUP_KEY}" "$0"
  ${If} ${Errors}
    StrCpy $1 ""
  ${EndIf}
  ClearErrors
  ReadRegStr $3 HKCU "${BACKUP_KEY}" "$0.user"
  ${If} ${Errors}
    StrCpy $3 $1
  ${EndIf}
  !insertmacro GiveBackExtensionIn HKCU $3
  !insertmacro GiveBackExtensionIn HKLM $1
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

!macro GiveBack EXTENSION
  Push "${EXTENSION}"
  Call un.GiveBackExtension
!macroend

; The installed player's main window, or 0: a dialog with the title display and the
; exit button, of a process started from $INSTDIR\Kestrun.exe. The window is in $R0,
; its process id in $R7. Both the installer (before it replaces the files) and the
; uninstaller (before it deletes them) close a running player, so the functions are
; made once for each, the uninstaller's with the "un." prefix NSIS asks for.
!macro PlayerClosingFunctions PREFIX
Function ${PREFIX}FindRunningPlayer
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R0 0
  StrCpy $R1 0
  ${Do}
    FindWindow $R1 "#32770" "" "" $R1
    ${If} $R1 == 0
      ${Break}
    ${EndIf}
    System::Call 'user32::GetDlgItem(p R1, i ${TITLE_DISPLAY_ID}) p .R2'
    System::Call 'user32::GetDlgItem(p R1, i ${EXIT_BUTTON_ID}) p .R3'
    ${If} $R2 != 0
    ${AndIf} $R3 != 0
      System::Call 'user32::GetWindowThreadProcessId(p R1, *i .R2)'
      ; PROCESS_QUERY_LIMITED_INFORMATION
      System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i R2) p .R3'
      ${If} $R3 != 0
        System::Call 'kernel32::QueryFullProcessImageNameW(p R3, i 0, w .R4, *i ${NSIS_MAX_STRLEN})'
        System::Call 'kernel32::CloseHandle(p R3)'
        ${If} $R4 == "$INSTDIR\Kestrun.exe"
          StrCpy $R0 $R1
          StrCpy $R7 $R2
          ${Break}
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${Loop}
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
FunctionEnd

; A running player is closed the way its own close button does it, so it saves its
; playlist and settings first, and waited for until its process has ended (its files
; are replaced or deleted next); when it does not end, the user is asked.
Function ${PREFIX}CloseRunningPlayer
  ${Do}
    Call ${PREFIX}FindRunningPlayer
    ${If} $R0 == 0
      Return
    ${EndIf}
    DetailPrint "Closing the running Kestrun"
    ; SYNCHRONIZE
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R7) p .R8'
    SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=15000
    StrCpy $R9 0
    ${If} $R8 != 0
      System::Call 'kernel32::WaitForSingleObject(p R8, i 15000) i .R9'
      System::Call 'kernel32::CloseHandle(p R8)'
    ${EndIf}
    ${If} $R9 != 0
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Kestrun が終了しません。Kestrun を閉じてから「再試行」を押してください。" /SD IDCANCEL IDRETRY retry
      Abort "Kestrun is still running."
      retry:
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro PlayerClosingFunctions ""
!insertmacro PlayerClosingFunctions "un."

Section "Uninstall"
  Call un.CloseRunningPlayer

  ; Every file type of the association dialog, whether or not a backup was recorded
  ; for it (an extension without an earlier class has none).
  !insertmacro GiveBack "wav"
  !insertmacro GiveBack "mp3"
  !insertmacro GiveBack "mpa"
  !insertmacro GiveBack "mp2"
  !insertmacro GiveBack "au"
  !insertmacro GiveBack "aif"
  !insertmacro GiveBack "aiff"
  !insertmacro GiveBack "snd"
  !insertmacro GiveBack "mid"
  !insertmacro GiveBack "midi"
  !insertmacro GiveBack "rmi"
  !insertmacro GiveBack "avi"
  !insertmacro GiveBack "qt"
  !insertmacro GiveBack "mov"
  !insertmacro GiveBack "mpeg"
  !insertmacro GiveBack "mpg"
  !insertmacro GiveBack "m1v"
  !insertmacro GiveBack "wma"
  !insertmacro GiveBack "wmv"
  !insertmacro GiveBack "asf"
  !insertmacro GiveBack "bmp"
  !insertmacro GiveBack "jpg"
  !insertmacro GiveBack "jpeg"
  !insertmacro GiveBack "tga"
  ; The player's entry for "Open with".
  DeleteRegKey HKCU "${CLASSES}\Applications\Kestrun.exe"
  DeleteRegKey HKLM "${CLASSES}\Applications\Kestrun.exe"
  ClearErrors
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i ${SHCNF_FLUSH}, p 0, p 0)'

  ; The filter's registration for this user, and a machine-wide one only when it is
  ; this install's (the player registers there where it may).
  ExecWait '"$SYSDIR\regsvr32.exe" /s /u /n /i:user "$INSTDIR\Equalizer.ax"'
  ${If} ${FileExists} "$INSTDIR\x86\Equalizer.ax"
    ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /s /u /n /i:user "$INSTDIR\x86\Equalizer.ax"'
  ${EndIf}
  ReadRegStr $0 HKLM "${CLASSES}\CLSID\${EQUALIZER_CLSID}\InprocServer32" ""
  ${If} $0 == "$INSTDIR\Equalizer.ax"
    ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\Equalizer.ax"'
  ${EndIf}
  ClearErrors

  ; The player's settings and the record of its associations.
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\QuenfoldSoft"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  Delete "$INSTDIR\Kestrun.exe"
  Delete "$INSTDIR\Equalizer.ax"
  Delete "$INSTDIR\x86\Equalizer.ax"
  RMDir "$INSTDIR\x86"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\LICENSE.txt"
  ; Only the skin files that were shipped: a user's own skin folders, and files a user
  ; added to a shipped one, stay (and so do the folders holding them).
  !include "${SKIN_LIST}"
  ; The user's own files (the automatic playlist, captured frames) stay, and so does
  ; the folder then.
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
