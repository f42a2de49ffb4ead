; The branch terminal's installer, and its self-update: started without options over an
; installed terminal it updates it without asking anything.
;   makensis -DVERSION=F107 -DSTAGE=dir -DUNINSTALL_LIST=file -DOUTFILE=out.exe quorvalis.nsi
; Options: /HOST=name[:port] /TIMEOUT=seconds /FL=number /UPDATEKEY=base64, also with /S
; (silent).
Unicode true
!include FileFunc.nsh
!include LogicLib.nsh

Name "quorvalis ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "c:\quorvalis"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ShowInstDetails nevershow
Page directory
Page instfiles
UninstPage instfiles

Var updating

Function .onInit
  StrCpy $updating 0
  ${If} ${FileExists} "$INSTDIR\quorval.exe"
    StrCpy $updating 1
    SetSilent silent
  ${EndIf}
FunctionEnd

; The terminal that started the update ends at once; its lock file can be deleted only once it
; has (the running terminal holds it open). At most a minute.
Function WaitForTerminal
  StrCpy $0 0
  ${Do}
    ClearErrors
    Delete "$INSTDIR\quorval.lock"
    ${IfNot} ${FileExists} "$INSTDIR\quorval.lock"
      ${Break}
    ${EndIf}
    IntOp $0 $0 + 1
    ${If} $0 > 120
      ${Break}
    ${EndIf}
    Sleep 500
  ${Loop}
FunctionEnd

; Earlier updates left their downloads ("c:\quorvalis\ F107.exe"); this one may be running.
Function RemoveOldDownloads
  FindFirst $0 $1 "$INSTDIR\ *.exe"
  ${DoWhile} $1 != ""
    ${If} "$INSTDIR\$1" != "$EXEPATH"
      Delete "$INSTDIR\$1"
    ${EndIf}
    FindNext $0 $1
  ${Loop}
  FindClose $0
FunctionEnd

Section "quorvalis"
  SetOutPath "$INSTDIR"
  Call WaitForTerminal
  SetOverwrite on
  File /r "${STAGE}/*"
  WriteINIStr "$INSTDIR\version.ini" "Version" "filial" "${VERSION}"
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/HOST=" $R1
  ${IfNot} ${Errors}
    WriteINIStr "$INSTDIR\install.ini" "server" "host" "$R1"
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/TIMEOUT=" $R1
  ${IfNot} ${Errors}
    WriteINIStr "$INSTDIR\install.ini" "server" "timeout" "$R1"
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/UPDATEKEY=" $R1
  ${IfNot} ${Errors}
    WriteINIStr "$INSTDIR\install.ini" "update" "key" "$R1"
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/FL=" $R1
  ${IfNot} ${Errors}
    WriteINIStr "$INSTDIR\cl.ini" "start" "FL" "$R1"
  ${EndIf}
  FlushINI "$INSTDIR\version.ini"
  Call RemoveOldDownloads
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis" "DisplayName" "quorvalis"
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis" "UninstallString" '"$INSTDIR\uninstall.exe"'
  ${If} $updating == 1
    Exec '"$INSTDIR\quorval.exe"'
  ${EndIf}
SectionEnd

; The program goes; the branch's records (coupons.ini, data\, cl.ini, install.ini) stay.
Section "Uninstall"
  !include "${UNINSTALL_LIST}"
  Delete "$INSTDIR\version.ini"
  Delete "$INSTDIR\quorval.lock"
  Delete "$INSTDIR\uninstall.exe"
  DeleteRegValue HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "quorvalis"
  DeleteRegKey HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis"
  RMDir "$INSTDIR"
SectionEnd
