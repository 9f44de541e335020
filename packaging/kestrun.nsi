; The Kestrun installer: a per-user install (no administrator rights) of the player,
; its equalizer filter and the skins, with a Start-menu entry and an uninstaller that
; takes back everything the player put into the user's registry.
;
; makensis -DVERSION=x.y.z -DSTAGE=<folder with Kestrun.exe, Equalizer.ax, Skin\...> -DOUTFILE=<setup.exe> kestrun.nsi

Unicode true
; A 64-bit installer, so it can load the 64-bit filter to register it.
Target amd64-unicode
!include "LogicLib.nsh"

!define PRODUCT "Kestrun"
!define PUBLISHER "QuenfoldSoft"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun"
!define SETTINGS_KEY "Software\QuenfoldSoft\Tovrin"
!define BACKUP_KEY "Software\QuenfoldSoft\Tovrin\Registry"
; The equalizer filter's class, its interface and its property page.
!define EQUALIZER_CLSID "{E4322820-88AC-ED99-7035-28DDFC327682}"
!define PAGE_CLSID "{E4322822-88AC-ED99-7035-28DDFC327682}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
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

; The filter's class for this user alone, so the player finds it without rights to the
; machine's class registry.
!macro WriteUserClass CLSID NAME FILE
  WriteRegStr HKCU "Software\Classes\CLSID\${CLSID}" "" "${NAME}"
  WriteRegStr HKCU "Software\Classes\CLSID\${CLSID}\InprocServer32" "" "${FILE}"
  WriteRegStr HKCU "Software\Classes\CLSID\${CLSID}\InprocServer32" "ThreadingModel" "Both"
!macroend

Section "Kestrun"
  SetOutPath "$INSTDIR"
  File "${STAGE}\Kestrun.exe"
  File "${STAGE}\Equalizer.ax"
  File "${STAGE}\readme.txt"
  File "${STAGE}\LICENSE.txt"
  SetOutPath "$INSTDIR\Skin"
  File /r "${STAGE}\Skin\*.*"
  SetOutPath "$INSTDIR"

  ; The filter's own registration where the user may write it (the full DirectShow
  ; entry needs the machine's registry), and the per-user class the player uses.
  ClearErrors
  RegDLL "$INSTDIR\Equalizer.ax"
  !insertmacro WriteUserClass "${EQUALIZER_CLSID}" "Quenfold' Equalizer" "$INSTDIR\Equalizer.ax"
  !insertmacro WriteUserClass "${PAGE_CLSID}" "Quenfold' Equalizer Page" "$INSTDIR\Equalizer.ax"

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
SectionEnd

; Gives an extension back: the class it named before the player took it, or none when
; it had none (the player's class goes with the player).
Function un.RestoreExtension
  Pop $0  ; the extension, without the dot
  Pop $1  ; the class it had before, or "notChanged"
  ReadRegStr $2 HKCR ".$0" ""
  ${If} $2 == "KSRN$0"
    ${If} $1 == "notChanged"
    ${OrIf} $1 == ""
      DeleteRegValue HKCR ".$0" ""
    ${Else}
      WriteRegStr HKCR ".$0" "" "$1"
    ${EndIf}
  ${EndIf}
  DeleteRegKey HKCR "KSRN$0"
FunctionEnd

Section "Uninstall"
  ; File types the player took, as its association dialog recorded them.
  StrCpy $R0 0
  ${Do}
    EnumRegValue $R1 HKCU "${BACKUP_KEY}" $R0
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    ReadRegStr $R2 HKCU "${BACKUP_KEY}" $R1
    Push $R2
    Push $R1
    Call un.RestoreExtension
    IntOp $R0 $R0 + 1
  ${Loop}

  ClearErrors
  UnRegDLL "$INSTDIR\Equalizer.ax"
  DeleteRegKey HKCU "Software\Classes\CLSID\${EQUALIZER_CLSID}"
  DeleteRegKey HKCU "Software\Classes\CLSID\${PAGE_CLSID}"

  ; The player's settings and the record of its associations.
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\QuenfoldSoft"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  Delete "$INSTDIR\Kestrun.exe"
  Delete "$INSTDIR\Equalizer.ax"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\LICENSE.txt"
  ; The user's own files (the automatic playlist, captured frames) stay, and so does
  ; the folder then.
  RMDir /r "$INSTDIR\Skin"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
