#!/usr/bin/env bash
# Installs what building and testing setup.exe needs, from Debian's packages.
# Quiet when everything is there; loud and non-zero when something cannot be installed.
# No i386 architecture: these machines cannot run 32-bit Linux programs, so wine64 runs
# the x86_64 build and the shipped i686 build is checked statically.
#
#   install-deps.sh           what make test and make demo need
#   install-deps.sh test32    also what make test32 needs on the host: qemu and the tools that
#                             make the guest's image (32-bit Wine runs inside the guest)
set -euo pipefail

packages=(
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  mingw-w64-i686-dev mingw-w64-x86-64-dev
  wine wine64 fonts-wine
  xvfb xauth fonts-liberation2 locales
  cmake ninja-build make g++ googletest
  clang libclang-rt-14-dev
  imagemagick libxml2-utils
)
if [[ ${1:-} == test32 ]]; then
  packages+=(qemu-system-x86 qemu-utils debootstrap e2fsprogs)
fi

# Wine runs as a German user sees Windows (tools/wine-run sets LANG=de_DE.UTF-8). Without the
# locale itself Wine falls back to an English user and to ASCII file names, so umlauts in paths
# cannot be made: the locale is generated once.
german_locale() {
  locale -a 2>/dev/null | grep -qix 'de_DE.utf8' && return 0
  [[ $(id -u) -eq 0 ]] || { echo "install-deps: root is needed to generate de_DE.UTF-8" >&2; return 1; }
  localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || { echo "install-deps: localedef failed" >&2; return 1; }
}

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
if [[ ${#missing[@]} -eq 0 ]]; then
  german_locale
  exit
fi

echo "install-deps: installing ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: root is needed to install packages (missing: ${missing[*]})" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
if ! { apt-get update -q && apt-get install -y -q --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "install-deps: apt-get failed for: ${missing[*]}" >&2
  rm -f "$log"
  exit 1
fi
rm -f "$log"
for p in "${missing[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  if [[ "$status" != "install ok installed" ]]; then
    echo "install-deps: $p is still not installed" >&2
    exit 1
  fi
done
german_locale || exit 1
echo "install-deps: done"
