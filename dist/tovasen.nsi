; Tovasen's setup program: a per-user install (no elevation) into %LOCALAPPDATA%\Programs\Tovasen.
; Built by scripts/dist.sh, which passes:
;   VERSION       the shown version, e.g. 1.0.0
;   FILE_VERSION  four numbers for the version resource, e.g. 1.0.0.0
;   STAGE_DIR     the distribution folder as the zip carries it (programs and licences)
;   ICON          the program icon
;   WEB_SITE      the maker's web site
;   OUT_FILE      where the setup program goes
;   COMPRESSOR    zlib or lzma (optional)
;   SIGN_SCRIPT   scripts/sign.sh, when the release is signed (optional)
; Silent use: "Tovasen-Setup-<version>.exe /S" installs or upgrades, "uninstall.exe /S" removes
; everything but the settings.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
; COMPRESSOR: zlib (the default) or lzma. Most of the payload is ffmpeg.exe: LZMA packs it into
; 16 MB instead of 23 MB but takes about ten times the CPU time, on every build.
!ifndef COMPRESSOR
  !define COMPRESSOR zlib
!endif
SetCompressor /SOLID ${COMPRESSOR}

!macro REQUIRE NAME
  !ifndef ${NAME}
    !error "${NAME} is not defined: scripts/dist.sh passes it"
  !endif
!macroend
!insertmacro REQUIRE VERSION
!insertmacro REQUIRE FILE_VERSION
!insertmacro REQUIRE STAGE_DIR
!insertmacro REQUIRE ICON
!insertmacro REQUIRE WEB_SITE
!insertmacro REQUIRE OUT_FILE

!define PRODUCT "Tovasen"
!define PUBLISHER "Dravomix"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tovasen"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Dravomix\Tovasen"
!define MAKER_KEY "Software\Dravomix"
!define FEATURE_CONTROL_KEY "Software\Microsoft\Internet Explorer\Main\FeatureControl"
; The running instance holds this mutex until its process has ended.
!define INSTANCE_MUTEX "TovasenMutex"
!define MAIN_WINDOW_CLASS "TFrmTovasen"
; How long to wait for a running instance to end before telling the user.
!define STOP_WAIT_STEPS 100
!define STOP_WAIT_STEP_MS 100

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
; A signed release signs the uninstaller the setup will write and the setup itself, each as
; makensis finishes it; a failed signature fails the build.
!ifdef SIGN_SCRIPT
  !uninstfinalize 'bash "${SIGN_SCRIPT}" "%1"' = 0
  !finalize 'bash "${SIGN_SCRIPT}" "%1"' = 0
!endif
InstallDir "$LOCALAPPDATA\Programs\Tovasen"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH

; The first language is the fallback for users whose language is neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Korean"

LangString StillRunning ${LANG_ENGLISH} "Tovasen is still running and did not close (it may be recording). Close it, then choose Retry."
LangString StillRunning ${LANG_KOREAN} "Tovasen이 실행 중이며 종료되지 않았습니다(녹화 중일 수 있습니다). 프로그램을 종료한 다음 다시 시도를 누르십시오."
LangString RemoveSettings ${LANG_ENGLISH} "Remove my settings"
LangString RemoveSettings ${LANG_KOREAN} "내 설정 삭제"
LangString ProgramFiles ${LANG_ENGLISH} "Program files"
LangString ProgramFiles ${LANG_KOREAN} "프로그램 파일"

; Asks a running Tovasen to exit and waits until its process has let go of the mutex, so its
; files can be replaced or removed. $0 names the Tovasen.exe whose "/uninst" does the asking.
; Leaves "1" in $1 once no instance runs, "0" when the user gave up (always so when silent).
!macro STOP_RUNNING_INSTANCE UN
Function ${UN}StopRunningInstance
  Push $2
  Push $3
  retry:
    ExecWait '"$0" /uninst'
    StrCpy $3 0
    ${Do}
      System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p.r2'
      ${If} $2 P= 0
        StrCpy $1 1
        Goto done
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r2)'
      Sleep ${STOP_WAIT_STEP_MS}
      IntOp $3 $3 + 1
    ${LoopUntil} $3 >= ${STOP_WAIT_STEPS}
    ; An instance that refuses (a recording runs) keeps its files locked: replacing or deleting
    ; them now would leave a half-updated folder.
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY retry
    StrCpy $1 0
  done:
  Pop $3
  Pop $2
