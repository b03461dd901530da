#!/usr/bin/env bash
# cabhost.exe as a Windows author uses it, under Wine, against the native cabhost.
#
#   host_windows.sh CASE RUNNER WORK [ARG]
#
# CASE     linked SCENARIO  the fixed-random host (Corvane linked in) runs samples/scenarios/SCENARIO
#                           as it is, leaving WORK/out/trace.csv and WORK/out/corvane.wav; nothing
#                           may appear in the sample vehicle's folder
#          linked-short     the same over the first 20 s of the departure, on a vehicle copy
#                           without sound files
#          compare WORK...  (RUNNER unused) the trace.csv and corvane.wav of the linked runs are the
#                           same, byte for byte
#          plugin-chain     the release Corvane.dll of RUNNER's build in a copy of the sample vehicle,
#                           with --plugin, over the departure whose chain names Sentrel: the train
#                           moves, the summary names the chained Sentrel, XAudio2 made every voice,
#                           and the vehicle copy is left as it was
#          realtime         the same DLL with --realtime over a 2-second departure: the run takes at
#                           least the simulated time on the wall clock, and without a terminal no
#                           status line is written
#          linked-error     the fixed-random host on a vehicle copy with a faulty notch file: Load's
#                           error names the vehicle's own file and line, never the mirror
#          mirror-guard     a read-only vehicle copy whose chain appends to a file beside itself,
#                           links where the mirror goes: nothing outside WORK/out-* changes, with
#                           --plugin and linked in
#          batch            a folder of two scenarios with expectations, one not met: a line each,
#                           a total, status 5 and a JUnit file
#          tuning           the short departure, then again with a stronger power curve and
#                           --compare on the first: the summary and the report show the change
#          interrupt        SIGINT (Ctrl+C) during a --realtime run: status 130, no mirror left
#          watch            cabhost watch (the release host) on a vehicle copy: the report served on
#                           127.0.0.1, a saved table reruns, a faulty one puts its file and line on
#                           the page, nothing outside the output folder is served, Ctrl+C ends it
#                           with status 130
#          long-path        a vehicle folder and an output folder past Windows' path length: check
#                           and run name the limit
#          package          scripts/package into WORK, then the guide's first hour inside it with
#                           RUNNER's cabhost.exe: check the sample, run the departure linked in, then
#                           through Corvane.dll copied into the vehicle's plug-in folder
# RUNNER   native, x86 or x64 (Windows: cabhost.exe of that build under Wine)
# WORK     a scratch folder, emptied first
#
# Environment: E2E_SOURCE_DIR (the repository), E2E_BUILD_DIR (the native build tree). Exit status
# 77 (ctest: skipped) only when Wine cannot run the program; a WORK/SKIPPED marker then tells compare.
set -u
case_name=$1 runner=$2 work=$3
source_dir=${E2E_SOURCE_DIR:?} build_dir=${E2E_BUILD_DIR:?}
log_name="XAudio2初期化ログ.txt"

fail() {
  echo "FAIL: $*"
  exit 1
}

show_output() {
  echo "--- standard output"
  cat "$work/stdout"
  echo "--- standard error"
  cat "$work/stderr"
}

if [ "$case_name" = compare ]; then
  shift 3
  "$source_dir/tests/wine/compare-traces.sh" "$@" || exit $?
  ran=()
  for w in "$@"; do
    [ -f "$w/SKIPPED" ] || ran+=("$w")
  done
  reference=${ran[0]}/out/corvane.wav
  for w in "${ran[@]:1}"; do
    cmp "$reference" "$w/out/corvane.wav" || fail "$w/out/corvane.wav differs from $reference"
    echo "identical: $w/out/corvane.wav ($(stat -c %s "$reference") bytes)"
  done
  exit 0
fi

rm -rf "$work"
mkdir -p "$work"

