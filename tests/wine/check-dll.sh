#!/usr/bin/env bash
# A shipped DLL imports system DLLs only and exports exactly the sixteen plain host entry points.
set -euo pipefail
dll=$1
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
echo "ok: $dll"
