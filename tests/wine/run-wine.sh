#!/usr/bin/env bash
# Runs a Windows program under Wine for a test: a Wine prefix and a home inside the build tree, an
# ALSA configuration whose default device is the null device (Wine's XAudio2 needs an audio device),
# no debug output. Arguments that are absolute Linux paths are handed over as Wine paths.
# Exits 77 (ctest: skipped) when Wine cannot start at all.
set -u
build_dir=$1
shift
export WINEPREFIX="$build_dir/wine/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export HOME="$build_dir/wine/home"
mkdir -p "$HOME"
cat > "$HOME/.asoundrc" <<'ALSA'
pcm.!default { type null }
ctl.!default { type hw card 0 }
ALSA

if ! command -v wine >/dev/null 2>&1; then
  echo "SKIP: wine is not installed"
  exit 77
fi

# One prefix per build tree, made once; parallel tests wait for whoever makes it.
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
) 9>"$build_dir/wine/prefix.lock"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "SKIP: wine cannot create a prefix"
  exit 77
fi

args=()
for a in "$@"; do
  if [[ "$a" == /* ]]; then
    args+=("Z:${a//\//\\}")
  else
    args+=("$a")
  fi
done
exec wine "${args[@]}"
