#!/usr/bin/env bash
# Runs the window tests on the Win32 toolkit under 32-bit Wine set to Windows 98, on a
# virtual X display: real native controls, driven from inside the test program, read
# back after every act, and photographed. The screenshots end up as PNG files in
# $WIN32UI_BUILD_DIR/screenshots.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
started=$(date +%s)

"$root/scripts/setup.sh" wine wine32:i386 g++-mingw-w64-i686-win32 googletest xvfb imagemagick

build="${WIN32UI_BUILD_DIR:-$root/build-win32ui}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVEQ_BUILD_UI=OFF -DVEQ_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j 2 --target veq_windows_tests
built=$(date +%s)

work="$(mktemp -d)"
display_pid=""
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of its own, on the first free number.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
display_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

export WINEARCH=win32 WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1
# The system's fonts where Windows keeps them: this Wine does not find its own (MS Sans
# Serif, Fixedsys, Marlett for the caption buttons) elsewhere and would substitute others.
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
exe=veq_windows_tests.exe
cp "$build/tests/windows/$exe" "$work/"
wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe" /v Version /t REG_SZ /d win98 /f >/dev/null 2>&1
# No window manager runs here: Wine draws the frames itself, as Windows does, and does not
# wait for a manager to take each window away.
wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

shots="$build/screenshots"
rm -rf "$shots"
mkdir -p "$shots" "$work/shots"
log="$work/ui.log"
(cd "$work" && VEQ_SCREENSHOT_DIR="Z:$work/shots" wine "$exe" --gtest_filter='HeadlessWindow.*:Win32Window.*') \
  >"$log" 2>&1 || true
grep -aE '^\[  (FAILED|SKIPPED) |^screen: |^user: |^win32: ' "$log" | sort -u || true
closing="$(grep -a '^VEQ WINDOWS SUITE END:' "$log" || true)"
echo "${closing:-the suite printed no closing line}"
for bmp in "$work"/shots/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "$shots/$(basename "${bmp%.bmp}").png"
done
echo "screenshots: $(ls "$shots" | tr '\n' ' ')"
if [ -z "$closing" ] || ! grep -q ' 0 failed' <<<"$closing" || grep -q ' 0 passed' <<<"$closing"; then
  tail -60 "$log"
  cp "$log" "$build/failed-ui.log"
  echo "the whole log: $build/failed-ui.log"
  exit 1
fi
finished=$(date +%s)
echo "Win32 window stage: $((built - started)) s to build, $((finished - built)) s under Wine"
