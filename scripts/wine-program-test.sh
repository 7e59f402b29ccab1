#!/usr/bin/env bash
# The whole program under 32-bit Wine set to Windows 98, on a virtual display of its
# own, driven with real mouse clicks and keys (xdotool): veq-comport-mapper.exe starts on
# a fresh prefix holding the driver's keys, with COM1 linked to a socat pty and no other
# COM port; the detection window comes, then the main window with COM1 under "Used
# Ports"; the first unused port, COM2, is mapped; Exit; the reboot question is answered
# No; the program ends; and the driver's four keys then hold exactly that mapping's
# entries. F1 on the way opens the help page. Every step is photographed into
# BUILD/screenshots/program-*.png; a failure says what it saw and leaves program-failed.png.
#   wine-program-test.sh [WINDOWS_BUILD_DIR]   (default: $WINDOWS_BUILD_DIR or build-win)
#
# Where Wine differs from Windows 98, the test expects what Windows 98 does:
# - Wine loads any import; only scripts/import-gate.sh shows that Windows 98 would.
# - Wine runs the program on this machine's processor; only scripts/processor-gate.sh
#   shows that a 486DX would.
# - Wine makes the host's serial devices COM ports; the prefix and session steps of
#   wine-common.sh leave the program COM1 alone, as on a machine with one serial port.
# - Wine keeps HKLM\Hardware only while its session lasts (Windows builds it at each
#   start): the registry is read before the session ends.
# - Wine lists a key's values by name, Windows 98 in the order written: the entries are
#   compared as sorted lines.
# - Wine's tree scrolls an opened category to the top of the view, its own way: after
#   the first clicks the tree is driven by keys, which land the same on both.
# - Without a window manager Wine draws the frames, as Windows does (Managed=N).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-${WINDOWS_BUILD_DIR:-$root/build-win}}")"
# shellcheck source=wine-common.sh
source "$root/scripts/wine-common.sh"
started=$(date +%s)

"$root/scripts/setup.sh" wine wine32:i386 socat xvfb imagemagick xdotool
veq_build_windows "$build"
# What Wine never checks: that Windows 95 and 98 have every call the program imports, and
# that a 486DX executes every instruction.
veq_gate import "$build/src/app/$veq_program" "$build/import-gate-program.log"
veq_gate processor "$build/src/app/$veq_program" "$build/processor-gate-program.log"
veq_wine_starts || exit 0

work="$(mktemp -d)"
shots="$build/screenshots"
mkdir -p "$shots"
rm -f "$shots"/program-*.png
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  veq_end_session
  veq_end_display
  rm -rf "$work"
}
trap cleanup EXIT
veq_start_display "$work"

export WINEARCH=win32 WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
veq_make_prefix "$build"
veq_managed_windows N
# Where the user would install it: the program with its help page.
install="$WINEPREFIX/drive_c/VEQ COMPort"
mkdir -p "$install"
cp "$build/src/app/$veq_program" "$build/src/app/qtlhelp.html" "$install/"
veq_start_session "$work/ptys" COM1
links="$(cd "$WINEPREFIX/dosdevices" && ls -d com* 2>/dev/null | tr '\n' ' ')"
[ "$links" = "com1 " ] || { echo "the prefix's COM links are \"$links\", not COM1 alone"; exit 1; }

caption='VEQ COMPort Mapping Utility for Windows95/98/Me'
mainWidth=540      # the main window's client area
mainHeight=394
detectWidth=461    # the detection window's

shot() { timeout 30 import -window root "$shots/program-$1.png"; }

# Waits until the screen has stopped changing (two equal pictures in a row), at most 5 s.
settle() {
  local before="" now
  for _ in $(seq 25); do
    now="$(timeout 30 import -window root rgb:- | md5sum)"
    [ "$now" = "$before" ] && return
    before="$now"
    sleep 0.2
  done
}

# The visible top-level windows with the program's caption: "id x y width height" each.
# Wine gives its message boxes the caption they are shown with, so boxes count too.
windows() {
  local id
  for id in $(timeout 10 xdotool search --onlyvisible --name "^$caption\$" 2>/dev/null); do
    timeout 10 xdotool getwindowgeometry --shell "$id" 2>/dev/null |
      awk -F= '{ v[$1] = $2 } END { if (v["WINDOW"] != "") print v["WINDOW"], v["X"], v["Y"], v["WIDTH"], v["HEIGHT"] }'
  done
}

fail() {
  echo "FAILED: $*"
  echo "windows with the program's caption (id x y width height):"
  windows | sed 's/^/  /'
  shot failed || true
  echo "what the screen showed: $shots/program-failed.png"
  [ -s "$work/program.log" ] && { echo "the program's output:"; tail -20 "$work/program.log"; }
  exit 1
}

# Which window a frame of this width belongs to: each has a fixed border of a few
# pixels around its client area; anything else with the caption is a message box.
kind_of() {
  local width="$1"
  if [ "$width" -ge "$mainWidth" ] && [ "$width" -le $((mainWidth + 16)) ]; then echo main
  elif [ "$width" -ge "$detectWidth" ] && [ "$width" -le $((detectWidth + 16)) ]; then echo detection
  else echo box
  fi
}

