; The Windows installer: pelmoro.exe (the window) and stl2hzm.exe (the
; command line) into the 64-bit Program Files, a Start-menu entry for the
; window, an "Open with" entry for .stl files that leaves the default program
; alone, an entry in "Apps & features", and optionally stl2hzm.exe on the
; system PATH. The uninstaller removes every file, key and PATH entry the
; installer made.
;
; scripts/package-windows.sh builds it:
;   makensis -DVERSION=1.0.0 -DSTAGE=dir -DOUTFILE=setup.exe pelmoro.nsi
; STAGE holds pelmoro.exe, stl2hzm.exe, README.txt, LICENSE.txt and
; relief.stl, the files of the zip.
;
; Silent use: setup.exe /S [/PATH] [/D=folder]   (/PATH: stl2hzm on the PATH)
;             uninstall.exe /S

!ifndef VERSION | STAGE | OUTFILE
  !error "makensis needs -DVERSION=x.y.z -DSTAGE=folder -DOUTFILE=setup.exe"
!endif

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
ManifestSupportedOS all

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh
!include WinMessages.nsh
!include Integration.nsh

!define kProduct "pelmoro"
!define kPublisher "The pelmoro authors"
!define kProductKey "Software\pelmoro"
!define kUninstallKey "Software\Microsoft\Windows\CurrentVersion\Uninstall\pelmoro"
!define kApplicationKey "Software\Classes\Applications\pelmoro.exe"
!define kStlOpenWithKey "Software\Classes\.stl\OpenWithList\pelmoro.exe"
!define kEnvironmentKey "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define kShortcut "$SMPROGRAMS\pelmoro.lnk"
!define kPathLimit 1023  ; the longest string this installer reads

Name "${kProduct} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\pelmoro"
InstallDirRegKey HKLM "${kProductKey}" "InstallDir"
RequestExecutionLevel admin
BrandingText "${kProduct} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${kProduct}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${kProduct} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${kPublisher}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "MIT License, ${kPublisher}"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\pelmoro.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(kRunText)"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString kSecPrograms ${LANG_ENGLISH} "pelmoro and stl2hzm"
LangString kSecPrograms ${LANG_JAPANESE} "pelmoro と stl2hzm"
LangString kSecPath ${LANG_ENGLISH} "stl2hzm.exe on the PATH (for every user)"
LangString kSecPath ${LANG_JAPANESE} "stl2hzm.exe を PATH に追加 (すべてのユーザー)"
LangString kShortcutText ${LANG_ENGLISH} "Turn STL models into height maps"
LangString kShortcutText ${LANG_JAPANESE} "STL モデルを高さマップに変換"
LangString kRunText ${LANG_ENGLISH} "Start pelmoro"
LangString kRunText ${LANG_JAPANESE} "pelmoro を起動"
LangString kPathAdded ${LANG_ENGLISH} "$INSTDIR is on the PATH."
LangString kPathAdded ${LANG_JAPANESE} "$INSTDIR を PATH に追加しました。"
LangString kPathRemoved ${LANG_ENGLISH} "$INSTDIR is no longer on the PATH."
LangString kPathRemoved ${LANG_JAPANESE} "$INSTDIR を PATH から削除しました。"
LangString kPathUnreadable ${LANG_ENGLISH} "The system PATH could not be read whole, so it was left as it is: $INSTDIR was not added to it."
LangString kPathUnreadable ${LANG_JAPANESE} "システムの PATH を読み取れなかったため、変更していません。$INSTDIR は PATH に追加されていません。"
LangString kPathTooLong ${LANG_ENGLISH} "The system PATH would grow past ${kPathLimit} characters, so it was left as it is: $INSTDIR was not added to it."
LangString kPathTooLong ${LANG_JAPANESE} "システムの PATH が ${kPathLimit} 文字を超えるため、変更していません。$INSTDIR は PATH に追加されていません。"

!include "path.nsh"

Section "$(kSecPrograms)" SecPrograms
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}\pelmoro.exe"
  File "${STAGE}\stl2hzm.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  File "${STAGE}\relief.stl"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${kProductKey}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${kProductKey}" "Version" "${VERSION}"

  CreateShortcut "${kShortcut}" "$INSTDIR\pelmoro.exe" "" "$INSTDIR\pelmoro.exe" 0 \
    SW_SHOWNORMAL "" "$(kShortcutText)"

  ; "Open with" for .stl: the application's own key and a place in the
  ; extension's list, never the extension's default program.
  WriteRegStr HKLM "${kApplicationKey}" "FriendlyAppName" "pelmoro"
  WriteRegStr HKLM "${kApplicationKey}\SupportedTypes" ".stl" ""
  WriteRegStr HKLM "${kApplicationKey}\DefaultIcon" "" "$INSTDIR\pelmoro.exe,0"
  WriteRegStr HKLM "${kApplicationKey}\shell\open\command" "" '"$INSTDIR\pelmoro.exe" "%1"'
  WriteRegStr HKLM "${kStlOpenWithKey}" "" ""
  ${NotifyShell_AssocChanged}

  WriteRegStr HKLM "${kUninstallKey}" "DisplayName" "${kProduct} ${VERSION}"
  WriteRegStr HKLM "${kUninstallKey}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${kUninstallKey}" "Publisher" "${kPublisher}"
  WriteRegStr HKLM "${kUninstallKey}" "DisplayIcon" "$INSTDIR\pelmoro.exe,0"
  WriteRegStr HKLM "${kUninstallKey}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${kUninstallKey}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${kUninstallKey}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${kUninstallKey}" "NoModify" 1
  WriteRegDWORD HKLM "${kUninstallKey}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${kUninstallKey}" "EstimatedSize" $0
SectionEnd

Section /o "$(kSecPath)" SecPath
  Push "$INSTDIR"
  Call AddToSystemPath
SectionEnd

; Run last: a reinstall without the PATH component takes the folder off the
; PATH that an earlier install put it on.
Section "-leave the PATH" SecLeavePath
  ${IfNot} ${SectionIsSelected} ${SecPath}
    Push "$INSTDIR"
    Call RemoveFromSystemPath
  ${EndIf}
SectionEnd

; Every user's: the 64-bit registry, the common Start menu.
Function .onInit
  SetRegView 64
  SetShellVarContext all
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} "$0" "/PATH" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPath}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  Push "$INSTDIR"
  Call un.RemoveFromSystemPath

  Delete "${kShortcut}"
  DeleteRegKey HKLM "${kApplicationKey}"
  DeleteRegKey HKLM "${kStlOpenWithKey}"
  DeleteRegKey /ifempty HKLM "Software\Classes\.stl\OpenWithList"
  DeleteRegKey /ifempty HKLM "Software\Classes\.stl"
  ${NotifyShell_AssocChanged}
  DeleteRegKey HKLM "${kUninstallKey}"
  DeleteRegKey HKLM "${kProductKey}"

  Delete "$INSTDIR\pelmoro.exe"
  Delete "$INSTDIR\stl2hzm.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\relief.stl"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: maps the user wrote beside the example stay theirs.
  RMDir "$INSTDIR"
SectionEnd
