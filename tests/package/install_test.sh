#!/bin/sh
# The Windows packages as a user meets them, under Wine:
# - the zip file holds exactly TransClepsaItaca.exe, transclepsa.exe and ITACA.chm, those of the
#   build;
# - the installer, silent (/S /D=FOLDER), puts them into Clepsa's folder (one that holds Clepsa's
#   own files, and a folder that does not exist yet), with its uninstaller and its entry in
#   "Programs and Features"; the silent uninstaller takes away the program's files, its options
#   file and that entry, and leaves Clepsa's files as they were (the folder goes only when empty).
#   install_test.sh CMAKE TC_WINE WINEPREFIX VERSION ZIP INSTALLER BUILD_DIR
set -eu
cmake=$1 wine=$2 prefix=$3 version=$4 zip=$5 installer=$6 build=$7
files="TransClepsaItaca.exe transclepsa.exe ITACA.chm"
uninstaller="Desinstalar TransClepsaItaca.exe"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TransClepsaItaca'
status=0
fail() { echo "FALLO: $*" >&2; status=1; }
# same EXPECTED ACTUAL
same() {
  if [ ! -e "$2" ]; then fail "falta $2"; elif ! cmp -s "$1" "$2"; then fail "$2 no es $1"; fi
}
# Waits until the command succeeds (60 s at most): the uninstaller ends by starting a copy of
# itself outside the folder and returns at once.
await() { i=0; until "$@"; do i=$((i + 1)); [ $i -lt 300 ] || return 1; sleep 0.2; done; }
absent() { [ ! -e "$1" ]; }
no_entry() { ! "$wine" reg query "$key" >/dev/null 2>&1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The zip file.
listed=$(cd "$work" && "$cmake" -E tar tf "$zip" | sort | tr '\n' ' ')
[ "$listed" = "ITACA.chm TransClepsaItaca.exe transclepsa.exe " ] || fail "el zip tiene: $listed"
(cd "$work" && "$cmake" -E tar xf "$zip")
for f in $files; do same "$build/$f" "$work/$f"; done

# Installing and uninstalling: into Clepsa's folder (C:\ on the Windows side is drive_c).
top="tc-instalación-$$"
for case in clepsa nueva; do
  folder="$prefix/drive_c/$top/$case"
  rm -rf "$prefix/drive_c/$top"
  if [ "$case" = clepsa ]; then
    mkdir -p "$folder"
    printf '[Clepsa]\r\nRuta=C:\\Clepsa\r\n' >"$folder/Clepsa.ini"
    printf 'MZ clepsa' >"$folder/CLEPSA.EXE"
    cp "$folder/Clepsa.ini" "$folder/CLEPSA.EXE" "$work/"
  fi
  "$wine" "$installer" /S "/D=C:\\$top\\$case" || fail "$case: el instalador acabó con $?"
  for f in $files; do same "$build/$f" "$folder/$f"; done
  [ -f "$folder/$uninstaller" ] || fail "$case: no hay desinstalador"
  entry=$("$wine" reg query "$key" 2>/dev/null) || fail "$case: no está en Programas y características"
  case "$entry" in *"DisplayVersion"*"REG_SZ"*"$version"*) ;;
    *) fail "$case: entrada sin versión: $entry" ;; esac
  case "$entry" in *"InstallLocation"*"\\$case"*) ;; *) fail "$case: entrada sin carpeta: $entry" ;; esac

  printf '[Opciones]\r\nPreguntarVistaPrevia=0\r\n' >"$folder/TransClepsaItaca.ini"
  "$wine" "C:\\$top\\$case\\$uninstaller" /S || fail "$case: el desinstalador acabó con $?"
  await absent "$folder/$uninstaller" || fail "$case: el desinstalador no se ha quitado"
  await no_entry || fail "$case: sigue en Programas y características"
  for f in $files TransClepsaItaca.ini; do [ ! -e "$folder/$f" ] || fail "$case: queda $f"; done
  if [ "$case" = clepsa ]; then
    same "$work/Clepsa.ini" "$folder/Clepsa.ini"
    same "$work/CLEPSA.EXE" "$folder/CLEPSA.EXE"
  else
    [ ! -e "$folder" ] || fail "$case: la carpeta vacía sigue ahí"
  fi
done
rm -rf "$prefix/drive_c/$top"
exit "$status"
