#!/usr/bin/env bash
# The run report in headless Chromium (browser_test.mjs does the checking).
#
#   browser-test.sh demo SOURCE_DIR CABHOST
#       runs the demo as scripts/demo does (the sample departure into SOURCE_DIR/out/demo), checks
#       its report and leaves a screenshot as out/demo/report.png
#   browser-test.sh report REPORT [SAME_PAGE_AS] -- BROWSER_TEST_OPTIONS...
#       checks a report that another test wrote; with SAME_PAGE_AS, also that both pages carry the
#       same scripts and styles (a Windows cabhost.exe embeds what the Linux one does)
#
# Exit status 77 (ctest: skipped), with one line saying why, when Chromium, node or the browser
# driver is not installed, or when the run that writes the report was skipped.
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
  mkdir -p "$src/out/demo"
  (cd "$src" && "$cabhost" run samples/scenarios/departure.toml --out out/demo) >/dev/null || {
    echo "FAIL: the demo run failed"
    exit 1
  }
  exec node "$here/browser_test.mjs" "$src/out/demo/report.html" --levels --audio --screenshot "$src/out/demo/report.png"
  ;;
report)
  report=$1
  shift
  same_as=""
  if [ "${1:-}" != "--" ]; then
    same_as=$1
    shift
  fi
  shift  # --
  if [ -f "$(dirname "$(dirname "$report")")/SKIPPED" ]; then
    echo "SKIPPED: the run that writes $report was skipped"
    exit 77
  fi
  [ -f "$report" ] || {
    echo "FAIL: no report at $report"
    exit 1
  }
  if [ -n "$same_as" ]; then
    # Everything but the run's data and title.
    if ! cmp -s <(grep -v -e 'id="run-data"' -e '<title>' "$report") <(grep -v -e 'id="run-data"' -e '<title>' "$same_as"); then
      echo "FAIL: $report and $same_as differ outside the run's data"
      diff <(grep -v -e 'id="run-data"' -e '<title>' "$report") <(grep -v -e 'id="run-data"' -e '<title>' "$same_as") | head -5
      exit 1
    fi
  fi
  exec node "$here/browser_test.mjs" "$report" "$@"
  ;;
*)
  echo "usage: browser-test.sh demo SOURCE_DIR CABHOST | report REPORT [SAME_PAGE_AS] -- OPTIONS" >&2
  exit 2
  ;;
esac
