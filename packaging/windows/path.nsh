; The installer's folder on the system PATH (HKLM's Environment, the
; variable every user's programs start with), added and taken off again.
;
; This installer reads strings of at most 1023 characters. A PATH it cannot
; read whole is never written back: the folder is then not added, and the
; user is told so. Every other entry is kept as it was, in its place, empty
; entries and a final ";" included, so that adding and then removing the
; folder gives back the PATH as it was before. Each change is announced with
; WM_SETTINGCHANGE "Environment", so that Explorer and the programs started
; from it afterwards see it without a new logon.

; Push PATH, Push FOLDER, Call PathWithout, Pop NEW_PATH, Pop CHANGED:
; PATH without every entry naming FOLDER (letter case aside, with or without
; a final "\"); CHANGED is 1 when one was there, else 0.
!macro DefinePathWithout un
Function ${un}PathWithout
  Exch $R0
  Exch
  Exch $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  StrCpy $R2 ""  ; the entries kept
  StrCpy $R3 ""  ; the entry being read
  StrCpy $R4 0   ; where in PATH
  StrCpy $R6 0   ; whether FOLDER was there
  StrCpy $R7 0   ; whether an entry was kept yet
  ${Do}
    StrCpy $R5 $R1 1 $R4
    ${If} $R5 == ";"
    ${OrIf} $R5 == ""
      ${If} $R3 == $R0
      ${OrIf} $R3 == "$R0\"
        StrCpy $R6 1
      ${ElseIf} $R7 = 0
        StrCpy $R2 $R3
        StrCpy $R7 1
      ${Else}
        StrCpy $R2 "$R2;$R3"
      ${EndIf}
      StrCpy $R3 ""
      ${IfThen} $R5 == "" ${|} ${Break} ${|}
    ${Else}
      StrCpy $R3 "$R3$R5"
    ${EndIf}
    IntOp $R4 $R4 + 1
  ${Loop}
  StrCpy $R0 $R2
  StrCpy $R1 $R6
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Exch $R1
  Exch
  Exch $R0
FunctionEnd
!macroend

!macro AnnounceEnvironmentChange
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

; Push FOLDER, Call RemoveFromSystemPath: every entry naming FOLDER gone.
!macro DefineRemoveFromSystemPath un
Function ${un}RemoveFromSystemPath
  Exch $0
  Push $1
  Push $2
  ClearErrors
  ReadRegStr $1 HKLM "${kEnvironmentKey}" "Path"
  ${IfNot} ${Errors}
    Push $1
    Push $0
    Call ${un}PathWithout
    Pop $1
    Pop $2
    ${If} $2 = 1
      WriteRegExpandStr HKLM "${kEnvironmentKey}" "Path" $1
      !insertmacro AnnounceEnvironmentChange
      DetailPrint "$(kPathRemoved)"
    ${EndIf}
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend

!insertmacro DefinePathWithout ""
!insertmacro DefinePathWithout "un."
!insertmacro DefineRemoveFromSystemPath ""
!insertmacro DefineRemoveFromSystemPath "un."

; Push FOLDER, Call AddToSystemPath: FOLDER the last entry of the PATH, once.
Function AddToSystemPath
  Exch $0
  Push $1
  Push $2
  Push $3
  Push $4
  ClearErrors
  ReadRegStr $1 HKLM "${kEnvironmentKey}" "Path"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(kPathUnreadable)" /SD IDOK
    Goto done
  ${EndIf}
  Push $1
  Push $0
  Call PathWithout
  Pop $2
  Pop $3
  StrLen $3 $2
  StrLen $4 $0
  IntOp $3 $3 + $4
  IntOp $3 $3 + 1
  ${If} $3 > ${kPathLimit}
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(kPathTooLong)" /SD IDOK
    Goto done
  ${EndIf}
  StrCpy $4 $2 1 -1
  ${If} $2 == ""
    StrCpy $2 $0
  ${ElseIf} $4 == ";"
    StrCpy $2 "$2$0;"
  ${Else}
    StrCpy $2 "$2;$0"
  ${EndIf}
  ${If} $2 S!= $1
    WriteRegExpandStr HKLM "${kEnvironmentKey}" "Path" $2
    !insertmacro AnnounceEnvironmentChange
  ${EndIf}
  DetailPrint "$(kPathAdded)"
done:
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
