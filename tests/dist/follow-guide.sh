#!/usr/bin/env bash
# Follows the kit's guide word for word: the archive alone in an empty folder, then every
# command the guide gives ("  $ " lines), in order, in one shell. Each must succeed; the medium
# it leaves must hold the branded setup.exe and pass check.
set -uo pipefail
archive=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$archive" "$work/"
guide=$(tar xzf "$archive" -O setup-kit/ANLEITUNG.txt) || { echo "no guide in the archive"; exit 1; }
sed -n 's/^  \$ //p' <<<"$guide" >"$work/.commands"
[[ $(wc -l <"$work/.commands") -ge 6 ]] || { echo "the guide names too few commands"; exit 1; }
cd "$work"
if ! bash -e -x .commands >.log 2>&1; then
  echo "the guide's commands fail:"; cat .log; exit 1
fi
cd setup-kit
fail=0
for f in setup.exe setuplst setuplst.exe beispiel/SETUP.LST bild.bmp; do [[ -s $f ]] || { echo "$f missing"; fail=1; }; done
# The branded program names the guide's product and company (UTF-16 in its resources).
for name in "Atlas der Welt" "Muster & Söhne KG"; do
  pattern=$(printf '%s' "$name" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -d ' \n' | sed 's/../\\x&/g')
  LC_ALL=C grep -qaP "$pattern" CD/setup.exe || { echo "CD/setup.exe lacks \"$name\""; fail=1; }
done
grep -q '^File[0-9]*=1,,Liesmich.txt,,$(AppPath),,,' CD/SETUP.LST || { echo "Liesmich.txt was not added"; fail=1; }
./setuplst check CD >/dev/null || { echo "check finds errors on the guide's medium"; fail=1; }
[[ $fail == 0 ]] && echo "the guide's $(wc -l <"$work/.commands") commands made a checked, branded medium"
exit $fail
