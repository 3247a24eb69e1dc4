#!/usr/bin/env bash
# Checks a built setup.exe from the outside: PE format for its architecture, a GUI program that
# Windows 95 and NT 4.0 load (subsystem version 4.0), every import on the allow-list
# imports.txt beside this script, the size ceiling of the shipped i686 build, and the resources
# the program and Windows rely on: icons, strings, version resource, manifest.
set -uo pipefail
exe=$1 arch=$2 objdump=$3 windres=${4:-} company=${5:-} product=${6:-}
here=$(cd "$(dirname "$0")" && pwd)
# A floppy disk holds the program beside the product: 160 KB at most, with the uninstaller and
# the rollback of an interrupted run inside it.
ceiling=163840
fail=0
headers=$("$objdump" -p "$exe") || { echo "cannot read $exe"; exit 1; }

case $arch in
  i686) want_format="pei-i386" ;;
  x86_64) want_format="pei-x86-64" ;;
  *) echo "unknown architecture $arch"; exit 1 ;;
esac
format=$(grep -m1 'file format' <<<"$headers" | awk '{print $NF}')
[[ $format == "$want_format" ]] || { echo "format is $format, want $want_format"; fail=1; }

field() { awk -v f="$1" '$1 == f {print $2}' <<<"$headers"; }
[[ $(field Subsystem) == 00000002 ]] || { echo "subsystem is $(field Subsystem), want 2 (Windows GUI)"; fail=1; }
# Windows 95 and NT 4.0 refuse a program that asks for a later subsystem version.
subsystem_version=$(field MajorSubsystemVersion).$(field MinorSubsystemVersion)
[[ $arch != i686 || $subsystem_version == 4.0 ]] || { echo "subsystem version is $subsystem_version, want 4.0"; fail=1; }

# Imports: "<dll> <function>" pairs, DLL names in lower case; an import by ordinal shows as <none>.
imports=$(awk '/DLL Name:/ {dll = tolower($3); next}
               dll && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ {print dll, $3}
               dll && /<none>/ {print dll, "<ordinal>"}' <<<"$headers" | sort -u)
[[ -n $imports ]] || { echo "no import table found"; fail=1; }
# The list: a DLL's name at the start of a line (with "x86_64" after it for that build only),
# its functions on the indented lines below.
allowed=$(awk -v arch="$arch" '/^#/ || !NF {next}
                               /^[^ ]/ {dll = tolower($1); use = NF == 1 || $2 == arch; next}
                               use {for (i = 1; i <= NF; ++i) print dll, $i}' "$here/imports.txt" | sort -u)
unlisted=$(comm -23 <(echo "$imports") <(echo "$allowed"))
if [[ -n $unlisted ]]; then
  fail=1
  while read -r dll function; do
    if [[ $dll == msvcrt.dll ]]; then
      echo "import not allowed: $dll $function (no C runtime DLL: Windows 95 lacks it; write it in src/startup/runtime_win.cpp)"
    else
      echo "import not on tests/static/imports.txt: $dll $function (add it only if Windows 95 and NT 4.0 both have it; else look it up at run time)"
    fi
  done <<<"$unlisted"
fi

size=$(stat -c %s "$exe")
if [[ $arch == i686 ]] && (( size > ceiling )); then
  echo "setup.exe is $size bytes, more than the $ceiling bytes that leave room on a floppy"; fail=1
fi

# The resources, with the publisher's names as configured.
if [[ -n $windres ]]; then
  rc=$("$windres" -i "$exe" -O rc 2>/dev/null) || { echo "cannot read the resources"; fail=1; }
  for icon in 7 133; do
    grep -qE "^$icon 14 /\* RT_GROUP_ICON \*/" <<<"$rc" || { echo "icon $icon missing"; fail=1; }
  done
  # windres prints non-ASCII characters as octal escapes of their code (Latin-1 range here).
  decode() { printf '%b' "$1" | iconv -f ISO-8859-1 -t UTF-8; }
  string_resource() {
    local line
    line=$(grep -m1 -E "^  $1, L?\"" <<<"$rc") || return 1
    line=${line#*\"}; line=${line%\"}
    decode "$line"
  }
  version_value() {
    local line
    line=$(grep -m1 -E "^ +VALUE \"$1\", L?\"" <<<"$rc") || return 1
    line=${line#*, }; line=${line#L}; line=${line#\"}; line=${line%\"}
    decode "$line"
  }
  expect() {  # what, got, want
    [[ $2 == "$3" ]] || { echo "$1 is '$2', want '$3'"; fail=1; }
  }
  expect "string 109" "$(string_resource 109)" "2.0"
  expect "string 103" "$(string_resource 103)" "$company"
  expect "string 104" "$(string_resource 104)" "$product"
  expect "version CompanyName" "$(version_value CompanyName)" "$company"
  expect "version ProductName" "$(version_value ProductName)" "$product"
  expect "version FileDescription" "$(version_value FileDescription)" "$product-Setup"
  expect "version FileVersion" "$(version_value FileVersion)" "2.0"
  expect "version ProductVersion" "$(version_value ProductVersion)" "2.0"

  # The manifest as windres prints it: quoted lines with doubled quotes and \n escapes.
  manifest=$(awk '/^1 24 \/\* RT_MANIFEST \*\//,/^END/' <<<"$rc" | sed -n 's/^  "\(.*\)"$/\1/p' |
             sed 's/""/"/g' | while IFS= read -r line; do printf '%b' "$line"; done)
  if [[ -z $manifest ]]; then
    echo "no manifest"; fail=1
  elif ! xmllint --noout - <<<"$manifest" 2>/dev/null; then
    echo "the manifest is not well-formed XML"; fail=1
  else
    want=('requestedExecutionLevel level="asInvoker" uiAccess="false"'
          '{e2011457-1546-43c5-a5fe-008deee3d3f0}' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}'
          '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}' '{1f676c76-80e1-4239-95bb-83d0f6d0da78}'
          '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' '>false</dpiAware>')
    for w in "${want[@]}"; do
      grep -qF "$w" <<<"$manifest" || { echo "manifest lacks $w"; fail=1; }
    done
  fi
fi

echo "$exe: $format, subsystem $(field Subsystem), $size bytes (ceiling $ceiling), $(wc -l <<<"$imports") imports"
exit $fail
