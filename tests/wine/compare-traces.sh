#!/usr/bin/env bash
# Compares the traces of one scenario run by several builds byte for byte:
#   compare-traces.sh WORK...   (each WORK/out/trace.csv, from tests/wine/e2e.sh)
# On a difference, names the first differing frame and column with both values.
# A run that was skipped (WORK/SKIPPED: Wine cannot start, or its word size cannot run here) is left
# out and named; exits 77 (ctest: skipped) when fewer than two runs remain.
set -u
runs=()
for work in "$@"; do
  if [ -f "$work/SKIPPED" ]; then
    echo "not compared: $work was skipped ($(cat "$work/SKIPPED"))"
  else
    runs+=("$work")
  fi
done
if [ ${#runs[@]} -lt 2 ]; then
  echo "SKIP: fewer than two of the runs ran"
  exit 77
fi
set -- "${runs[@]}"
reference=$1/out/trace.csv
for work in "$@"; do
  if [ ! -f "$work/out/trace.csv" ]; then
    echo "FAIL: no trace in $work/out (did its run fail?)"
    exit 1
  fi
done
rows=$(($(wc -l <"$reference") - 1))
if [ "$rows" -lt 1000 ]; then
  echo "FAIL: only $rows frames in $reference"
  exit 1
fi
status=0
for work in "${@:2}"; do
  other=$work/out/trace.csv
  if cmp -s "$reference" "$other"; then
    echo "identical: $other ($rows frames)"
    continue
  fi
  status=1
  echo "FAIL: $other differs from $reference"
  awk -F, -v other="$other" '
    NR == FNR { line[FNR] = $0; n = FNR; next }
    FNR == 1 { split($0, names, ",") }
    line[FNR] != $0 {
      count = split(line[FNR], a, ","); split($0, b, ",")
      for (i = 1; i <= count || i in b; ++i) {
        if (a[i] != b[i]) {
          printf "  first difference: line %d (frame %d), column %s: %s against %s\n", FNR, FNR - 1, names[i], a[i], b[i]
          break
        }
      }
      printf "  reference: %s\n  other:     %s\n", line[FNR], $0
      shown = 1
      exit
    }
    END { if (!shown && FNR != n) printf "  %d lines against %d\n", n, FNR }
  ' "$reference" "$other"
done
exit $status