# cabhost EXE ARGS...: runs a host of this runner; its output lands in WORK/stdout and WORK/stderr.
cabhost() {
  local exe=$1 status
  shift
  if [ "$runner" = native ]; then
    "$exe" "$@" >"$work/stdout" 2>"$work/stderr" </dev/null
    status=$?
  else
    "$source_dir/tests/wine/run-wine.sh" "$build_dir" "$exe" "$@" >"$work/stdout.crlf" 2>"$work/stderr.crlf" \
      </dev/null
    status=$?
    # The Windows host writes text with CR LF line ends.
    tr -d '\r' <"$work/stdout.crlf" >"$work/stdout"
    tr -d '\r' <"$work/stderr.crlf" >"$work/stderr"
    if [ $status -eq 77 ]; then
      cat "$work/stdout"
      grep -m1 '^SKIP: ' "$work/stdout" | cut -c7- >"$work/SKIPPED"
      exit 77
    fi
  fi
  return $status
}

# A path as the host of this runner reads it in a scenario file ("/" separates on Windows too).
host_path() {
  if [ "$runner" = native ]; then echo "$1"; else echo "Z:$1"; fi
}

if [ "$runner" = native ]; then
  fixed_host=$build_dir/fixed/cabhost
  # This build tree's own libraries, so a sanitizer build drives its own instrumented plug-ins.
  libs=$build_dir corvane=libCorvane.so sentrel=libSentrel.so
else
  fixed_host=$source_dir/build/windows-$runner/fixed/cabhost.exe
  libs=$source_dir/dist/windows-$runner corvane=Corvane.dll sentrel=Sentrel.dll
fi

# The sample vehicle's files, listed with their sizes and times, to prove a run left them alone.
vehicle_listing() {
  (cd "$1" && find . -printf '%p %s %T@\n' | LC_ALL=C sort)
}

case "$case_name" in
linked-short)
  # The first 20 s of the departure on a copy of the sample vehicle without its sound files: the
  # linked-in comparison that qemu's emulation carries (it crashes once Media Foundation decodes).
  cp -r "$source_dir/samples/vehicle" "$work/vehicle"
  find "$work/vehicle" -name '*.wav' -delete
  sed -e 's|^vehicle = .*|vehicle = "vehicle"|' -e '/^chain = /d' -e 's|^duration_s = .*|duration_s = 20.0|' \
    "$source_dir/samples/scenarios/departure.toml" >"$work/departure.toml"
  cabhost "$fixed_host" run "$work/departure.toml" --out "$work/out" --no-plots
  status=$?
  [ $status -eq 0 ] || { show_output; fail "cabhost ended with status $status"; }
  grep -q "^plug-in: Corvane (linked in)" "$work/stdout" || { show_output; fail "Corvane was not linked in"; }
  echo "departure, first 20 s ($runner): $(grep '^frames' "$work/stdout")"
  ;;
linked)
  scenario=$4
  [ -f "$fixed_host" ] || fail "not built: $fixed_host"
  [ -f "$source_dir/samples/vehicle/atsmotornoise/40.wav" ] ||
    fail "the sample vehicle's sounds are not generated yet (build the native tree)"
  vehicle_listing "$source_dir/samples/vehicle" >"$work/vehicle-before"
  cabhost "$fixed_host" run "$source_dir/samples/scenarios/$scenario" --out "$work/out" --no-plots
  status=$?
  [ $status -eq 0 ] || { show_output; fail "cabhost ended with status $status"; }
  for f in trace.csv corvane.wav summary.txt report.html "$log_name"; do
    [ -s "$work/out/$f" ] || { show_output; fail "no $f in the output folder"; }
  done
  # The report's heat map reads the levels back from the software engine on every build.
  grep -q '"levels":{' "$work/out/report.html" || fail "report.html has no sound levels"
  [ -e "$work/out/.cabhost-vehicle" ] && fail "the mirror of the vehicle was left in the output folder"
  vehicle_listing "$source_dir/samples/vehicle" >"$work/vehicle-after"
  # Another test's run may generate nothing here either, so any change is this run's.
  diff "$work/vehicle-before" "$work/vehicle-after" || fail "the run changed the sample vehicle's folder"
  grep -q "^plug-in: Corvane (linked in)" "$work/stdout" || { show_output; fail "Corvane was not linked in"; }
  echo "$scenario ($runner): $(grep '^frames' "$work/stdout"); $(grep '^top speed' "$work/stdout")"
  ;;
