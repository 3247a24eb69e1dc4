#!/usr/bin/env bash
# make bench, part two: setuplst fill (and check) over media of 1,000 and 10,000 files, 100 a
# section, every tenth a library with a version resource, all figures in SETUP.LST wrong. Prints
# the best of three rounds and the time per file, which stays flat when the work is linear.
set -uo pipefail
tool=$1 library=$2 work=$3
rm -rf "$work" && mkdir -p "$work"

seconds() { date +%s.%N; }

for n in 1000 10000; do
  medium=$work/medium-$n
  mkdir -p "$medium"
  script=$'[Settings]\r\nDestination=C:\\Programme\\Bench\r\n'
  for ((s = 1; s <= n / 100; ++s)); do
    script+=$'[Section'$s$']\r\nName=Teil '$s$'\r\nInstall=1\r\nFileCount=100\r\n'
    for ((f = 1; f <= 100; ++f)); do
      i=$(((s - 1) * 100 + f))
      if ((i % 10 == 0)); then
        name=lib$i.dll
        cp "$library" "$medium/$name"
      else
        name=datei$i.dat
        printf '%*s' $((i % 4096 + 1)) '' >"$medium/$name"
      fi
      script+="File$f=1,,$name,,\$(AppPath),,,1/1/1990,1"$'\r\n'
    done
  done
  printf '%s' "$script" >"$work/SETUP-$n.LST"
  best_fill=999 best_check=999
  for round in 1 2 3; do
    cp "$work/SETUP-$n.LST" "$medium/SETUP.LST"
    start=$(seconds)
    "$tool" fill "$medium" >"$work/fill-$n.log" || { echo "fill failed:"; cat "$work/fill-$n.log"; exit 1; }
    middle=$(seconds)
    "$tool" check "$medium" >"$work/check-$n.log"
    [[ $? -eq 0 ]] || { echo "check after fill found errors:"; head "$work/check-$n.log"; exit 1; }
    end=$(seconds)
    best_fill=$(awk -v a="$start" -v b="$middle" -v m="$best_fill" 'BEGIN { print (b - a < m) ? b - a : m }')
    best_check=$(awk -v a="$middle" -v b="$end" -v m="$best_check" 'BEGIN { print (b - a < m) ? b - a : m }')
  done
  awk -v n="$n" -v f="$best_fill" -v c="$best_check" 'BEGIN {
    printf "setuplst fill  %6d files: %7.3f s (%5.1f us a file)\n", n, f, f * 1e6 / n
    printf "setuplst check %6d files: %7.3f s (%5.1f us a file)\n", n, c, c * 1e6 / n }'
done
