#!/usr/bin/env bash
# cabhost watch on a copy of the sample vehicle and a short departure: watch_test.mjs changes its
# files under an open page; then the previous run must lie beside the output folder, and Ctrl+C
# (SIGINT) must end the host with status 130, no vehicle mirror left behind.
#
#   watch-test.sh WORK CABHOST SOURCE_DIR
# Exit status 77 (ctest: skipped) where Chromium or the browser driver is missing.
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$1 cabhost=$2 src=$3
if [ ! -x "${CHROMIUM:-/usr/bin/chromium}" ] || ! command -v node >/dev/null ||
   [ ! -f "$src/node_modules/puppeteer-core/package.json" ]; then
  echo "SKIPPED: Chromium, node or puppeteer-core is missing (scripts/install-deps installs them)"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work/samples"
cp -r "$src/samples/vehicle" "$src/samples/scenarios" "$work/samples/"
sed -i 's/^duration_s = .*/duration_s = 12.0/' "$work/samples/scenarios/departure.toml"

"$cabhost" watch "$work/samples/scenarios/departure.toml" --out "$work/out" >"$work/output" 2>&1 &
pid=$!
for _ in $(seq 150); do
  grep -q '^cabhost: run 1 ' "$work/output" && break
  sleep 0.2
done
url=$(grep -o 'http://127\.0\.0\.1:[0-9]*/report\.html' "$work/output")
node "$here/watch_test.mjs" "$url" "$work/samples/vehicle"
status=$?
[ -f "$work/out.previous/trace.csv" ] || { echo "FAIL: the previous run was not kept beside the output folder"; status=1; }
kill -INT $pid
wait $pid
code=$?
[ $code -eq 130 ] || { echo "FAIL: Ctrl+C ended cabhost watch with status $code, not 130"; status=1; }
[ ! -e "$work/out/.cabhost-vehicle" ] || { echo "FAIL: the vehicle mirror was left behind"; status=1; }
[ $status -eq 0 ] || tail -20 "$work/output"
exit $status