plugin-chain | realtime)
  for lib in "$libs/$corvane" "$libs/$sentrel"; do
    [ -f "$lib" ] || fail "not built: $lib"
  done
  cp -r "$source_dir/samples/vehicle" "$work/vehicle"
  rm -f "$work/vehicle/plugin/detailmodules.txt" "$work/vehicle/plugin/$log_name"
  cp "$libs/$corvane" "$work/vehicle/plugin/$corvane"
  # The sample departure with the vehicle copy and the chain naming this build's Sentrel.
  sed -e 's|^vehicle = .*|vehicle = "vehicle"|' \
    -e "s|^chain = .*|chain = ['$(host_path "$libs/$sentrel")']|" \
    "$source_dir/samples/scenarios/departure.toml" >"$work/departure.toml"
  args=()
  if [ "$case_name" = realtime ]; then
    sed -i -e 's|^duration_s = .*|duration_s = 2.0|' "$work/departure.toml"
    args=(--realtime)
  fi
  vehicle_listing "$work/vehicle" >"$work/vehicle-before"
  if [ "$runner" = native ]; then host=$build_dir/host/cabhost; else host=$source_dir/dist/windows-$runner/cabhost.exe; fi
  [ -f "$host" ] || fail "not built: $host"
  cabhost "$host" run "$work/departure.toml" --plugin "$work/vehicle/plugin/$corvane" --out "$work/out" \
    --no-plots "${args[@]}"
  status=$?
  [ $status -eq 0 ] || { show_output; fail "cabhost ended with status $status"; }
  vehicle_listing "$work/vehicle" >"$work/vehicle-after"
  diff "$work/vehicle-before" "$work/vehicle-after" || fail "the run wrote beside the author's files"
  grep -q "^chained: .*$sentrel\$" "$work/stdout" || { show_output; fail "the summary does not name the chained $sentrel"; }
  if [ "$case_name" = plugin-chain ]; then
    grep -q "^top speed: 8[0-9]\.[0-9] km/h" "$work/stdout" || { show_output; fail "the train did not reach 80 km/h"; }
    tr -d '\r' <"$work/out/$log_name" >"$work/log.txt" || fail "no audio start-up log in the output folder"
    grep -q "失敗" "$work/log.txt" && fail "the audio start-up log shows a failure"
    voices=$(grep -cx "ソースボイスの作成成功" "$work/log.txt")
    [ "$voices" -eq 44 ] || fail "$voices voices created, expected 44"
    echo "plugin-chain ($runner): $(grep '^top speed' "$work/stdout"); $voices voices"
  else
    # "frames: 100, 2.0 s simulated in W s": W is wall time, Load included.
    line=$(grep '^frames: ' "$work/stdout") || { show_output; fail "no frame count in the summary"; }
    wall=$(echo "$line" | sed -e 's/.* in \([0-9.]*\) s$/\1/')
    awk -v w="$wall" 'BEGIN { exit !(w >= 1.95) }' || fail "2 s simulated took only $wall s of wall time"
    [ -s "$work/stderr" ] && { show_output; fail "a status line or message on standard error without a terminal"; }
    echo "realtime ($runner): $line"
  fi
  ;;
