; The branch terminal's installer, and its self-update: started without options over an
; installed terminal it updates it without asking anything.
;   makensis -DVERSION=F107 -DVERSION_NUMBER=0.107.0.0 -DSTAGE=dir -DUNINSTALL_LIST=file -DSTAGE_LIST=file
;            -DOUTFILE=out.exe [-DSIGN=packaging/windows/sign.sh] quorvalis.nsi
; Options: /HOST=name[:port] /TIMEOUT=seconds /FL=number /UPDATEKEY=base64, also with /S
; (silent); /WAIT=seconds for the running terminal to end (default 120).
; 64-bit, as the terminal it installs.
Target amd64-unicode
!include FileFunc.nsh
!include LogicLib.nsh

Name "quorvalis ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "c:\quorvalis"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ShowInstDetails nevershow
Icon "windows/quorvalis.ico"
UninstallIcon "windows/quorvalis.ico"
!ifndef VERSION_NUMBER  ; the release's number as Windows wants it: 0.<number>.0.0
  !define VERSION_NUMBER 0.0.0.0
!endif
VIProductVersion "${VERSION_NUMBER}"
VIFileVersion "${VERSION_NUMBER}"
VIAddVersionKey "ProductName" "quorvalis"
VIAddVersionKey "CompanyName" "quorvalis"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 quorvalis, MIT License"
VIAddVersionKey "FileDescription" "quorvalis Filialterminal: Installation und Aktualisierung"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
; With the head office's certificate the uninstaller and the installer are signed as they are made.
!ifdef SIGN
  !uninstfinalize 'bash "${SIGN}" "%1"' = 0
  !finalize 'bash "${SIGN}" "%1"' = 0
!endif
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

!include "${STAGE_LIST}"

; Whether the terminal, its guard or its reader helper still runs: a running program cannot be
; opened for writing, and the running terminal holds its lock file open. Sets $1 to "busy" if so.
!macro CheckInUse
  ClearErrors
  Delete "$INSTDIR\quorval.lock"
  ${If} ${FileExists} "$INSTDIR\quorval.lock"
    StrCpy $1 busy
  ${EndIf}
  ${ForEach} $2 1 3 + 1
    ${If} $2 == 1
      StrCpy $3 "quorval-guard.exe"
    ${ElseIf} $2 == 2
      StrCpy $3 "quorval.exe"
    ${Else}
      StrCpy $3 "quorval-card.exe"
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\$3"
      ClearErrors
      FileOpen $4 "$INSTDIR\$3" a
      ${If} ${Errors}
        StrCpy $1 busy
      ${Else}
        FileClose $4
      ${EndIf}
    ${EndIf}
  ${Next}
!macroend

; The guard starts the terminal again whenever it ends without having said so: stopped first,
; a terminal ended now (by the staff, or for want of time) stays ended. Ends every guard the user
; may end (a branch PC runs one); the terminal and its helper run on.
!macro StopGuard PREFIX
Function ${PREFIX}StopGuard
  nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM quorval-guard.exe'
  Pop $0
FunctionEnd
!macroend
!insertmacro StopGuard ""
!insertmacro StopGuard "un."

; The terminal that started the update ends at once, its helper with it, and its guard a moment
; later. Up to $6 half seconds; after $7 of them (0: never) a guard still there is stopped. $0 is
; "free" once all have ended, else "busy".
!macro WaitForTerminal PREFIX
Function ${PREFIX}WaitForTerminal
  ${ForEach} $5 1 $6 + 1
    StrCpy $1 free
    !insertmacro CheckInUse
    ${If} $1 == free
      StrCpy $0 free
      Return
    ${EndIf}
    ${If} $5 == $7
      Call ${PREFIX}StopGuard
    ${EndIf}
    Sleep 500
  ${Next}
  StrCpy $0 busy
FunctionEnd
!macroend
!insertmacro WaitForTerminal ""
!insertmacro WaitForTerminal "un."

