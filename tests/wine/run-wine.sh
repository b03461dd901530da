#!/usr/bin/env bash
# Runs a Windows program under Wine for a test: a Wine prefix and a home inside the build tree, an
# ALSA configuration whose default device is the null device (Wine's XAudio2 needs an audio device),
# no debug output. Arguments that are absolute Linux paths are handed over as Wine paths.
#
#   run-wine.sh BUILD_DIR PROGRAM ARGS...
#
# A 64-bit program starts through the 64-bit loader (`wine64`, or /usr/lib/wine/wine64): the plain
# `wine` starts in its 32-bit loader first, which costs a minute where 32-bit code is emulated and
# fails where it cannot run. A 32-bit program starts through `wine`, natively or through qemu's
# emulation (scripts/x86-support). Under emulation, the tests that emulation cannot carry
# (tests/wine/emulation.txt, by the test's name in WINE_TEST) are skipped with their reason.
#
# Exits 77 (ctest: skipped) with a line "SKIP: reason" when the program cannot run here. Every
# shipped binary that a run executed to a normal end is recorded in BUILD_DIR/wine/executed/, one
# file per word size and name holding how it ran (native, emulated); scripts/test reads them.
set -u
build_dir=$1
program=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

skip() {
  echo "SKIP: $*"
  exit 77
}

# The word size from the PE header: the machine field after the "PE\0\0" signature.
pe_arch() {
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  case "$(od -An -tx2 -j$((${offset:-0} + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')" in
  014c) echo x86 ;;
  8664) echo x64 ;;
  esac
}
# A Windows author's relative path (x64\cabhost.exe) names the same file.
arch=$(pe_arch "${program//\\//}")
[ -n "$arch" ] || { echo "FAIL: not a Windows x86 or x64 program: $program"; exit 1; }

x86=$("$source_dir/scripts/x86-support")
if [ "$arch" = x64 ]; then
  how=native
  loader=$(command -v wine64 || echo /usr/lib/wine/wine64)
  [ -x "$loader" ] || skip "the 64-bit Wine loader is not installed (wine64; scripts/install-deps installs it)"
else
  how=$x86
  [ "$x86" = none ] && skip "this kernel runs no 32-bit programs and qemu's i386 emulation is not registered" \
    "(scripts/install-deps, as root, sets it up)"
  loader=$(command -v wine) || skip "wine is not installed (scripts/install-deps installs it)"
  if [ "$x86" = emulated ] && [ -n "${WINE_TEST:-}" ]; then
    reason=$(awk -v t="$WINE_TEST" '$1 == t { $1 = ""; sub(/^ +/, ""); print; exit }' "$here/emulation.txt")
    [ -n "$reason" ] && skip "not carried by qemu's i386 emulation: $reason"
  fi
fi

export WINEPREFIX="$build_dir/wine/prefix"
export WINEDEBUG=-all
# WINE_TEST_OVERRIDES adds DLL overrides for one test ("xaudio2_8=" runs without the engine).
export WINEDLLOVERRIDES="mscoree,mshtml=${WINE_TEST_OVERRIDES:+;$WINE_TEST_OVERRIDES}"
export HOME="$build_dir/wine/home"
mkdir -p "$HOME"
# Written beside and moved into place: parallel tests start Wine while others set this up, and a
# half-written file leaves ALSA without its null device, which crashes the mastering voice.
asoundrc='pcm.!default { type null }
ctl.!default { type hw card 0 }'
if [ "$(cat "$HOME/.asoundrc" 2>/dev/null)" != "$asoundrc" ]; then
  printf '%s\n' "$asoundrc" >"$HOME/.asoundrc.$$" && mv -f "$HOME/.asoundrc.$$" "$HOME/.asoundrc"
fi

# One prefix per build tree, made once by the 64-bit loader, so that it needs no 32-bit code where
# none can run; it holds the 32-bit half wherever 32-bit programs run (natively or emulated), and is
# made again when that changes. Parallel tests wait for whoever makes it.
prefix_log="$build_dir/wine/prefix.log"
(
  flock 9
  if [ "$(cat "$WINEPREFIX/.x86-support" 2>/dev/null)" != "$x86" ]; then
    [ -d "$WINEPREFIX" ] && { wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"; }
    mkdir -p "$WINEPREFIX"
    boot=$(command -v wine64 || echo /usr/lib/wine/wine64)
    [ -x "$boot" ] || boot=$loader
    "$boot" wineboot -i >"$prefix_log" 2>&1 && wineserver -w >>"$prefix_log" 2>&1 &&
      [ -f "$WINEPREFIX/system.reg" ] && echo "$x86" >"$WINEPREFIX/.x86-support"
  fi
) 9>"$build_dir/wine/prefix.lock"
if [ ! -f "$WINEPREFIX/.x86-support" ]; then
  skip "Wine cannot create a prefix in $WINEPREFIX ($(tail -n 1 "$prefix_log" 2>/dev/null))"
fi

args=()
for a in "$@"; do
  if [[ "$a" == /* ]]; then
    args+=("Z:${a//\//\\}")
  else
    args+=("$a")
  fi
done
"$loader" "$program" "${args[@]}"
status=$?
# The loader itself failing to start (126: cannot execute, 127: not found) is not a run.
[ $status -eq 126 ] || [ $status -eq 127 ] && skip "the Wine loader $loader could not start (status $status)"

if [ $status -eq 0 ]; then
  mkdir -p "$build_dir/wine/executed"
  for f in "$program" "$@"; do
    f=${f//\\//}
    case "${f##*/}" in
    cabhost.exe | Corvane.dll | Sentrel.dll)
      file_arch=$(pe_arch "$f")
      [ "$file_arch" = "$arch" ] && echo "$how" >"$build_dir/wine/executed/$arch-${f##*/}" ;;
    esac
  done
fi
exit $status
