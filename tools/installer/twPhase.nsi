; The tw:Phase installer. tools/make-dist builds it with makensis and passes:
;   VERSION  the product version (resources/Version.h)
;   STAGE    the staged release files: STAGE\win64 and STAGE\win32, each with the DLL, its help
;            file, the renderer, README.txt and LICENSE.txt
;   OUTFILE  the installer to write
; On 64-bit Windows it installs the 64-bit plug-in and renderer and, in the "32-bit" folder
; beside them, the 32-bit plug-in for 32-bit hosts; on 32-bit Windows only the 32-bit files.
; Each DLL is registered by the regsvr32 of its own bitness. Both registrations name one preset
; folder under the common application data, which every user may write, so presets are kept
; without administrator rights and survive upgrades and uninstalls.
;
; Silent use: setup.exe /S installs; uninstall.exe /S removes the program and keeps the presets;
; uninstall.exe /S /REMOVEPRESETS removes the presets too.

Unicode true
!include "LogicLib.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

!define PRODUCT "tw:Phase"
!define COMPANY "Corvane"
!define CLASS_KEY "SOFTWARE\Classes\CLSID\{E887E202-C156-490B-930E-13C43990785E}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvane tw Phase"
!define FOLDER "Corvane\tw Phase"
; BUILTIN\Users by its well-known SID, which does not depend on the system's language.
!define USERS_SID "*S-1-5-32-545"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "${COMPANY} ${PRODUCT} ${VERSION}"
LicenseData "${STAGE}\win64\LICENSE.txt"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${COMPANY}"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var PresetFolder

; Registers (or with /u unregisters) a DLL with the regsvr32 of the running view: the 64-bit
; one while file system redirection is off, the 32-bit one while it is on. $R9 is "ok" after
; success.
!macro RunRegsvr32 Arguments Dll
    StrCpy $R9 "failed"
    ClearErrors
    ExecWait '"$SYSDIR\regsvr32.exe" /s ${Arguments} "${Dll}"' $0
    ${IfNot} ${Errors}
    ${AndIf} $0 = 0
        StrCpy $R9 "ok"
    ${Else}
        DetailPrint "regsvr32 ${Arguments} failed for ${Dll} (exit code $0)"
    ${EndIf}
!macroend

; Writes PluginPath into the class key of the current registry view.
!macro WritePluginPath
    WriteRegStr HKLM "${CLASS_KEY}" "PluginPath" "$PresetFolder"
!macroend

Function .onInit
    SetShellVarContext all
    ${If} ${RunningX64}
        SetRegView 64
        StrCpy $INSTDIR "$PROGRAMFILES64\${FOLDER}"
    ${Else}
        StrCpy $INSTDIR "$PROGRAMFILES\${FOLDER}"
    ${EndIf}
    ; An upgrade goes where the installed version is.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
        StrCpy $INSTDIR $0
    ${EndIf}
FunctionEnd

Function Fail
    Pop $0
    MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
    SetErrorLevel 2
    Quit
FunctionEnd

