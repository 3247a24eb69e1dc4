#!/usr/bin/env bash
# Checks a built setup.exe from the outside: PE format for its architecture, GUI subsystem,
# and that it imports nothing but the system DLLs (static build: no libgcc/libstdc++ DLLs).
set -uo pipefail
exe=$1 arch=$2 objdump=$3 windres=${4:-} company=${5:-} product=${6:-}
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

# The resources the program relies on, with the publisher's names as configured.
if [[ -n $windres ]]; then
  rc=$("$windres" -i "$exe" -O rc 2>/dev/null) || { echo "cannot read the resources"; fail=1; }
  for icon in 7 133; do
    grep -qE "^$icon 14 /\* RT_GROUP_ICON \*/" <<<"$rc" || { echo "icon $icon missing"; fail=1; }
  done
  # windres prints non-ASCII characters as octal escapes of their code (Latin-1 range here).
  string_resource() {
    local line
    line=$(grep -m1 -E "^  $1, L?\"" <<<"$rc") || return 1
    line=${line#*\"}; line=${line%\"}
    printf '%b' "$line" | iconv -f ISO-8859-1 -t UTF-8
  }
  [[ $(string_resource 109) == "2.0" ]] || { echo "string 109 is not 2.0"; fail=1; }
  [[ $(string_resource 103) == "$company" ]] || { echo "string 103 is '$(string_resource 103)', want '$company'"; fail=1; }
  [[ $(string_resource 104) == "$product" ]] || { echo "string 104 is '$(string_resource 104)', want '$product'"; fail=1; }
fi

echo "$exe: $format, subsystem $subsystem, $size bytes, imports: $(echo $imports)"
exit $fail