linked-error)
  # Corvane linked in on a vehicle with a faulty notch file: the error names the vehicle's own file
  # (drive included), not the mirror's.
  cp -r "$source_dir/samples/vehicle" "$work/vehicle"
  printf 'RequiredNotch_Up, 5\r\nJerkRegulation_Down, quick\r\n' >"$work/vehicle/plugin/notch/PowerParams.txt"
  sed -e 's|^vehicle = .*|vehicle = "vehicle"|' "$source_dir/samples/scenarios/departure.toml" >"$work/departure.toml"
  cabhost "$fixed_host" run "$work/departure.toml" --out "$work/out" --no-plots
  status=$?
  [ $status -eq 3 ] || { show_output; fail "cabhost ended with status $status, expected 3"; }
  expected=$(host_path "$work/vehicle/plugin/notch/PowerParams.txt")
  [ "$runner" = native ] || expected=${expected//\//\\}
  grep -qF "$expected" "$work/stderr" || { show_output; fail "the message does not name $expected"; }
  grep -q "line 2" "$work/stderr" || { show_output; fail "the message does not name the line"; }
  grep -q "cabhost-vehicle" "$work/stderr" && { show_output; fail "the message names the mirror"; }
  [ -e "$work/out/.cabhost-vehicle" ] && fail "the mirror was left in the output folder"
  echo "linked-error ($runner): $(grep -m1 PowerParams "$work/stderr")"
  ;;
mirror-guard)
  # Whatever stands around the mirror and whatever a chained library does, nothing outside the output
  # folder changes: the vehicle's files read-only and a chained library that appends to a log beside
  # itself and asks for sound 250, through --plugin and linked in, and again with one of the linked
  # run's copies made a hard link to the vehicle's file; then links where the mirror and its copies go. Windows removes such a link as a link; Wine offers no way to remove a Unix link
  # alone, so there the run is refused and names the link.
  recording=$source_dir/build/windows-$runner/tests/wine/chain_plugins/recording.dll
  [ -f "$recording" ] || fail "not built: $recording"
  cp -r "$source_dir/samples/vehicle" "$work/vehicle"
  rm -f "$work/vehicle/plugin/$log_name"
  cp "$libs/$corvane" "$recording" "$work/vehicle/plugin/"
  printf 'mode=pass\nsound=250:2\n' >"$work/vehicle/plugin/recording.dll.cfg"
  echo "the author's" >"$work/vehicle/plugin/recording.dll.log"
  echo recording.dll >"$work/vehicle/plugin/detailmodules.txt"
  find "$work/vehicle" -type f -exec chmod a-w {} +
  mkdir -p "$work/keep" "$work/out-dir-link" "$work/out-file-link"
  echo "must survive" >"$work/keep/keep.txt"
  ln -s "$work/keep" "$work/out-dir-link/.cabhost-vehicle"
  ln -s "$work/keep/keep.txt" "$work/out-file-link/.cabhost-copies"
  sed -e 's|^vehicle = .*|vehicle = "vehicle"|' -e '/^chain = /d' -e 's|^duration_s = .*|duration_s = 2.0|' \
    "$source_dir/samples/scenarios/departure.toml" >"$work/departure.toml"
  vehicle_listing "$work/vehicle" >"$work/vehicle-before"
  for how in plugin linked hard-link dir-link file-link; do
    if [ $how = hard-link ]; then
      # The linked run's copies, one of them now a hard link to the vehicle's log, which the chained
      # library appends to: a copy that shares its content with another name is never reused.
      mkdir -p "$work/out-$how"
      mv "$work/out-linked/.cabhost-copies" "$work/out-$how/"
      ln "$work/vehicle/plugin/recording.dll.log" "$work/out-$how/.cabhost-copies$work/vehicle/plugin/" ||
        fail "no hard link in the copies"
    fi
    if [ $how = plugin ]; then
      cabhost "$source_dir/dist/windows-$runner/cabhost.exe" run "$work/departure.toml" --out "$work/out-$how" \
        --no-plots --plugin "$work/vehicle/plugin/$corvane"
    else
      cabhost "$fixed_host" run "$work/departure.toml" --out "$work/out-$how" --no-plots
    fi
    status=$?
    if [ $status -eq 2 ] && [ "${how%-link}" != "$how" ]; then
      grep -q "\.cabhost-[a-z]* (a link): " "$work/stderr" || { show_output; fail "$how: the link is not named"; }
    else
      [ $status -eq 0 ] || { show_output; fail "$how: cabhost ended with status $status"; }
      head -1 "$work/out-$how/trace.csv" | grep -q sound_250 || fail "$how: the chained library did not run"
      leftover=$(find "$work/out-$how" -name 'recording.dll.log' -o -name .cabhost-vehicle)
      [ -z "$leftover" ] || fail "$how: left behind: $leftover"
    fi
    [ "$(cat "$work/keep/keep.txt")" = "must survive" ] && [ "$(ls -A "$work/keep")" = keep.txt ] ||
      fail "$how: the run changed what a link in the output folder leads to"
    vehicle_listing "$work/vehicle" >"$work/vehicle-after"
    diff "$work/vehicle-before" "$work/vehicle-after" || fail "$how: the run changed the vehicle's folder"
    echo "mirror-guard ($runner) $how: status $status"
  done
  ;;
