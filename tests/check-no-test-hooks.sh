#!/usr/bin/env bash
# Fails when a shipped artifact holds one of the functions that platform/test_hooks.h declares:
# those are linked into test programs only. Usage: check-no-test-hooks.sh HEADER ARTIFACT...
set -euo pipefail
names=$(sed -nE 's/^[A-Za-z].* ([a-z][A-Za-z]*)\(.*\);$/\1/p' "$1")
shift
found=0
for artifact in "$@"; do
  symbols=$(nm -C "$artifact")
  # A stripped artifact would pass without proving anything.
  grep -q 'platform::' <<<"$symbols" || { echo "$artifact: no symbols of ours to check"; exit 1; }
  for name in $names; do
    grep -qF "platform::$name(" <<<"$symbols" && { echo "$artifact: platform::$name"; found=1; }
  done
done
exit $found
