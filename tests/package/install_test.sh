#!/bin/sh
# The Windows packages as a user and an IT person meet them, under Wine:
# - the zip file holds exactly TransClepsaItaca.exe, transclepsa.exe, ITACA.chm (those of the
#   build) and LEAME.txt (Notepad's UTF-8 with CR LF);
# - the installer, silent, puts them into Clepsa's folder (/D=FOLDER; one that holds Clepsa's own
#   files) and into a second folder with a blank in its name (given quoted, as a command line
#   quotes it), each with its uninstaller, its Start-menu entries and its own entry in "Programs
#   and Features" (version, publisher, size, help); installing again over an older copy updates
#   it in place; a folder that cannot be written is refused with status 2 and nothing written;
# - the silent uninstaller of each folder takes away its files, its options file, its Start-menu
#   entries and its entry only, and leaves Clepsa's files as they were (the folder goes only when
#   empty).
#   install_test.sh CMAKE TC_WINE WINEPREFIX VERSION ZIP INSTALLER BUILD_DIR
set -eu
cmake=$1 wine=$2 prefix=$3 version=$4 zip=$5 installer=$6 build=$7
programs="TransClepsaItaca.exe transclepsa.exe ITACA.chm"
leame="$build/packaging/stage/LEAME.txt"
uninstaller="Desinstalar TransClepsaItaca.exe"
root='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
shortcuts="TransClepsaItaca.lnk|Ayuda de TransClepsaItaca.lnk|LEAME.lnk|Línea de órdenes de TransClepsaItaca.lnk|Desinstalar TransClepsaItaca.lnk"
status=0
fail() { printf 'FALLO: %s\n' "$*" >&2; status=1; }
# same EXPECTED ACTUAL
same() {
  if [ ! -e "$2" ]; then fail "falta $2"; elif ! cmp -s "$1" "$2"; then fail "$2 no es $1"; fi
}
# Waits until the command succeeds (60 s at most): the uninstaller ends by starting a copy of
# itself outside the folder and returns at once.
await() { i=0; until "$@"; do i=$((i + 1)); [ $i -lt 300 ] || return 1; sleep 0.2; done; }
absent() { [ ! -e "$1" ]; }
no_entry() { ! "$wine" reg query "$root\\$1" >/dev/null 2>&1; }
# ascii: the text without its other letters (reg writes them in the console's code page).
ascii() { printf '%s' "$1" | tr -cd '\11\40-\176'; }
# value ENTRY NAME: a value of an entry of "Programs and Features".
value() { ascii "$("$wine" reg query "$root\\$1" /v "$2" 2>/dev/null | sed -n "s/^ *$2  *REG_[A-Z_]*  *//p")"; }
# expect ACTUAL EXPECTED WHAT
expect() { [ "$1" = "$(ascii "$2")" ] || fail "$3: «$1» en vez de «$2»"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The zip file.
listed=$(cd "$work" && "$cmake" -E tar tf "$zip" | sort | tr '\n' ' ')
[ "$listed" = "ITACA.chm LEAME.txt TransClepsaItaca.exe transclepsa.exe " ] ||
  fail "el zip tiene: $listed"
(cd "$work" && "$cmake" -E tar xf "$zip")
for f in $programs; do same "$build/$f" "$work/$f"; done
same "$leame" "$work/LEAME.txt"
[ "$(head -c 3 "$leame" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "LEAME.txt sin BOM"
grep -q "copias" "$leame" || fail "LEAME.txt no dice dónde están las copias"
[ "$(grep -c "$(printf '\r')\$" "$leame")" = "$(wc -l <"$leame")" ] || fail "LEAME.txt sin CR LF"

# Entries and menus of an earlier run of this test in the same prefix go first.
for e in TransClepsaItaca TransClepsaItaca-2 TransClepsaItaca-3; do
  "$wine" reg delete "$root\\$e" /f >/dev/null 2>&1 || true
  rm -rf "$menu/$e"
done

top="tc-instalación-$$"
clepsa="$prefix/drive_c/$top/clepsa"
second="$prefix/drive_c/$top/otra carpeta"
rm -rf "$prefix/drive_c/$top"
mkdir -p "$clepsa"
printf '[Clepsa]\r\nRuta=C:\\Clepsa\r\n' >"$clepsa/Clepsa.ini"
printf 'MZ clepsa' >"$clepsa/CLEPSA.EXE"
cp "$clepsa/Clepsa.ini" "$clepsa/CLEPSA.EXE" "$work/"

# installed FOLDER ENTRY WINDOWS_FOLDER: what an install leaves.
installed() {
  for f in $programs; do same "$build/$f" "$1/$f"; done
  same "$leame" "$1/LEAME.txt"
  [ -f "$1/$uninstaller" ] || fail "$2: no hay desinstalador"
  expect "$(value "$2" DisplayName)" "TransClepsaItaca ($3)" "$2: nombre"
  expect "$(value "$2" DisplayVersion)" "$version" "$2: versión"
  expect "$(value "$2" InstallLocation)" "$3" "$2: carpeta"
  expect "$(value "$2" Publisher)" "TransClepsaItaca" "$2: editor"
  expect "$(value "$2" HelpLink)" "$3\\ITACA.chm" "$2: ayuda"
  case "$(value "$2" EstimatedSize)" in 0x0 | "") fail "$2: sin tamaño" ;; esac
  (IFS='|'; for s in $shortcuts; do [ -f "$menu/$2/$s" ] || fail "$2: falta $s en el menú Inicio"; done)
}

# Into Clepsa's folder, /D unquoted; then into a second folder, /D quoted as a whole.
"$wine" "$installer" /S "/D=C:\\$top\\clepsa" || fail "clepsa: el instalador acabó con $?"
installed "$clepsa" TransClepsaItaca "C:\\$top\\clepsa"
"$wine" "$installer" /S "/D=C:\\$top\\otra carpeta" || fail "otra: el instalador acabó con $?"
installed "$second" TransClepsaItaca-2 "C:\\$top\\otra carpeta"
installed "$clepsa" TransClepsaItaca "C:\\$top\\clepsa"

# Over an older copy in Clepsa's folder: the same entry, updated.
"$wine" reg add "$root\\TransClepsaItaca" /v DisplayVersion /d 0.9.0 /f >/dev/null
printf 'MZ viejo' >"$clepsa/TransClepsaItaca.exe"
"$wine" "$installer" /S "/D=C:\\$top\\clepsa" || fail "actualización: el instalador acabó con $?"
installed "$clepsa" TransClepsaItaca "C:\\$top\\clepsa"
no_entry TransClepsaItaca-3 || fail "actualización: una tercera entrada"

# A folder that cannot be written (a file has its name): refused, nothing written.
printf 'x' >"$prefix/drive_c/$top/archivo"
set +e
"$wine" "$installer" /S "/D=C:\\$top\\archivo" 2>/dev/null
refused=$?
set -e
[ "$refused" = 2 ] || fail "carpeta imposible: el instalador acabó con $refused"
no_entry TransClepsaItaca-3 || fail "carpeta imposible: una entrada"

# Uninstalling each folder takes away its own files, menu and entry only.
printf '[Opciones]\r\nPreguntarVistaPrevia=0\r\n' >"$clepsa/TransClepsaItaca.ini"
"$wine" "C:\\$top\\otra carpeta\\$uninstaller" /S || fail "otra: el desinstalador acabó con $?"
await absent "$second" || fail "otra: la carpeta vacía sigue ahí"
await no_entry TransClepsaItaca-2 || fail "otra: sigue en Programas y características"
[ ! -e "$menu/TransClepsaItaca-2" ] || fail "otra: sigue en el menú Inicio"
installed "$clepsa" TransClepsaItaca "C:\\$top\\clepsa"

"$wine" "C:\\$top\\clepsa\\$uninstaller" /S || fail "clepsa: el desinstalador acabó con $?"
await absent "$clepsa/$uninstaller" || fail "clepsa: el desinstalador no se ha quitado"
await no_entry TransClepsaItaca || fail "clepsa: sigue en Programas y características"
[ ! -e "$menu/TransClepsaItaca" ] || fail "clepsa: sigue en el menú Inicio"
for f in $programs LEAME.txt TransClepsaItaca.ini; do [ ! -e "$clepsa/$f" ] || fail "clepsa: queda $f"; done
same "$work/Clepsa.ini" "$clepsa/Clepsa.ini"
same "$work/CLEPSA.EXE" "$clepsa/CLEPSA.EXE"
rm -rf "$prefix/drive_c/$top"
exit "$status"