batch)
  # A folder of scenarios with expectations, one met and one not: cabhost.exe runs each in a process
  # of its own, prints a line each and a total, exits 5 and writes the JUnit file.
  cp -r "$source_dir/samples/vehicle" "$work/vehicle"
  mkdir -p "$work/checks"
  for mode in 100 27; do
    printf 'vehicle = "../vehicle"\nduration_s = 1.0\n[[expect]]\nmode = %s\n' $mode >"$work/checks/m$mode.toml"
  done
  cabhost "$fixed_host" run "$work/checks" --out "$work/out" --no-plots --junit "$work/j.xml"
  status=$?
  [ $status -eq 5 ] || { show_output; fail "cabhost ended with status $status, expected 5"; }
  grep -q "^passed  .*m100.toml (expectations: 1 of 1 met)$" "$work/stdout" &&
    grep -q "^FAILED  .*m27.toml: expectations: 0 of 1 met$" "$work/stdout" &&
    grep -q "^total: 1 of 2 scenarios passed$" "$work/stdout" || { show_output; fail "not a line each and a total"; }
  grep -q '<failure message="expectations: 0 of 1 met">' "$work/j.xml" || fail "the JUnit file names no failure"
  echo "batch ($runner): $(tail -1 "$work/stdout")"
  ;;
tuning)
  # An author's tuning step: the first 20 s of the departure, then again with a power curve 15 %
  # stronger and --compare on the first: the train gets to 10 km/h sooner, and the summary and the
  # report say so.
  cp -r "$source_dir/samples/vehicle" "$work/vehicle"
  sed -e 's|^vehicle = .*|vehicle = "vehicle"|' -e 's|^duration_s = .*|duration_s = 20.0|' \
    -e "s|^chain = .*|chain = ['$(host_path "$libs/$sentrel")']|" \
    "$source_dir/samples/scenarios/departure.toml" >"$work/departure.toml"
  cabhost "$fixed_host" run "$work/departure.toml" --out "$work/before" --no-plots || { show_output; fail "the first run failed"; }
  curve=$work/vehicle/plugin/notch/PowerCurrent.csv
  awk -F, -v OFS=, '/^[0-9]/ { for (i = 2; i <= NF; i++) $i = sprintf("%.0f", $i * 1.15) } { print }' "$curve" >"$work/curve"
  cp "$work/curve" "$curve"
  cabhost "$fixed_host" run "$work/departure.toml" --out "$work/after" --no-plots --compare "$(host_path "$work/before")"
  status=$?
  [ $status -eq 0 ] || { show_output; fail "cabhost ended with status $status"; }
  [ -s "$work/before/levels.csv" ] || fail "the first run wrote no levels.csv"
  grep -Eq '^  time to 10 km/h +[0-9.]+ s +[0-9.]+ s +-[0-9.]+ s \(-[0-9]+ %\)$' "$work/stdout" ||
    { show_output; fail "the summary does not show the earlier time to 10 km/h"; }
  grep -q '"compare":{"label":' "$work/after/report.html" || fail "the report holds no earlier run"
  echo "tuning ($runner): $(grep 'time to 10 km/h' "$work/stdout")"
  ;;
