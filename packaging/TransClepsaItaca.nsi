; The Windows installer of TransClepsaItaca: TransClepsaItaca.exe, transclepsa.exe, ITACA.chm and
; LEAME.txt into the folder the user picks (Clepsa's own folder, where Clepsa looks for the
; program), Start-menu entries, and an uninstaller that removes them again and nothing else:
; Clepsa's files in that folder, Clepsa.ini among them, stay where they are. Each folder it is
; installed into has its own entry in "Programs and Features" (installing again into the same
; folder updates that one). Built by packaging/CMakeLists.txt:
;   makensis -DVERSION=1.0.0 -DSTAGE=FOLDER -DOUTFILE=INSTALLER.exe TransClepsaItaca.nsi
; STAGE holds the four files. Silent use: INSTALLER.exe /S /D=C:\CARPETA (the folder last, with
; or without quotes), and "Desinstalar TransClepsaItaca.exe" /S. Exit status 2: the folder cannot
; be written (said in a box when not silent).

Unicode true
Target amd64-unicode          ; the programs are 64-bit; so are the installer and its registry view
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin   ; Clepsa's folder may be under Program Files

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "TransClepsaItaca"
!define UNINSTALLER "Desinstalar TransClepsaItaca.exe"
!define UNINSTALL_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define PUBLISHER "${PRODUCT}"
!define PROMPT "Línea de órdenes de ${PRODUCT}"

Var Entry       ; this folder's entry under UNINSTALL_ROOT: TransClepsaItaca, TransClepsaItaca-2...
Var MenuFolder  ; its Start-menu folder, named as the entry

Name "${PRODUCT} ${VERSION}"
Caption "Instalación de ${PRODUCT} ${VERSION}"
UninstallCaption "Desinstalación de ${PRODUCT} ${VERSION}"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Only a suggestion: the directory page asks for Clepsa's real folder.
InstallDir "C:\Clepsa"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Este asistente instala ${PRODUCT} ${VERSION}, que transforma los datos de un centro entre ITACA y Clepsa.$\r$\n$\r$\nInstálelo en la carpeta de Clepsa: Clepsa abre el programa desde su propia carpeta para importar y exportar. También puede abrirlo usted mismo desde esa carpeta.$\r$\n$\r$\nSe instalan TransClepsaItaca.exe (el programa), transclepsa.exe (la línea de órdenes) e ITACA.chm (la ayuda)."
!insertmacro MUI_PAGE_WELCOME
!define MUI_DIRECTORYPAGE_TEXT_TOP "Elija la carpeta de Clepsa, la que contiene el programa Clepsa. Clepsa busca ${PRODUCT} en ella y allí deja el programa el resultado para Clepsa (Clepsa.ini)."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Carpeta de Clepsa"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} está instalado en $INSTDIR.$\r$\n$\r$\nEn el menú Inicio, en «$Entry», están el programa, su ayuda, LEAME.txt y «${PROMPT}»: una ventana de órdenes abierta en esa carpeta, donde «transclepsa --help» dice cómo usar transclepsa.exe.$\r$\n$\r$\nPara quitarlo, use «${UNINSTALLER}» de esa carpeta o «Programas y características» de Windows. Los archivos de Clepsa no se tocan."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Spanish"

!pragma warning disable 9100   ; no LegalCopyright, as in the programs' own version information
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SPANISH} "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileDescription" "Instalación de ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductVersion" "${VERSION}"

; The entry of the copy in $INSTDIR (the one whose InstallLocation it is) in $Entry, else "";
; the first free entry name in $R1.
!macro FIND_ENTRY un
Function ${un}FindEntry
  StrCpy $Entry ""
  StrCpy $R1 ""
  ${For} $R0 1 99
    StrCpy $R2 "${PRODUCT}"
    ${If} $R0 > 1
      StrCpy $R2 "${PRODUCT}-$R0"
    ${EndIf}
    ClearErrors
    ReadRegStr $R3 HKLM "${UNINSTALL_ROOT}\$R2" "InstallLocation"
    ${If} ${Errors}
      ${If} $R1 == ""
        StrCpy $R1 $R2
      ${EndIf}
    ${ElseIf} $R3 == $INSTDIR
      StrCpy $Entry $R2
      ${Break}
    ${EndIf}
  ${Next}
FunctionEnd
!macroend
!insertmacro FIND_ENTRY ""
!insertmacro FIND_ENTRY "un."

; The folder given after /D= on the command line, quoted or not ("/D=C:\Mi carpeta" as a command
; line quotes a path with blanks, or /D="C:\Mi carpeta"): the installer's own reading of /D=
; takes neither.
Function .onInit
  System::Call 'kernel32::GetCommandLineW() t .r0'
  StrLen $1 $0
  StrCpy $2 ""
  ${ForEach} $3 $1 0 - 1
    StrCpy $4 $0 3 $3
    ${If} $4 == "/D="
      IntOp $3 $3 + 3
      StrCpy $2 $0 "" $3
      ${Break}
    ${EndIf}
  ${Next}
  ; Without the quotes and blanks around it.
  ${DoWhile} $2 != ""
    StrCpy $4 $2 1 -1
    ${If} $4 == '"'
    ${OrIf} $4 == " "
      StrCpy $2 $2 -1
    ${Else}
      ${Break}
    ${EndIf}
  ${Loop}
  StrCpy $4 $2 1
  ${If} $4 == '"'
    StrCpy $2 $2 "" 1
  ${EndIf}
  ${If} $2 != ""
    StrCpy $INSTDIR $2
  ${EndIf}