FunctionEnd
!macroend
!insertmacro STOP_RUNNING_INSTANCE ""
!insertmacro STOP_RUNNING_INSTANCE "un."

Function .onInit
  SetShellVarContext current
FunctionEnd

Section "$(ProgramFiles)" SecProgram
  SectionIn RO
  ; The installed copy asks a running instance to leave. Without one (a portable copy runs, or
  ; the installed exe went missing) the new exe does, from the temporary plug-ins folder.
  StrCpy $0 "$INSTDIR\Tovasen.exe"
  ${IfNot} ${FileExists} "$0"
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "${STAGE_DIR}\Tovasen.exe"
    StrCpy $0 "$PLUGINSDIR\Tovasen.exe"
  ${EndIf}
  Call StopRunningInstance
  ${If} $1 != 1
    SetErrorLevel 3
    Abort
  ${EndIf}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${STAGE_DIR}\Tovasen.exe"
  File "${STAGE_DIR}\tovasen-cmd.exe"
  File "${STAGE_DIR}\libwebp.dll"
  File "${STAGE_DIR}\ffmpeg.exe"
  SetOutPath "$INSTDIR\licenses"
  File "${STAGE_DIR}\licenses\*.txt"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Tovasen.lnk" "$INSTDIR\Tovasen.exe" "" "$INSTDIR\Tovasen.exe" 0

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINST_KEY}" "URLInfoAbout" "${WEB_SITE}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Tovasen.exe,0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $2 $3 $4
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $2

  ; "/inst" writes the autostart entry and starts the program.
  Exec '"$INSTDIR\Tovasen.exe" /inst'
SectionEnd

Section "un.$(ProgramFiles)" SecUnProgram
  SectionIn RO
  StrCpy $0 "$INSTDIR\Tovasen.exe"
  ${If} ${FileExists} "$0"
    Call un.StopRunningInstance
    ${If} $1 != 1
      SetErrorLevel 3
      Abort
    ${EndIf}
  ${EndIf}

  Delete "$INSTDIR\Tovasen.exe"
  Delete "$INSTDIR\tovasen-cmd.exe"
  Delete "$INSTDIR\libwebp.dll"
  Delete "$INSTDIR\ffmpeg.exe"
  Delete "$INSTDIR\licenses\*.txt"
  RMDir "$INSTDIR\licenses"
  Delete "$INSTDIR\uninstall.exe"
  ; A folder cannot go while it is the current directory. Files the user put there stay, and
  ; with them the folder.
  SetOutPath "$TEMP"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\Tovasen.lnk"
  DeleteRegKey HKCU "${UNINST_KEY}"
  DeleteRegValue HKCU "${RUN_KEY}" "Tovasen"
  ; Written by the web page window on every use; they only concern a process named Tovasen.exe.
  DeleteRegValue HKCU "${FEATURE_CONTROL_KEY}\FEATURE_BROWSER_EMULATION" "Tovasen.exe"
  DeleteRegValue HKCU "${FEATURE_CONTROL_KEY}\FEATURE_LOCALMACHINE_LOCKDOWN" "Tovasen.exe"
  DeleteRegValue HKCU "${FEATURE_CONTROL_KEY}\FEATURE_ZONE_ELEVATION" "Tovasen.exe"
  DeleteRegValue HKCU "${FEATURE_CONTROL_KEY}\FEATURE_MIME_HANDLING" "Tovasen.exe"
  DeleteRegValue HKCU "${FEATURE_CONTROL_KEY}\FEATURE_MIME_SNIFFING" "Tovasen.exe"
  DeleteRegValue HKCU "${FEATURE_CONTROL_KEY}\FEATURE_WEBOC_POPUPMANAGEMENT" "Tovasen.exe"
SectionEnd

Section /o "un.$(RemoveSettings)" SecUnSettings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegValue HKCU "${MAKER_KEY}" "KUID"
  DeleteRegKey /ifempty HKCU "${MAKER_KEY}"
SectionEnd

; After the sections, whose indices it needs.
Function un.onInit
  SetShellVarContext current
  ; "/REMOVESETTINGS" ticks "remove my settings", for silent uninstalls that should.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecUnSettings} ${SF_SELECTED}
  ${EndIf}
FunctionEnd