Section "tw:Phase"
    SetShellVarContext all
    StrCpy $PresetFolder "$APPDATA\${FOLDER}"

    ; The preset folder, writable by every user; the library file itself is created by the
    ; editor when the first preset is added, and never touched by setup.
    CreateDirectory "$PresetFolder"
    nsExec::ExecToLog 'icacls "$PresetFolder" /grant ${USERS_SID}:(OI)(CI)M'
    Pop $0
    ${If} $0 <> 0
        DetailPrint "Could not give users write access to $PresetFolder (icacls: $0)"
    ${EndIf}

    ${If} ${RunningX64}
        SetOutPath "$INSTDIR"
        File "${STAGE}\win64\twPhaseDX.dll"
        File "${STAGE}\win64\CorvanetwPhase.chm"
        File "${STAGE}\win64\twphase-render.exe"
        File "${STAGE}\win64\README.txt"
        File "${STAGE}\win64\LICENSE.txt"
        SetOutPath "$INSTDIR\32-bit"
        File "${STAGE}\win32\twPhaseDX.dll"
        File "${STAGE}\win32\CorvanetwPhase.chm"

        ${DisableX64FSRedirection}
        !insertmacro RunRegsvr32 "" "$INSTDIR\twPhaseDX.dll"
        ${EnableX64FSRedirection}
        ${If} $R9 != "ok"
            Push "Registering the 64-bit plug-in failed."
            Call Fail
        ${EndIf}
        !insertmacro RunRegsvr32 "" "$INSTDIR\32-bit\twPhaseDX.dll"
        ${If} $R9 != "ok"
            Push "Registering the 32-bit plug-in failed."
            Call Fail
        ${EndIf}
        SetRegView 64
        !insertmacro WritePluginPath
        SetRegView 32
        !insertmacro WritePluginPath
        SetRegView 64
    ${Else}
        SetOutPath "$INSTDIR"
        File "${STAGE}\win32\twPhaseDX.dll"
        File "${STAGE}\win32\CorvanetwPhase.chm"
        File "${STAGE}\win32\twphase-render.exe"
        File "${STAGE}\win32\README.txt"
        File "${STAGE}\win32\LICENSE.txt"
        !insertmacro RunRegsvr32 "" "$INSTDIR\twPhaseDX.dll"
        ${If} $R9 != "ok"
            Push "Registering the plug-in failed."
            Call Fail
        ${EndIf}
        !insertmacro WritePluginPath
    ${EndIf}

    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "PresetFolder" "$PresetFolder"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
    SetShellVarContext all
    ${If} ${RunningX64}
        SetRegView 64
    ${EndIf}
FunctionEnd

; Removes the PluginPath value and, when nothing else is left in it, the class key of the
; current registry view (unregistering removes the key already; this covers a failed one).
!macro un.RemovePluginPath
    DeleteRegValue HKLM "${CLASS_KEY}" "PluginPath"
    DeleteRegKey /ifempty HKLM "${CLASS_KEY}"
!macroend

Section "Uninstall"
    ReadRegStr $PresetFolder HKLM "${UNINSTALL_KEY}" "PresetFolder"

    ${If} ${RunningX64}
        ${DisableX64FSRedirection}
        !insertmacro RunRegsvr32 "/u" "$INSTDIR\twPhaseDX.dll"
        ${EnableX64FSRedirection}
        !insertmacro RunRegsvr32 "/u" "$INSTDIR\32-bit\twPhaseDX.dll"
        SetRegView 32
        !insertmacro un.RemovePluginPath
        SetRegView 64
        !insertmacro un.RemovePluginPath
    ${Else}
        !insertmacro RunRegsvr32 "/u" "$INSTDIR\twPhaseDX.dll"
        !insertmacro un.RemovePluginPath
    ${EndIf}

    Delete "$INSTDIR\32-bit\twPhaseDX.dll"
    Delete "$INSTDIR\32-bit\CorvanetwPhase.chm"
    RMDir "$INSTDIR\32-bit"
    Delete "$INSTDIR\twPhaseDX.dll"
    Delete "$INSTDIR\CorvanetwPhase.chm"
    Delete "$INSTDIR\twphase-render.exe"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    RMDir "$INSTDIR\.."
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ; The presets are the user's work: kept unless asked for on the command line or here.
    ${If} $PresetFolder != ""
        ${GetParameters} $0
        ClearErrors
        ${GetOptions} $0 "/REMOVEPRESETS" $1
        ${IfNot} ${Errors}
            RMDir /r "$PresetFolder"
        ${ElseIf} ${FileExists} "$PresetFolder\twPhaseDX.ini"
            MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
                "Also delete your ${PRODUCT} presets in $PresetFolder?" /SD IDNO IDNO keep
            RMDir /r "$PresetFolder"
            keep:
        ${EndIf}
        ; An empty preset folder holds nothing of the user's.
        RMDir "$PresetFolder"
        RMDir "$PresetFolder\.."
    ${EndIf}
SectionEnd
