#!/usr/bin/env bash
# What a test run proved of the shipped Windows binaries: every skipped test with its reason, and
# for each shipped DLL and cabhost.exe whether a test executed it under Wine, and how.
#
#   run-summary.sh WINE_BUILD_DIR BUILD_DIR...
#
# WINE_BUILD_DIR is the build tree whose Wine tests recorded what they executed (wine/executed/,
# written by run-wine.sh); each BUILD_DIR holds the console output of its ctest run in
# ctest-output.txt and ctest's own log. With CI=true the summary fails when a shipped binary was not
# executed at all although this machine can run it (natively, or 32-bit code through qemu).
set -u
wine_build=$1
shift
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

echo "== skipped tests"
skipped=0
for build in "$@"; do
  output=$build/ctest-output.txt
  [ -f "$output" ] || continue
  for name in $(sed -n 's/.*Test *#[0-9]*: \([^ ]*\) .*\*\*\*Skipped.*/\1/p' "$output"); do
    # The test's own "SKIP: reason" line, from ctest's log of its output.
    reason=$(awk -v t="$name" '
      $0 ~ "^[0-9]+/[0-9]+ Test: " t "$" { inside = 1; next }
      inside && /^SKIP(PED)?: / { sub(/^SKIP(PED)?: /, ""); print; exit }
      inside && /^<end of output>/ { exit }' "$build/Testing/Temporary/LastTest.log" 2>/dev/null)
    echo "  $name: ${reason:-(no reason given)}"
    skipped=$((skipped + 1))
  done
done
[ $skipped -eq 0 ] && echo "  none"

echo "== the shipped Windows binaries under Wine"
x86=$("$source_dir/scripts/x86-support")
missing=()
for arch in x86 x64; do
  for binary in Corvane.dll Sentrel.dll cabhost.exe; do
    record=$wine_build/wine/executed/$arch-$binary
    if [ -f "$record" ]; then
      case "$(cat "$record")" in
      emulated) how="executed through qemu's i386 emulation" ;;
      *) how="executed natively" ;;
      esac
    elif [ "$arch" = x86 ] && [ "$x86" = none ]; then
      how="not executed: this machine cannot run 32-bit programs (its kernel runs 64-bit code only and qemu's i386 emulation could not be set up)"
    else
      how="NOT EXECUTED"
      missing+=("$arch/$binary")
    fi
    printf '  %-20s %s\n' "$arch/$binary" "$how"
  done
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "  not executed although this machine can run them: ${missing[*]} (see the skipped tests above)"
  if [ "${CI:-}" = true ]; then
    echo "FAILED: a run that did not execute every shipped Windows binary it could proves nothing of the product"
    exit 1
  fi
fi
exit 0
