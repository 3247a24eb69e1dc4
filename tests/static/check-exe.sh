#!/usr/bin/env bash
# Checks a built setup.exe from the outside: PE format for its architecture, GUI subsystem,
# and that it imports nothing but the system DLLs (static build: no libgcc/libstdc++ DLLs).
set -uo pipefail
exe=$1 arch=$2 objdump=$3
fail=0
headers=$("$objdump" -p "$exe") || { echo "cannot read $exe"; exit 1; }

case $arch in
  i686) want_format="pei-i386" ;;
  x86_64) want_format="pei-x86-64" ;;
  *) echo "unknown architecture $arch"; exit 1 ;;
esac
format=$(grep -m1 'file format' <<<"$headers" | awk '{print $NF}')
[[ $format == "$want_format" ]] || { echo "format is $format, want $want_format"; fail=1; }

subsystem=$(awk '/^Subsystem/ {print $2}' <<<"$headers")
[[ $subsystem == 00000002 ]] || { echo "subsystem is $subsystem, want 2 (Windows GUI)"; fail=1; }

allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll comctl32.dll comdlg32.dll shell32.dll ole32.dll version.dll msvcrt.dll"
imports=$(grep 'DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u)
[[ -n $imports ]] || { echo "no import table found"; fail=1; }
for dll in $imports; do
  [[ " $allowed " == *" $dll "* ]] || { echo "unexpected import: $dll"; fail=1; }
done

size=$(stat -c %s "$exe")
(( size < 1024 * 1024 )) || { echo "setup.exe is $size bytes, more than 1 MiB"; fail=1; }

# The resources a publisher brands must be in the file.
grep -q 'RT_STRING\|\.rsrc' <<<"$headers" || { echo "no resource section"; fail=1; }

echo "$exe: $format, subsystem $subsystem, $size bytes, imports: $(echo $imports)"
exit $fail
