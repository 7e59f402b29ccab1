#!/usr/bin/env bash
# Builds the Windows suite with 32-bit mingw-w64 and runs it under 32-bit Wine set to
# Windows 98, on a virtual display of its own: the Win32 backends against an
# implementation of the API that nobody here wrote, the windows on real native controls
# driven from inside the program and photographed, a socat pty as a COM port, and the
# device simulator running natively on 127.0.0.1. The import gate checks what Wine does
# not: that Windows 98 has every import. The screenshots end up as PNG files in
# $WINDOWS_BUILD_DIR/screenshots.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=wine-common.sh
source "$root/scripts/wine-common.sh"
started=$(date +%s)

"$root/scripts/setup.sh" wine wine32:i386 g++-mingw-w64-i686-win32 googletest socat xvfb imagemagick

# Natively: the device simulator, and the store suite for the registry comparison.
"$root/scripts/build.sh" veq-devsim store_tests
native="${BUILD_DIR:-$root/build}"
windows="${WINDOWS_BUILD_DIR:-$root/build-win}"
veq_configure_windows "$windows"
cmake --build "$windows" -j "$(nproc)" --target veq_windows_tests
built=$(date +%s)
exe=veq_windows_tests.exe
suiteExe="$windows/tests/windows/$exe"
i686-w64-mingw32-objdump -f "$suiteExe" | grep -q 'file format pei-i386' || { echo "$exe is not pei-i386"; exit 1; }

echo "== The import gate, the processor gate and the common-controls gate"
"$root/scripts/import-gate.sh" --self-test
"$root/scripts/processor-gate.sh" --self-test
"$root/scripts/comctl-gate.sh" --self-test
"$root/scripts/comctl-gate.sh" >"$windows/comctl-gate.log" || { cat "$windows/comctl-gate.log"; exit 1; }
tail -1 "$windows/comctl-gate.log"
# The suite is not shipped: GoogleTest's own imports may fail the gate, reported here.
"$root/scripts/import-gate.sh" "$suiteExe" >"$windows/import-gate.log" || true
grep -E 'FAIL|import gate' "$windows/import-gate.log"
"$root/scripts/processor-gate.sh" "$suiteExe" >"$windows/processor-gate.log" || true
tail -1 "$windows/processor-gate.log"
# The gates on the program itself: in wine-program-test.sh, at the end.
if ! veq_wine_starts; then
  "$root/scripts/wine-program-test.sh" "$windows"
  exit 0
fi

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  veq_end_display
  rm -rf "$work"
}
trap cleanup EXIT
veq_start_display "$work"

export WINEPREFIX="$work/prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
timeout 300 wineboot -i >/dev/null 2>&1
# The system's fonts where Windows keeps them: this Wine finds MS Sans Serif, Fixedsys and
# the caption buttons' Marlett nowhere else, and the screen check would see substitutes.
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
veq_managed_windows N
cp "$suiteExe" "$work/"
mkdir -p "$work/shots"

# Runs the suite with the arguments given; fails unless it prints its closing line with
# nothing failed (a Wine program can end with 0 without having run).
suite() {
  local log="$work/suite.log"
  (cd "$work" && VEQ_SCREENSHOT_DIR="Z:$work/shots" timeout 1200 wine "$exe" "$@") >"$log" 2>&1 || true
  grep -aE '^\[  (FAILED|SKIPPED) ' "$log" | sort -u || true
  local closing
  closing="$(grep -a '^VEQ WINDOWS SUITE END:' "$log" || true)"
  echo "${closing:-the suite printed no closing line}"
  if [ -z "$closing" ] || ! grep -q ' 0 failed' <<<"$closing" || grep -q ' 0 passed' <<<"$closing"; then
    grep -a -B2 -A12 'Failure$' "$log" || tail -40 "$log"
    cp "$log" "$windows/failed-suite.log"
    echo "the whole log: $windows/failed-suite.log"
    return 1
  fi
}

echo "== Wine's default version (the NT family): the start-up check refuses"
VEQ_EXPECT_PLATFORM=2 suite --gtest_filter='Win32Version.*'

wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe" /v Version /t REG_SZ /d win98 /f >/dev/null 2>&1

# COM5 is a pty whose other end echoes what it reads: a loopback plug for the data lines.
socat pty,rawer,link="$WINEPREFIX/dosdevices/com5" PIPE &
pids+=($!)
# The device: free ports on 127.0.0.1, running until its standard input ends.
mkfifo "$work/device.in"
"$native/tools/devsim/veq-devsim" --device 7316 --command-port 0 --monitor-port 0 --serial-ports 0 \
  --save-images "$work/received" <"$work/device.in" >"$work/device.out" &
device=$!
pids+=($device)
exec 3>"$work/device.in"
"$native/tools/devsim/veq-devsim" --write-exf "$work/fw.exf" --device 7316 --image-sizes 5120,3072
for _ in $(seq 50); do
  [ -e "$WINEPREFIX/dosdevices/com5" ] && grep -q 'monitor port' "$work/device.out" && break
  sleep 0.1
done
read -r commandPort monitorPort < <(sed -n 's/.*command port \([0-9]*\), monitor port \([0-9]*\).*/\1 \2/p' "$work/device.out")

echo "== Windows 98: every suite on the Win32 backends, the windows on real controls"
VEQ_EXPECT_PLATFORM=1 VEQ_LOOPBACK_COM=COM5 VEQ_DEVSIM_EXF="Z:$work/fw.exf" \
  VEQ_DEVSIM_COMMAND_PORT="$commandPort" VEQ_DEVSIM_MONITOR_PORT="$monitorPort" suite

shots="$windows/screenshots"
mkdir -p "$shots"
for bmp in "$work"/shots/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "$shots/$(basename "${bmp%.bmp}").png"
done
echo "screenshots in $shots: $(cd "$work/shots" && ls | sed 's/\.bmp$/.png/' | tr '\n' ' ')"

exec 3>&-
wait "$device"
cmp "$work/received.image1" "$work/fw.exf.image1"
cmp "$work/received.image2" "$work/fw.exf.image2"
echo "the device simulator received both images whole"

echo "== The same mappings in Wine's registry and in the stand-in"
VEQ_PARITY_WRITE=1 suite --gtest_filter='RegistryParity.*'
for key in 'Enum\OLMXV1X' 'Enum\Root\Ports' 'System\CurrentControlSet\Services\Class\Ports' \
  'Hardware\DeviceMap\SerialComm'; do
  wine reg query "HKLM\\$key" /s 2>/dev/null
done >"$work/reg-query.txt"
VEQ_PARITY_REG_QUERY="$work/reg-query.txt" "$native/tests/store/store_tests" \
  --gtest_filter='RegistryParity.*' >"$work/parity.log" 2>&1 || { cat "$work/parity.log"; exit 1; }
if grep -q SKIPPED "$work/parity.log" || ! grep -q '^\[  PASSED  \] 1 test' "$work/parity.log"; then
  cat "$work/parity.log"
  exit 1
fi
echo "wine reg query equals the stand-in"

echo "== The whole program, started and used as a person would"
"$root/scripts/wine-program-test.sh" "$windows"

finished=$(date +%s)
echo "Wine stage: $((built - started)) s to build, $((finished - built)) s under Wine"