interrupt)
  # Ctrl+C (SIGINT, which Wine hands to the console's handler) while the frames run: the run stops
  # with status 130, writes no results and leaves no mirror.
  cp -r "$source_dir/samples/vehicle" "$work/vehicle"
  sed -e 's|^vehicle = .*|vehicle = "vehicle"|' -e 's|^duration_s = .*|duration_s = 60.0|' \
    "$source_dir/samples/scenarios/departure.toml" >"$work/departure.toml"
  cabhost "$fixed_host" run "$work/departure.toml" --out "$work/out" --no-plots --realtime &
  runner_pid=$!
  for _ in $(seq 300); do [ -d "$work/out/.cabhost-vehicle" ] && break; sleep 0.1; done
  sleep 2
  # The program itself, not the shell that started it: its arguments are Wine paths.
  pkill -INT -f "cabhost\.exe run Z:.*$(basename "$work")" || fail "no running cabhost.exe to interrupt"
  wait $runner_pid
  status=$?
  [ $status -eq 130 ] || { show_output; fail "cabhost ended with status $status, expected 130"; }
  grep -q "interrupted" "$work/stderr" || { show_output; fail "the interruption is not said"; }
  [ -e "$work/out/.cabhost-vehicle" ] && fail "the mirror was left in the output folder"
  [ -e "$work/out/trace.csv" ] && fail "results were written after the interruption"
  echo "interrupt ($runner): status $status"
  ;;
watch)
  cp -r "$source_dir/samples/vehicle" "$work/vehicle"
  sed -e 's|^vehicle = .*|vehicle = "vehicle"|' -e '/^chain = /d' -e 's|^duration_s = .*|duration_s = 10.0|' \
    "$source_dir/samples/scenarios/departure.toml" >"$work/departure.toml"
  host=$source_dir/dist/windows-$runner/cabhost.exe
  [ "$runner" = native ] && host=$build_dir/host/cabhost
  cabhost "$host" watch "$work/departure.toml" --out "$work/out" &
  runner_pid=$!
  # The program itself, not the shell that started it; on a failure it must not outlive the test.
  watching() { pgrep -f "cabhost(\.exe)? watch .*$(basename "$work")"; }
  trap 'kill -KILL $(watching) 2>/dev/null' EXIT
  said() { cat "$work/stdout"* 2>/dev/null | tr -d '\r'; }
  for _ in $(seq 600); do said | grep -q '^cabhost: run 1 ' && break; sleep 0.2; done
  base=$(said | grep -o 'http://127\.0\.0\.1:[0-9]*')
  [ -n "$base" ] || { said; fail "no address printed"; }
  get() { curl -s --path-as-is -o "$work/page" -w '%{http_code}' "$base$1"; }
  # until_run N: the server hands out run N within 60 s.
  until_run() { for _ in $(seq 300); do [ "$(curl -s "$base/run-id")" = "$1" ] && return 0; sleep 0.2; done; return 1; }
  [ "$(get /report.html)" = 200 ] && grep -q cabhostWatchRun "$work/page" || fail "the report is not served"
  echo "; saved" >>"$work/vehicle/plugin/notch/PowerParams.txt"
  until_run 2 || fail "a saved change did not rerun"
  sed -i '0,/^0,/s/^0,/0,abc/' "$work/vehicle/plugin/notch/PowerCurrent.csv"
  until_run 3 || fail "a faulty table did not rerun"
  get /report.html >/dev/null
  grep -q 'PowerCurrent.csv&quot; line [0-9]*:' "$work/page" || { cat "$work/page"; fail "the page does not show the error's file and line"; }
  for p in '/../departure.toml' '/..%5cdeparture.toml' '/%2e%2e/departure.toml' '/C:%5cwindows%5cwin.ini' '/Z:/etc/hostname'; do
    [ "$(get "$p")" = 404 ] || fail "$p was served"
  done
  program=$(watching) || fail "no running cabhost to interrupt"
  kill -INT $program
  wait $runner_pid
  status=$?
  [ $status -eq 130 ] || { show_output; fail "cabhost watch ended with status $status, expected 130"; }
  [ -e "$work/out/.cabhost-vehicle" ] && fail "the mirror was left in the output folder"
  echo "watch ($runner): three runs served, status $status"
  ;;
