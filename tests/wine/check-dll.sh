#!/usr/bin/env bash
# A shipped DLL imports system DLLs only, exports exactly the sixteen plain host entry points, and
# (with VERSION given) shows that release's version in its version resource.
set -euo pipefail
dll=$1 version=${2:-}
dump=$(objdump -p "$dll")
if grep -i -E "DLL Name: *(libstdc|libgcc|libwinpthread)" <<<"$dump"; then
  echo "FAIL: $dll imports a mingw runtime DLL"
  exit 1
fi
names=$(awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF} t&&/^$/{t=0}' <<<"$dump" | LC_ALL=C sort | tr '\n' ' ')
expected="Dispose DoorClose DoorOpen Elapse GetPluginVersion HornBlow Initialize KeyDown KeyUp Load SetBeaconData SetBrake SetPower SetReverser SetSignal SetVehicleSpec "
if [ "$names" != "$expected" ]; then
  echo "FAIL: $dll exports: $names"
  exit 1
fi
if [ -n "$version" ]; then
  # "FileVersion" and its value, as the resource holds them: UTF-16, NUL padding between.
  utf16() { sed -e 's/./&\\x00/g' -e 's/\./\\./g' <<<"$1"; }
  if ! LC_ALL=C grep -qaP "$(utf16 FileVersion)(\x00)+$(utf16 "$version")\x00\x00" "$dll"; then
    echo "FAIL: $dll has no version resource of version $version"
    exit 1
  fi
fi
echo "ok: $dll"
