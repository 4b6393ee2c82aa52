; The installer of Kavrel for Windows, made by makensis (scripts/windows-installer):
;   makensis -DVERSION=<x.y.z> -DPROGRAM=<program directory> -DLISTS=<folder>
;            -DOUTFILE=<kavrel-setup-x.y.z.exe> kavrel.nsi
; PROGRAM holds what goes to Program Files\Kavrel; LISTS holds files.nsh and
; remove.nsh, the lines that install and remove each of its files, so that the
; uninstaller removes what the installer put there and nothing else.
; Nothing is written outside the program directory but the Start-menu entries.
; The example programs come with the program directory, in its "exemples"
; folder (files.nsh lists its subfolders too): Kavrel finds them beside
; kavrel.exe and copies the one chosen into the user's documents
; (Documents\Kavrel\Exemples), so the installed files are never edited.

; A 64-bit installer for a 64-bit program: Windows itself refuses it on a
; 32-bit system, and it sees the real Program Files.
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

Name "Kavrel"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kavrel"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "Kavrel ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1036 "ProductName" "Kavrel"
VIAddVersionKey /LANG=1036 "FileDescription" "Installation de Kavrel"
VIAddVersionKey /LANG=1036 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "LegalCopyright" "Équipe Kavrel"

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\kavrel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Lancer Kavrel"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"

!define STARTMENU "$SMPROGRAMS\Kavrel"

; For every user of the machine: the Start-menu entries are the common ones.
Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Kavrel"
  SetOutPath "$INSTDIR"
  !include "${LISTS}\files.nsh"
  WriteUninstaller "$INSTDIR\Desinstaller.exe"
  CreateDirectory "${STARTMENU}"
  SetOutPath "$INSTDIR"
  CreateShortcut "${STARTMENU}\Kavrel.lnk" "$INSTDIR\kavrel.exe" "" "$INSTDIR\kavrel.exe" 0 \
    SW_SHOWNORMAL "" "Éditeur de sources pour l'assembleur 68HC11"
  CreateShortcut "${STARTMENU}\Désinstaller Kavrel.lnk" "$INSTDIR\Desinstaller.exe"
SectionEnd

Section "Uninstall"
  Delete "${STARTMENU}\Kavrel.lnk"
  Delete "${STARTMENU}\Désinstaller Kavrel.lnk"
  RMDir "${STARTMENU}"
  !include "${LISTS}\remove.nsh"
  Delete "$INSTDIR\Desinstaller.exe"
  ; Only when empty: what the user put there stays.
  RMDir "$INSTDIR"
SectionEnd