long-path)
  # Windows opens no path past 259 characters: a vehicle folder or an output folder that long is
  # named with the limit, not as "No such file or directory".
  long=$work/$(printf 'a%.0s' {1..120})/$(printf 'b%.0s' {1..120})
  mkdir -p "$long"
  cp -r "$source_dir/samples/vehicle" "$long/vehicle"
  cabhost "$fixed_host" check "$long/vehicle"
  status=$?
  [ $status -eq 1 ] || { show_output; fail "check ended with status $status, expected 1"; }
  limit="characters long, and Windows opens paths of at most 259 characters"
  grep -q "vehicle folder .*$limit" "$work/stderr" || { show_output; fail "check does not name the limit"; }
  cp -r "$source_dir/samples/vehicle" "$work/vehicle"
  sed -e 's|^vehicle = .*|vehicle = "vehicle"|' "$source_dir/samples/scenarios/departure.toml" >"$work/departure.toml"
  cabhost "$fixed_host" run "$work/departure.toml" --out "$long/out" --no-plots
  status=$?
  [ $status -eq 2 ] || { show_output; fail "run ended with status $status, expected 2"; }
  grep -q "output folder .*$limit" "$work/stderr" || { show_output; fail "run does not name the limit"; }
  echo "long-path ($runner): $(grep -o "is [0-9]* $limit" "$work/stderr")"
  ;;
package)
  # The guide's first hour, in the unzipped package, with the commands as typed in cmd.exe.
  PACKAGE_DIR=$work/package PACKAGE_NO_ZIP=1 "$source_dir/scripts/package" >"$work/package.log" 2>&1 ||
    { cat "$work/package.log"; fail "scripts/package failed"; }
  [ -f "$work/package/vehicle/atsmotornoise/40.wav" ] || fail "the package has no sounds (build the native tree)"
  cd "$work/package" || fail "no package"
  exe="$runner\\cabhost.exe"
  cabhost "$exe" check vehicle
  status=$?
  [ $status -eq 0 ] || { show_output; fail "check ended with status $status"; }
  grep -qx "no errors" "$work/stdout" || { show_output; fail "check of the sample vehicle found errors"; }
  cabhost "$exe" run 'scenarios\departure.toml'
  status=$?
  [ $status -eq 0 ] || { show_output; fail "the linked-in departure ended with status $status"; }
  grep -q "^top speed: 8[0-9]\.[0-9] km/h" "$work/stdout" || { show_output; fail "the train did not reach 80 km/h"; }
  grep -qxF "chained: $runner\\Sentrel.dll" "$work/stdout" || { show_output; fail "the package's Sentrel was not chained"; }
  [ -s out/departure/corvane.wav ] || { show_output; fail "no out\\departure\\corvane.wav"; }
  linked=$(grep '^top speed' "$work/stdout")
  cp "$runner/Corvane.dll" vehicle/plugin/
  cabhost "$exe" run 'scenarios\departure.toml' --plugin 'vehicle\plugin\Corvane.dll' --out 'out\dll' --no-plots
  status=$?
  [ $status -eq 0 ] || { show_output; fail "the departure through the DLL ended with status $status"; }
  grep -q "^top speed: 8[0-9]\.[0-9] km/h" "$work/stdout" || { show_output; fail "the DLL's train did not reach 80 km/h"; }
  [ -e "vehicle/plugin/$log_name" ] && fail "the DLL wrote its log beside the vehicle's files"
  echo "package ($runner): linked in: $linked; through the DLL: $(grep '^top speed' "$work/stdout")"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "$case_name ($runner): passed"
