#!/usr/bin/env bash
# The run report in headless Chromium (browser_test.mjs does the checking).
#
#   browser-test.sh demo SOURCE_DIR CABHOST
#       runs the demo as scripts/demo does (two runs of the sample departure, the second into
#       SOURCE_DIR/out/demo compared with the first), checks its report and leaves a screenshot as
#       out/demo/report.png
#   browser-test.sh run WORK CABHOST SCENARIO [--plugin LIB]
#       any run without a recording, its report checked (into WORK/out)
#   browser-test.sh library WORK NATIVE_LIBS [WINDOWS_LIBS]
#       the sample departure driving Corvane as a plug-in library (--plugin), as the end-to-end
#       tests run it (tests/wine/e2e.sh): natively with the libraries in NATIVE_LIBS, and, given
#       WINDOWS_LIBS, with cabhost.exe of the 32-bit build under Wine, whose page must carry the
#       same scripts and styles as the native one
#
# Exit status 77 (ctest: skipped), with one line saying why, when Chromium, node or the browser
# driver is not installed, or when Wine cannot start.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
chromium=${CHROMIUM:-/usr/bin/chromium}

if [ ! -x "$chromium" ]; then
  echo "SKIPPED: Chromium is not installed at $chromium (scripts/install-deps installs Debian's chromium as root)"
  exit 77
fi
if ! command -v node >/dev/null 2>&1; then
  echo "SKIPPED: node is not installed (scripts/install-deps installs it)"
  exit 77
fi
if [ ! -f "$source_dir/node_modules/puppeteer-core/package.json" ]; then
  echo "SKIPPED: puppeteer-core is not in node_modules (run scripts/install-deps)"
  exit 77
fi

mode=$1
shift
case "$mode" in
demo)
  src=$1 cabhost=$2
  (cd "$src" && scripts/demo-runs "$cabhost") >/dev/null || {
    echo "FAIL: the demo run failed"
    exit 1
  }
  exec node "$here/browser_test.mjs" "$src/out/demo/report.html" --levels --audio --compare --screenshot "$src/out/demo/report.png"
  ;;
run)
  work=$1 cabhost=$2
  shift 2
  rm -rf "$work"
  mkdir -p "$work"
  "$cabhost" run "$@" --out "$work/out" --no-plots >"$work/output" 2>&1 || {
    cat "$work/output"
    echo "FAIL: the run failed"
    exit 1
  }
  exec node "$here/browser_test.mjs" "$work/out/report.html"
  ;;
library)
  work=$1 native_libs=$2 windows_libs=${3:-}
  mkdir -p "$work"
  e2e=$source_dir/tests/wine/e2e.sh
  "$e2e" departure native "$work/native" "$native_libs" >"$work.native.log" 2>&1 || {
    cat "$work.native.log"
    echo "FAIL: the native plug-in library run failed"
    exit 1
  }
  report=$work/native/out/report.html
  if [ -n "$windows_libs" ]; then
    "$e2e" departure x86 "$work/x86" "$windows_libs" >"$work.x86.log" 2>&1
    status=$?
    if [ $status -eq 77 ]; then
      echo "SKIPPED: $(tail -1 "$work.x86.log")"
      exit 77
    elif [ $status -ne 0 ]; then
      cat "$work.x86.log"
      echo "FAIL: the run of cabhost.exe under Wine failed"
      exit 1
    fi
    # Everything but the run's data and title is what the native host writes.
    strip() { grep -v -e 'id="run-data"' -e '<title>' "$1"; }
    if ! cmp -s <(strip "$work/x86/out/report.html") <(strip "$report"); then
      echo "FAIL: the report of cabhost.exe differs from the native one outside the run's data:"
      diff <(strip "$work/x86/out/report.html") <(strip "$report") | head -5
      exit 1
    fi
    report=$work/x86/out/report.html
  fi
  exec node "$here/browser_test.mjs" "$report"
  ;;
*)
  echo "usage: browser-test.sh demo SOURCE_DIR CABHOST | run WORK CABHOST SCENARIO [--plugin LIB] | library WORK NATIVE_LIBS [WINDOWS_LIBS]" >&2
  exit 2
  ;;
esac
