#!/usr/bin/env bash
# A run that executed no shipped Windows binary must not look green: run-wine.sh and run-summary.sh
# against fake Wine loaders and a fake build tree.
#   proof-test.sh WORK
set -u
unset CI  # the cases below set it where they need it, whatever the run around them has
here=$(cd "$(dirname "$0")" && pwd)
work=$1
rm -rf "$work"
mkdir -p "$work/bin" "$work/build/wine/executed" "$work/build/Testing/Temporary"
failures=0
check() {  # check DESCRIPTION EXPECTED_STATUS STATUS OUTPUT PATTERN
  if [ "$3" -ne "$2" ] || ! grep -q -- "$5" <<<"$4"; then
    echo "FAIL: $1: status $3 (expected $2), output:"; echo "$4"
    failures=$((failures + 1))
  fi
}

# A 64-bit Windows program as far as the loader's choice goes: "MZ", the PE offset, the machine.
printf 'MZ' >"$work/prog.exe"
head -c 58 /dev/zero >>"$work/prog.exe"
printf '\x40\x00\x00\x00PE\x00\x00\x64\x86' >>"$work/prog.exe"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/wineserver"

# A loader that cannot make a prefix; then one that makes it but cannot start the program.
printf '#!/bin/sh\nexit 126\n' >"$work/bin/wine64"
chmod +x "$work/bin/"*
out=$(PATH="$work/bin:$PATH" "$here/run-wine.sh" "$work/build" "$work/prog.exe" 2>&1)
check "no prefix" 77 $? "$out" "SKIP: Wine cannot create a prefix"
printf '#!/bin/sh\n[ "$1" = wineboot ] && touch "$WINEPREFIX/system.reg" && exit 0\nexit 126\n' >"$work/bin/wine64"
out=$(PATH="$work/bin:$PATH" "$here/run-wine.sh" "$work/build" "$work/prog.exe" 2>&1)
check "loader exits 126" 77 $? "$out" "SKIP: the Wine loader .* could not start (status 126)"
[ -z "$(ls "$work/build/wine/executed")" ] || check "nothing recorded" 0 1 "" ""

# The summary: a skipped test with its reason, x64 Corvane executed, x86 runnable through emulation.
echo ' 3/9 Test #12: wine_x86_reload ..........***Skipped   0.2 sec' >"$work/build/ctest-output.txt"
printf '3/9 Test: wine_x86_reload\nOutput:\n---\nSKIP: emulation crashes\n<end of output>\n' \
  >"$work/build/Testing/Temporary/LastTest.log"
echo native >"$work/build/wine/executed/x64-Corvane.dll"
out=$(CI=true X86_SUPPORT=emulated "$here/run-summary.sh" "$work/build" "$work/build" 2>&1)
check "summary under CI" 1 $? "$out" "wine_x86_reload: emulation crashes"
check "summary names each binary" 1 1 "$out" "x86/Sentrel.dll *NOT EXECUTED"
out=$(X86_SUPPORT=emulated "$here/run-summary.sh" "$work/build" "$work/build" 2>&1)
check "summary outside CI" 0 $? "$out" "x64/Corvane.dll *executed natively"
for b in Sentrel.dll cabhost.exe; do echo native >"$work/build/wine/executed/x64-$b"; done
out=$(CI=true X86_SUPPORT=none "$here/run-summary.sh" "$work/build" "$work/build" 2>&1)
check "no 32-bit at all" 0 $? "$out" "x86/Corvane.dll *not executed: this machine cannot run 32-bit programs"

[ $failures -eq 0 ] && echo "all proof checks passed"
[ $failures -eq 0 ]
