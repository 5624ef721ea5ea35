; The Windows installer of TransClepsaItaca: TransClepsaItaca.exe, transclepsa.exe and ITACA.chm
; into the folder the user picks (Clepsa's own folder, where Clepsa looks for the program), and an
; uninstaller that removes them again and nothing else: Clepsa's files in that folder, Clepsa.ini
; among them, stay where they are. Built by packaging/CMakeLists.txt:
;   makensis -DVERSION=1.0.0 -DSTAGE=FOLDER -DOUTFILE=INSTALLER.exe TransClepsaItaca.nsi
; STAGE holds the three files. Silent use: INSTALLER.exe /S /D=C:\CARPETA (the folder last,
; without quotes), and "Desinstalar TransClepsaItaca.exe" /S.

Unicode true
Target amd64-unicode          ; the programs are 64-bit; so are the installer and its registry view
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin   ; Clepsa's folder may be under Program Files

!include "MUI2.nsh"

!define PRODUCT "TransClepsaItaca"
!define UNINSTALLER "Desinstalar TransClepsaItaca.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TransClepsaItaca"

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
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} está instalado en $INSTDIR.$\r$\n$\r$\nPara quitarlo, use «${UNINSTALLER}» de esa carpeta o «Programas y características» de Windows. Los archivos de Clepsa no se tocan."
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

Section "${PRODUCT}"
  SetOutPath "$INSTDIR"
  File "${STAGE}\TransClepsaItaca.exe"
  File "${STAGE}\transclepsa.exe"
  File "${STAGE}\ITACA.chm"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; "Programs and Features"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TransClepsaItaca.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what the installer put there, and the program's own options file: the folder is Clepsa's,
; and goes only when nothing else is left in it.
Section "Uninstall"
  Delete "$INSTDIR\TransClepsaItaca.exe"
  Delete "$INSTDIR\transclepsa.exe"
  Delete "$INSTDIR\ITACA.chm"
  Delete "$INSTDIR\TransClepsaItaca.ini"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