; The value of an option "/NAME=value", up to the next blank or quote: ${GetOptions} would cut it
; at a "/" inside (https://name:port). In: $R0 the parameters, $R2 "/NAME="; out: $R1, and the
; error flag when the option is absent.
Function OptionValue
  Push $3
  Push $4
  Push $5
  StrLen $3 $R2
  StrCpy $4 0
  ${Do}
    StrCpy $5 $R0 $3 $4
    ${If} $5 == ""
      Pop $5
      Pop $4
      Pop $3
      SetErrors
      Return
    ${EndIf}
    ${If} $5 == $R2
      ${Break}
    ${EndIf}
    IntOp $4 $4 + 1
  ${Loop}
  IntOp $4 $4 + $3
  StrCpy $R1 $R0 "" $4
  StrCpy $3 0
  ${Do}
    StrCpy $5 $R1 1 $3
    ${If} $5 == ""
    ${OrIf} $5 == " "
    ${OrIf} $5 == '"'
      ${Break}
    ${EndIf}
    IntOp $3 $3 + 1
  ${Loop}
  StrCpy $R1 $R1 $3
  Pop $5
  Pop $4
  Pop $3
  ClearErrors
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

; Nothing was changed (or all was put back): the old terminal runs again, and the terminal's
; next check tries the update again.
Function Failed
  SetOutPath "$INSTDIR"  ; a folder in use as the working folder cannot be removed
  RMDir /r "$INSTDIR\.update-new"
  RMDir /r "$INSTDIR\.update-old"
  ${If} $updating == 1
    ; The terminal started again leaves this version to its next check (no loop of downloads).
    WriteINIStr "$INSTDIR\update.ini" "failed" "version" "${VERSION}"
    FlushINI "$INSTDIR\update.ini"
    Exec '"$INSTDIR\quorval.exe"'
  ${EndIf}
  SetErrorLevel 2
  Quit
FunctionEnd

Function .onInstFailed
  Call Failed
FunctionEnd

; Under C:\ the folder would inherit "Authenticated Users: Modify", and any account of the PC
; could replace the program or the update key. Only the installing user, SYSTEM and the
; Administrators keep access, whatever the folder had; an update sets it again. By SID, as group
; names are translated. Done before any file is unpacked; a failure leaves the install working.
Function OwnFolder
  ReadEnvStr $0 USERNAME
  ReadEnvStr $1 USERDOMAIN
  ${If} $1 != ""
    StrCpy $0 "$1\$0"
  ${EndIf}
  nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR" /inheritance:r /grant:r "$0:(OI)(CI)F" /grant:r "*S-1-5-18:(OI)(CI)F" /grant:r "*S-1-5-32-544:(OI)(CI)F"'
  Pop $0
FunctionEnd

; A file unpacked beside the program is whole: there, of its size.
!macro CheckUnpacked FILE SIZE
  ClearErrors
  FileOpen $0 "$INSTDIR\.update-new\${FILE}" r
  ${If} ${Errors}
    StrCpy $R9 1
  ${Else}
    FileSeek $0 0 END $1
    FileClose $0
    ${If} $1 != ${SIZE}
      StrCpy $R9 1
    ${EndIf}
  ${EndIf}
!macroend
!macro MakeFolder FOLDER
  CreateDirectory "$INSTDIR\${FOLDER}"
  CreateDirectory "$INSTDIR\.update-old\${FOLDER}"
!macroend
; The old file aside, the new one in its place: renames only, which need no room on the disk.
; (Testing the error flag clears it: each test follows its own command.)
!macro SwapIn FILE SIZE
  ${If} $R9 == 0
  ${AndIf} ${FileExists} "$INSTDIR\${FILE}"
    ClearErrors
    Rename "$INSTDIR\${FILE}" "$INSTDIR\.update-old\${FILE}"
    ${If} ${Errors}
      StrCpy $R9 1
    ${EndIf}
  ${EndIf}
  ${If} $R9 == 0
    ClearErrors
    Rename "$INSTDIR\.update-new\${FILE}" "$INSTDIR\${FILE}"
    ${If} ${Errors}
      StrCpy $R9 1
    ${EndIf}
  ${EndIf}
!macroend
; Undoes SwapIn for one file, wherever it got to.
!macro PutBack FILE SIZE
  ${If} ${FileExists} "$INSTDIR\.update-old\${FILE}"
    Delete "$INSTDIR\${FILE}"
    Rename "$INSTDIR\.update-old\${FILE}" "$INSTDIR\${FILE}"
  ${ElseIfNot} ${FileExists} "$INSTDIR\.update-new\${FILE}"
    Delete "$INSTDIR\${FILE}"
  ${EndIf}
!macroend

; All or nothing: the new files are unpacked beside the program and checked, then swapped in
; with the old ones kept aside; any failure puts every old one back. version.ini comes last.
Section "quorvalis"
  ; Two minutes, unless /WAIT=seconds says otherwise.
  ${GetParameters} $R0
  StrCpy $R2 "/WAIT="
  Call OptionValue
  StrCpy $6 $R1
  ${If} ${Errors}
    StrCpy $6 120
  ${EndIf}
  IntOp $6 $6 * 2
  ; The guard of an updating terminal ends by itself and writes its last word first; one still
  ; there after ten seconds (half the wait, if that is shorter) watches a terminal that did not
  ; end for the update.
  IntOp $7 $6 / 2
  ${If} $7 > 20
    StrCpy $7 20
  ${EndIf}
  Call WaitForTerminal
  ${If} $0 != free
    Call Failed
  ${EndIf}
  RMDir /r "$INSTDIR\.update-new"
  RMDir /r "$INSTDIR\.update-old"
  CreateDirectory "$INSTDIR"
  Call OwnFolder
  SetOutPath "$INSTDIR\.update-new"
  SetOverwrite on
  ClearErrors
  File /r "${STAGE}/*"
  StrCpy $R9 0
  ${If} ${Errors}
    StrCpy $R9 1
  ${EndIf}
  !insertmacro ForEachFile CheckUnpacked
  ${If} $R9 != 0
    Call Failed
  ${EndIf}
  SetOutPath "$INSTDIR"
  CreateDirectory "$INSTDIR\.update-old"
  !insertmacro ForEachFolder MakeFolder
  !insertmacro ForEachFile SwapIn
  ${If} $R9 == 0
    ClearErrors
    WriteINIStr "$INSTDIR\version.ini" "Version" "filial" "${VERSION}"
    ${If} ${Errors}
      StrCpy $R9 1
    ${EndIf}
  ${EndIf}
  ${If} $R9 == 0
    FlushINI "$INSTDIR\version.ini"
    ; Read back from the disk: written, or not at all.
    ReadINIStr $0 "$INSTDIR\version.ini" "Version" "filial"
    ${If} $0 != "${VERSION}"
      StrCpy $R9 1
    ${EndIf}
  ${EndIf}
  ${If} $R9 != 0
    !insertmacro ForEachFile PutBack
    Call Failed
  ${EndIf}
  RMDir /r "$INSTDIR\.update-old"
  RMDir /r "$INSTDIR\.update-new"
  Delete "$INSTDIR\update.ini"
  ${GetParameters} $R0
  StrCpy $R2 "/HOST="
  Call OptionValue
  ${IfNot} ${Errors}
    WriteINIStr "$INSTDIR\install.ini" "server" "host" "$R1"
  ${EndIf}
  StrCpy $R2 "/TIMEOUT="
  Call OptionValue
  ${IfNot} ${Errors}
    WriteINIStr "$INSTDIR\install.ini" "server" "timeout" "$R1"
  ${EndIf}
  StrCpy $R2 "/UPDATEKEY="
  Call OptionValue
  ${IfNot} ${Errors}
    WriteINIStr "$INSTDIR\install.ini" "update" "key" "$R1"
  ${EndIf}
  StrCpy $R2 "/FL="
  Call OptionValue
  ${IfNot} ${Errors}
    WriteINIStr "$INSTDIR\cl.ini" "start" "FL" "$R1"
  ${EndIf}
  Call RemoveOldDownloads
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis" "DisplayName" "quorvalis"
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis" "DisplayIcon" "$INSTDIR\quorval.exe,0"
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis" "Publisher" "quorvalis"
  WriteRegDWORD HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis" "NoModify" 1
  WriteRegDWORD HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis" "EstimatedSize" $0
  ${If} $updating == 1
    Exec '"$INSTDIR\quorval.exe"'
  ${EndIf}
SectionEnd

; The program goes; the branch's records (coupons.ini, data\, cl.ini, install.ini) stay. Never
; half of it: while the terminal or its helper runs, nothing is removed. The guard goes first, so
; that the terminal, once the staff end it, stays ended.
Section "Uninstall"
  Call un.StopGuard
  StrCpy $6 10
  StrCpy $7 0
  Call un.WaitForTerminal
  ${If} $0 != free
    MessageBox MB_OK|MB_ICONSTOP "quorvalis l${U+00E4}uft noch. Bitte beenden Sie das Programm und starten Sie die Deinstallation erneut." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  !include "${UNINSTALL_LIST}"
  Delete "$INSTDIR\version.ini"
  Delete "$INSTDIR\update.ini"
  Delete "$INSTDIR\quorval.lock"
  Delete "$INSTDIR\uninstall.exe"
  DeleteRegValue HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "quorvalis"
  DeleteRegKey HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis"
  RMDir "$INSTDIR"
SectionEnd