FunctionEnd

; $0: empty when the folder $INSTDIR can be written (it is created), else what to say.
Function CheckWritable
  ClearErrors
  CreateDirectory "$INSTDIR"
  FileOpen $1 "$INSTDIR\~TC_instalacion.tmp" w
  ${If} ${Errors}
    StrCpy $0 "No se puede escribir en la carpeta $INSTDIR: no se ha instalado nada.$\r$\n$\r$\nElija una carpeta en la que pueda escribir, o instale con una cuenta de administrador."
  ${Else}
    FileClose $1
    Delete "$INSTDIR\~TC_instalacion.tmp"
    StrCpy $0 ""
  ${EndIf}
FunctionEnd

; The directory page keeps the user on it while the folder cannot be written.
Function DirectoryLeave
  ${If} ${FileExists} "$INSTDIR\*.*"
    Call CheckWritable
    ${If} $0 != ""
      MessageBox MB_ICONSTOP|MB_OK "$0"
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" Program
  Call CheckWritable
  ${If} $0 != ""
    MessageBox MB_ICONSTOP|MB_OK "$0" /SD IDOK
    DetailPrint "$0"
    SetErrorLevel 2
    Quit
  ${EndIf}
  Call FindEntry
  ${If} $Entry == ""
    StrCpy $Entry $R1
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${STAGE}\TransClepsaItaca.exe"
  File "${STAGE}\transclepsa.exe"
  File "${STAGE}\ITACA.chm"
  File "${STAGE}\LEAME.txt"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The Start menu of every user; the command prompt starts in the program's folder.
  SetShellVarContext all
  StrCpy $MenuFolder "$SMPROGRAMS\$Entry"
  CreateDirectory "$MenuFolder"
  CreateShortcut "$MenuFolder\${PRODUCT}.lnk" "$INSTDIR\TransClepsaItaca.exe"
  CreateShortcut "$MenuFolder\Ayuda de ${PRODUCT}.lnk" "$INSTDIR\ITACA.chm"
  CreateShortcut "$MenuFolder\LEAME.lnk" "$INSTDIR\LEAME.txt"
  CreateShortcut "$MenuFolder\${PROMPT}.lnk" "$SYSDIR\cmd.exe" '/K cd /d "$INSTDIR"'
  CreateShortcut "$MenuFolder\Desinstalar ${PRODUCT}.lnk" "$INSTDIR\${UNINSTALLER}"

  ; "Programs and Features"
  StrCpy $0 "${UNINSTALL_ROOT}\$Entry"
  WriteRegStr HKLM $0 "DisplayName" "${PRODUCT} ($INSTDIR)"
  WriteRegStr HKLM $0 "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM $0 "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM $0 "DisplayIcon" "$INSTDIR\TransClepsaItaca.exe"
  WriteRegStr HKLM $0 "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM $0 "HelpLink" "$INSTDIR\ITACA.chm"
  WriteRegStr HKLM $0 "Readme" "$INSTDIR\LEAME.txt"
  WriteRegStr HKLM $0 "StartMenuFolder" "$MenuFolder"
  WriteRegStr HKLM $0 "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM $0 "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  SectionGetSize ${Program} $1
  WriteRegDWORD HKLM $0 "EstimatedSize" $1
  WriteRegDWORD HKLM $0 "NoModify" 1
  WriteRegDWORD HKLM $0 "NoRepair" 1
SectionEnd

; Only what the installer put there, and the program's own options file: the folder is Clepsa's,
; and goes only when nothing else is left in it.
Section "Uninstall"
  Call un.FindEntry
  ${If} $Entry != ""
    ReadRegStr $MenuFolder HKLM "${UNINSTALL_ROOT}\$Entry" "StartMenuFolder"
    ${If} $MenuFolder != ""
      Delete "$MenuFolder\${PRODUCT}.lnk"
      Delete "$MenuFolder\Ayuda de ${PRODUCT}.lnk"
      Delete "$MenuFolder\LEAME.lnk"
      Delete "$MenuFolder\${PROMPT}.lnk"
      Delete "$MenuFolder\Desinstalar ${PRODUCT}.lnk"
      RMDir "$MenuFolder"
    ${EndIf}
    DeleteRegKey HKLM "${UNINSTALL_ROOT}\$Entry"
  ${EndIf}
  Delete "$INSTDIR\TransClepsaItaca.exe"
  Delete "$INSTDIR\transclepsa.exe"
  Delete "$INSTDIR\ITACA.chm"
  Delete "$INSTDIR\LEAME.txt"
  Delete "$INSTDIR\TransClepsaItaca.ini"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
SectionEnd
