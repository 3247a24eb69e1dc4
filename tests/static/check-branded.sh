#!/usr/bin/env bash
# Brands a built setup.exe with setuplst as a publisher would (names, notices, icon, picture)
# and checks the copy as the built one is checked (check-exe.sh: format, imports, size ceiling,
# resources, names); then that the command refuses, leaving no file, what would not work on the
# real program (the host tests go through every refusal of the branding itself).
set -uo pipefail
tool=$1 exe=$2 arch=$3 objdump=$4 windres=$5
here=$(cd "$(dirname "$0")" && pwd) root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
c++ -std=c++20 -O1 -o "$work/make_bitmap" "$root/tools/make_bitmap.cpp" || exit 1
"$work/make_bitmap" "$work/klein.bmp" --small && "$work/make_bitmap" "$work/gross.bmp" || exit 1

company="Kartenverlag Süd & Co." product="Atlas der Welt"
"$tool" brand "$exe" "$work/branded.exe" --company "$company" --product "$product" \
  --notice1 "Dieses Werk ist urheberrechtlich geschützt." --notice2 'Sie dürfen $p auf einem Computer benutzen.' \
  --icon "$root/src/resources/notice.ico" --bitmap "$work/klein.bmp" || { echo "brand failed"; exit 1; }
"$here/check-exe.sh" "$work/branded.exe" "$arch" "$objdump" "$windres" "$company" "$product" || fail=1

rc=$("$windres" -i "$work/branded.exe" -O rc 2>/dev/null)
grep -qE '^100 2 /\* RT_BITMAP \*/' <<<"$rc" || { echo "no bitmap 100"; fail=1; }
# The welcome page shows the notice from its template; the string table holds it too.
[[ $(grep -c 'Dieses Werk ist urheberrechtlich gesch\\374tzt.' <<<"$rc") == 2 ]] || { echo "notice 259 not replaced twice"; fail=1; }
icons=$(grep -cE '^[0-9]+ 3 /\* RT_ICON \*/' <<<"$rc")
# The program's icon now has notice.ico's images, the notice icon 133 keeps its own.
[[ $icons == $(( $(od -An -tu2 -j4 -N2 "$root/src/resources/notice.ico") * 2 )) ]] || { echo "$icons icon images"; fail=1; }

refuse() {  # what, arguments...
  local what=$1; shift
  rm -f "$work/refused.exe"
  "$tool" brand "$exe" "$work/refused.exe" "$@" 2>"$work/err"
  local code=$?
  if [[ $code != 1 || -e $work/refused.exe ]] || ! grep -q '^setuplst: ' "$work/err"; then
    echo "not refused ($code): $what"; fail=1
  fi
}
refuse "a character beyond Windows-1252" --company "Ωmega"
[[ $arch != i686 ]] || refuse "a picture that makes the program too big for a floppy" --bitmap "$work/gross.bmp"
cp "$root/src/resources/setup.ico" "$work/not-a-setup.exe"
rm -f "$work/refused.exe"
"$tool" brand "$work/not-a-setup.exe" "$work/refused.exe" 2>/dev/null
[[ $? == 1 && ! -e $work/refused.exe ]] || { echo "a file that is no program was branded"; fail=1; }
exit $fail