# Waits up to $2 seconds for a window of kind $1; sets win_x, win_y, win_w, win_h.
wait_for() {
  local kind="$1" deadline=$(($(date +%s%N) + $2 * 1000000000)) id x y w h
  while [ "$(date +%s%N)" -lt "$deadline" ]; do
    while read -r id x y w h; do
      if [ "$(kind_of "$w")" = "$kind" ]; then
        win_x=$x win_y=$y win_w=$w win_h=$h
        return 0
      fi
    done < <(windows)
    [ -n "$program_pid" ] && ! kill -0 "$program_pid" 2>/dev/null && fail "the program ended while waiting for the $kind window"
    sleep 0.05
  done
  fail "no $kind window within $2 s"
}

# Waits up to $2 seconds until no window of kind $1 is left.
wait_gone() {
  local kind="$1" deadline=$(($(date +%s%N) + $2 * 1000000000)) id x y w h kinds
  while [ "$(date +%s%N)" -lt "$deadline" ]; do
    kinds=""
    while read -r id x y w h; do kinds+=" $(kind_of "$w")"; done < <(windows)
    [[ " $kinds " == *" $kind "* ]] || return 0
    sleep 0.05
  done
  fail "the $kind window is still there after $2 s"
}

# The driver's keys, one line per key and per value: key|name|type|data, sorted.
registry_entries() {
  local key
  for key in 'Enum\OLMXV1X' 'Enum\Root\Ports' 'System\CurrentControlSet\Services\Class\Ports' \
    'Hardware\DeviceMap\SerialComm'; do
    timeout 60 wine reg query "HKLM\\$key" /s 2>/dev/null || true
  done | tr -d '\r' | awk -F'    ' '
    /^HKEY_LOCAL_MACHINE\\/ { key = substr($0, 20); print key; next }
    /^    / { print key "|" $2 "|" $3 "|" $4 }' | sort
}
registry_entries >"$work/registry-before.txt"
# The browser that opens .html pages, as the association names it: here one that
# copies the page it is given, so that the help command can be checked.
timeout 60 wine reg add 'HKCR\htmlfile\shell\open\command' /ve /t REG_SZ \
  /d '"C:\windows\system32\cmd.exe" /c copy "%1" C:\help-opened.html' /f >/dev/null 2>&1

echo "== The program under Wine (Windows 98), driven with real clicks and keys"
launched=$(date +%s%N)
(cd "$install" && exec timeout 300 wine "$veq_program") >"$work/program.log" 2>&1 &
program_pid=$!

# The detection window sweeps COM1 to COM255 before the main window exists; a present
# port costs 100 ms, so with COM1 it stays up for about a second.
wait_for detection 60
detected=$(date +%s%N)
sleep 0.3
shot 1-detection
wait_for main 120
shown=$(date +%s%N)
echo "start-up: the detection window after $(((detected - launched) / 1000000)) ms," \
  "the main window after $(((shown - launched) / 1000000)) ms"
settle
shot 2-main-window

# The client area's corner on the screen: the frame's border is as wide at the left and
# the bottom; caption and menu bar lie above.
border=$(((win_w - mainWidth) / 2))
ox=$((win_x + border))
oy=$((win_y + win_h - border - mainHeight))
click() { timeout 10 xdotool mousemove "$((ox + $1))" "$((oy + $2))" click 1; sleep 0.4; }
keys() { timeout 10 xdotool key --delay 80 "$@"; sleep 0.4; }

# F1: no qtlhelp.hlp lies beside the program, so the help page beside it opens.
keys F1
deadline=$(($(date +%s) + 20))
until cmp -s "$WINEPREFIX/drive_c/help-opened.html" "$install/qtlhelp.html"; do
  [ "$(date +%s)" -lt "$deadline" ] || fail "F1 did not open the help page beside the program"
  sleep 0.2
done
echo "F1 opened qtlhelp.html beside the program"

# Exit before any change asks "Are you sure to exit ?"; No keeps the program running.
click 490 354
wait_for box 30
exitBoxWidth=$win_w
settle
shot 3-exit-question
keys n
wait_gone box 10
wait_for main 1

# The tree's rows are 18 px apart, the first at y 50; the expand buttons at x 13.
# Row 1 "Used Ports": its button shows COM1 in row 2 and moves "Unused Ports" to row 3.
click 13 50
settle
shot 4-used-ports
# "Unused Ports" selected by a click, opened with Right; Down takes its first port. When
# COM1 is under "Used Ports", that first unused port is COM2, which the registry then shows.
click 60 86
keys Right Down
settle
shot 5-first-unused-port
# The model list: the third model, VEQ7304 (4 ports); the device port list: Port 2.
click 330 28
keys Down Down Return
click 330 118
keys Down Return
# The address, with a letter that the address box's key filter must refuse.
click 300 73
timeout 20 xdotool type --delay 80 '192.168.a1.20'
sleep 0.4
settle
shot 6-edits
# Enter in the address box runs Add for an unused port.
keys Return
settle
shot 7-added

