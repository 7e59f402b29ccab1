# What the scripts that build the Windows program and run it under Wine share (sourced,
# after setting root): the Windows build, a 32-bit Wine prefix that looks like a Windows
# 98 machine with the VEQ driver installed, a Wine session whose only COM ports are socat
# ptys, and a virtual display. For the Wine steps the caller exports WINEPREFIX and
# WINEARCH=win32.

veq_program=veq-comport-mapper.exe
veq_socat_pids=()
veq_display_pid=""

# Configures the Windows build in $1: the i686 toolchain, linking the 486 runtime (built
# once by scripts/i486-runtime.sh), with the settings of the Windows suite.
veq_configure_windows() {
  "$root/scripts/setup.sh" g++-mingw-w64-i686-win32 googletest
  local runtime
  runtime="$("$root/scripts/i486-runtime.sh" | tail -1)"
  cmake -S "$root" -B "$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
    -DVEQ_I486_RUNTIME="$runtime" -DCMAKE_BUILD_TYPE=Release -DVEQ_BUILD_UI=OFF -DVEQ_BUILD_BENCH=OFF >/dev/null
}

# The program and the prefix tool, cross-built into $1 with the settings of the Windows
# suite, so that both can share one build directory.
veq_build_windows() {
  veq_configure_windows "$1"
  cmake --build "$1" -j 2 --target veq-comport-mapper veq-driver-keys
}

# The gate $1 (scripts/$1-gate.sh: import or processor) on the program $2, its listing
# kept in $3; a failure shows the listing.
veq_gate() {
  "$root/scripts/$1-gate.sh" "$2" >"$3" || { cat "$3"; echo "$2 fails the $1 gate" >&2; return 1; }
  tail -1 "$3"
}

# True when 32-bit Wine can start here; otherwise says why and, unless VEQ_REQUIRE_WINE
# is 1, leaves the caller to skip what needs Wine. Some virtual machines' kernels execute
# no 32-bit x86 program at all ("Exec format error"), whatever is installed.
veq_wine_starts() {
  local why
  why="$(/usr/lib/wine/wine --version 2>&1)" && return 0
  echo "== Under Wine: NOT RUN. 32-bit Wine cannot start on this machine: ${why##*/}"
  echo "   The Windows suites and the whole program under Wine need a machine that executes"
  echo "   32-bit x86 programs; what runs without Wine (the builds and the gates) has run."
  [ "${VEQ_REQUIRE_WINE:-0}" = 1 ] && { echo "VEQ_REQUIRE_WINE=1: that is a failure" >&2; exit 1; }
  return 1
}

# Makes the prefix: Windows 98 for the program, the system's fonts where Windows keeps
# them (this Wine finds MS Sans Serif, Fixedsys and the caption buttons' Marlett nowhere
# else and would substitute others), and what the driver's installation leaves in the
# registry, written by the program's own code (veq-driver-keys from build dir $1).
veq_make_prefix() {
  timeout 300 wineboot -i >/dev/null 2>&1
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  timeout 60 wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$veq_program" /v Version /t REG_SZ /d win98 /f \
    >/dev/null 2>&1
  timeout 60 wine "$1/tools/veq-driver-keys.exe"
  # Wine makes every serial device of the host a COM port, from COM1 up, whenever a
  # session starts, and the program would find them even without their links. Wine's own
  # list of ports names all 255 here, each with a link that veq_start_session keeps from
  # being made: then no port is made, and the host's devices go above COM255.
  { printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
    for n in $(seq 255); do printf '"COM%d"="none"\r\n' "$n"; done; } >"$WINEPREFIX/drive_c/veq-ports.reg"
  (cd "$WINEPREFIX/drive_c" && timeout 60 wine reg import veq-ports.reg >/dev/null 2>&1)
  rm "$WINEPREFIX/drive_c/veq-ports.reg"
  # What Internet Explorer registers on Windows 98 for .html pages, such as the help
  # page; here Wine's browser, which hands the page to the desktop's own.
  timeout 60 wine reg add 'HKCR\.html' /ve /t REG_SZ /d htmlfile /f >/dev/null 2>&1
  timeout 60 wine reg add 'HKCR\htmlfile\shell\open\command' /ve /t REG_SZ \
    /d '"C:\windows\system32\winebrowser.exe" "%1"' /f >/dev/null 2>&1
  timeout 60 wineserver -w
}

# $1 N: Wine draws the windows' frames itself, as Windows does, which is needed where no
# window manager runs; Y: the desktop's window manager frames them.
veq_managed_windows() {
  timeout 60 wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /t REG_SZ /d "$1" /f >/dev/null 2>&1
}

# COMn in upper case when $1 names COM1 to COM255; fails otherwise.
veq_com_name() {
  local name="${1^^}"
  [[ "$name" =~ ^COM([1-9][0-9]?|1[0-9][0-9]|2[0-4][0-9]|25[0-5])$ ]] || return 1
  echo "$name"
}

# Starts the prefix's Wine session and keeps it (wineserver -p) until veq_end_session.
# While the session starts, a folder stands where each COM link would go, so that Wine
# makes none of the ports its list names (veq_make_prefix); afterwards no COM link is
# left, and each COMn given after the folder $1 becomes one end of a socat pty pair whose
# other end is $1/COMn. The ports exist only while the session lasts.
veq_start_session() {
  local peers="$1" port n
  shift
  timeout 60 wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"/dosdevices/com*
  for n in $(seq 255); do mkdir "$WINEPREFIX/dosdevices/com$n"; done
  wineserver -p
  timeout 120 wineboot >/dev/null 2>&1
  rm -rf "$WINEPREFIX"/dosdevices/com*
  mkdir -p "$peers"
  for port in "$@"; do
    rm -f "$peers/$port"
    socat pty,rawer,link="$WINEPREFIX/dosdevices/${port,,}" pty,rawer,link="$peers/$port" &
    veq_socat_pids+=($!)
  done
  for port in "$@"; do
    for _ in $(seq 50); do
      [ -e "$WINEPREFIX/dosdevices/${port,,}" ] && [ -e "$peers/$port" ] && break
      sleep 0.1
    done
    [ -e "$WINEPREFIX/dosdevices/${port,,}" ] || { echo "socat made no pty for $port" >&2; return 1; }
  done
}

veq_end_session() {
  timeout 60 wineserver -k 2>/dev/null || true
  local pid
  for pid in "${veq_socat_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  veq_socat_pids=()
}

# A virtual display of its own, on the first free number, without a window manager; its
# number is kept in the folder $1. Exports DISPLAY.
veq_start_display() {
  Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$1/display" 2>/dev/null &
  veq_display_pid=$!
  for _ in $(seq 100); do [ -s "$1/display" ] && break; sleep 0.1; done
  [ -s "$1/display" ] || { echo "Xvfb started no display" >&2; return 1; }
  export DISPLAY=":$(cat "$1/display")"
}

veq_end_display() {
  [ -z "$veq_display_pid" ] || kill "$veq_display_pid" 2>/dev/null || true
  veq_display_pid=""
}
