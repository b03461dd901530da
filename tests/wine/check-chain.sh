#!/usr/bin/env bash
# cabhost.exe check under Wine on a plug-in folder whose detailmodules.txt lists a DLL without plug-in
# functions, the system's version.dll, a plug-in of the other word size and a name with a blank at
# its end: each is named with the list file and its line, and the real plug-in is not.
#
#   check-chain.sh ARCH WORK
#
# ARCH x86 or x64. Environment: E2E_SOURCE_DIR (the repository), E2E_BUILD_DIR (the native build
# tree, for the Wine prefix). Exit status 77 (ctest: skipped) only when Wine cannot start at all.
set -u
arch=$1 work=$2
source_dir=${E2E_SOURCE_DIR:?} build_dir=${E2E_BUILD_DIR:?}
if [ "$arch" = x86 ]; then other=x64 bits=32 other_bits=64; else other=x86 bits=64 other_bits=32; fi
plugins=$source_dir/build/windows-$arch/tests/wine/chain_plugins
other_plugins=$source_dir/build/windows-$other/tests/wine/chain_plugins

fail() {
  echo "FAIL: $*"
  exit 1
}

rm -rf "$work"
mkdir -p "$work"
cp -r "$source_dir/samples/vehicle" "$work/vehicle"
plugin=$work/vehicle/plugin
rm -f "$plugin/XAudio2"*
cp "$source_dir/dist/windows-$arch/Corvane.dll" "$plugin/" || fail "no Corvane.dll for $arch"
cp "$plugins/empty.dll" "$plugins/recording.dll" "$plugin/" || fail "no test plug-ins for $arch"
cp "$other_plugins/recording.dll" "$plugin/other.dll" || fail "no test plug-in for $other"
printf '%s\r\n' empty.dll 'C:\windows\system32\version.dll' other.dll 'recording.dll ' recording.dll \
  >"$plugin/detailmodules.txt"

"$source_dir/tests/wine/run-wine.sh" "$build_dir" "$source_dir/dist/windows-$arch/cabhost.exe" check \
  "$work/vehicle" >"$work/stdout" 2>"$work/stderr"
status=$?
[ $status -eq 77 ] && exit 77
tr -d '\r' <"$work/stdout" >"$work/out.txt"
cat "$work/out.txt"
[ $status -eq 0 ] || fail "check ended with status $status"

expect() {
  grep -qF -- "$1" "$work/out.txt" || fail "no warning: $1"
}
expect 'detailmodules.txt line 1: '
expect 'empty.dll exports none of the plug-in functions'
expect 'detailmodules.txt line 2: C:\windows\system32\version.dll exports none of the plug-in functions'
expect "other.dll is a $other_bits-bit library, but Corvane here is $bits-bit"
expect 'detailmodules.txt line 4: "recording.dll " ends with a blank'
warnings=$(grep -c '^warning: .*detailmodules.txt line' "$work/out.txt")
[ "$warnings" -eq 4 ] || fail "$warnings warnings about the list, expected 4"
grep -q 'line 5' <(grep '^warning' "$work/out.txt") && fail "the real plug-in was warned about"
echo "ok"