# Exit: after a change no exit question, but the reboot question as the window goes.
click 490 354
wait_for box 30
settle
shot 8-reboot-question
# Both questions are Yes/No boxes with the main window's caption; a box is as wide as
# its text, and "Do you want to reboot the system ?" is the longer one.
[ "$win_w" -gt "$exitBoxWidth" ] || fail "the box after the change is the exit question's size, not the reboot question's"
keys n
deadline=$(($(date +%s) + 30))
while kill -0 "$program_pid" 2>/dev/null; do
  [ "$(date +%s)" -lt "$deadline" ] || fail "the program is still running 30 s after the reboot question"
  sleep 0.1
done
status=0
wait "$program_pid" || status=$?
program_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "the program ended after No to the reboot question"

# The registry is read in the same session: Wine keeps HKLM\Hardware only while its
# session lasts, as Windows rebuilds it at every start.
registry_entries >"$work/registry-after.txt"
comm -23 "$work/registry-before.txt" "$work/registry-after.txt" >"$work/removed.txt"
comm -13 "$work/registry-before.txt" "$work/registry-after.txt" >"$work/added.txt"
# One mapping: COM2 to port 2 of a VEQ7304 at 192.168.1.20, device node and class
# driver key 0000. Wine lists a key's values by name, Windows 98 in the order written:
# the lines are compared sorted.
sort >"$work/expected.txt" <<'EOF'
Enum\OLMXV1X\OLMX2
Enum\OLMXV1X\OLMX2|IP Address|REG_DWORD|0x1401a8c0
Enum\OLMXV1X\OLMX2|Port|REG_DWORD|0x2
Enum\OLMXV1X\OLMX2|Model|REG_DWORD|0x7304
Enum\OLMXV1X\OLMX2|Description|REG_SZ|
Enum\OLMXV1X\OLMX2|EnumID|REG_DWORD|0x0
Enum\OLMXV1X\OLMX2|PortID|REG_DWORD|0x0
Enum\OLMXV1X\OLMX2|AutoReconn|REG_DWORD|0x1
Enum\Root\Ports\0000
Enum\Root\Ports\0000|Capabilities|REG_BINARY|14000000
Enum\Root\Ports\0000|ConfigFlags|REG_BINARY|00000000
Enum\Root\Ports\0000|Class|REG_SZ|Ports
Enum\Root\Ports\0000|ClassGUID|REG_SZ|{4d36e978-e325-11ce-bfc1-08002be10318}
Enum\Root\Ports\0000|DeviceDesc|REG_SZ|Communications Port (COM2)
Enum\Root\Ports\0000|Driver|REG_SZ|Ports\0000
Enum\Root\Ports\0000|FRIENDLYNAME|REG_SZ|Communications Port (COM2)
Enum\Root\Ports\0000|HardwareID|REG_SZ|OLMXV1X
Enum\Root\Ports\0000|Mfg|REG_SZ|Quellmark Co., Ltd.
Enum\Root\Ports\0000|PORTNAME|REG_SZ|COM2
System\CurrentControlSet\Services\Class\Ports\0000
System\CurrentControlSet\Services\Class\Ports\0000|ConfigDialog|REG_SZ|serialui.dll
System\CurrentControlSet\Services\Class\Ports\0000|DCB|REG_BINARY|00000000802500001133000000000A000A000800001113000000
System\CurrentControlSet\Services\Class\Ports\0000|DevLoader|REG_SZ|*vcomm
System\CurrentControlSet\Services\Class\Ports\0000|DriverDesc|REG_SZ|Communications Port (COM2)
System\CurrentControlSet\Services\Class\Ports\0000|EnumPropPages|REG_SZ|serialui.dll,EnumPropPages
System\CurrentControlSet\Services\Class\Ports\0000|InfPath|REG_SZ|olmxv1x.inf
System\CurrentControlSet\Services\Class\Ports\0000|InfSection|REG_SZ|ComPort
System\CurrentControlSet\Services\Class\Ports\0000|MatchingDeviceId|REG_SZ|OLMXV1X
System\CurrentControlSet\Services\Class\Ports\0000|PortDriver|REG_SZ|olmxv1x.vxd
System\CurrentControlSet\Services\Class\Ports\0000|PortSubClass|REG_BINARY|01
System\CurrentControlSet\Services\Class\Ports\0000|ProviderName|REG_SZ|Quellmark Co., Ltd.
Hardware\DeviceMap\SerialComm|COM2|REG_SZ|COM2
EOF
if [ -s "$work/removed.txt" ] || ! cmp -s "$work/added.txt" "$work/expected.txt"; then
  echo "FAILED: the driver's keys do not hold exactly the one mapping"
  echo "gone since the start:"
  sed 's/^/  /' "$work/removed.txt"
  echo "added, against what one mapping writes (< added, > expected):"
  diff "$work/added.txt" "$work/expected.txt" | sed 's/^/  /' || true
  exit 1
fi
echo "the driver's keys hold exactly the mapping of COM2: $(grep -c '|' "$work/added.txt") values in 4 entries"
finished=$(date +%s)
echo "Whole-program stage: $((finished - started)) s; screenshots: $shots/program-*.png"
