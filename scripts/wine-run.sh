#!/usr/bin/env bash
# Trying the Windows program on Linux: builds veq-comport-mapper.exe (in build-win, or
# $WINDOWS_BUILD_DIR) and runs it under 32-bit Wine set to Windows 98, in a Wine prefix
# of its own under the user's data directory, made on the first run with the driver's
# installation keys and the windows' fonts. The mappings stay in that prefix from run to
# run. The only COM ports the program finds are the ptys asked for.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=wine-common.sh
source "$root/scripts/wine-common.sh"
data="${XDG_DATA_HOME:-$HOME/.local/share}/veq-comport"

usage() {
  cat >&2 <<EOF
usage: $0 [--pty COMn]... [--unmanaged]
  --pty COMn     COMn (COM1 to COM255) is one end of a pty pair; the other end is
                 $data/ptys/COMn, for example: socat -,rawer $data/ptys/COMn
  --unmanaged    Wine draws the windows' frames, as Windows 98 does, instead of the
                 desktop's window manager
The Wine prefix: $data/wine
EOF
  exit 2
}

arguments=("$@")
ports=()
managed=Y
while [ $# -gt 0 ]; do
  case "$1" in
    --pty)
      [ $# -ge 2 ] || usage
      port="$(veq_com_name "$2")" || { echo "not a COM port from COM1 to COM255: $2" >&2; usage; }
      ports+=("$port")
      shift 2
      ;;
    --unmanaged) managed=N; shift ;;
    *) usage ;;
  esac
done
[ -n "${DISPLAY:-}" ] || { echo "The program needs a display; without one: xvfb-run -a $0 ${arguments[*]}" >&2; exit 1; }

"$root/scripts/setup.sh" wine wine32:i386 socat
build="$(realpath -m "${WINDOWS_BUILD_DIR:-$root/build-win}")"
veq_build_windows "$build"

export WINEARCH=win32 WINEPREFIX="$data/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -e "$WINEPREFIX/.veq-prefix-made" ]; then
  echo "Making the Wine prefix $WINEPREFIX (once)"
  mkdir -p "$data"
  veq_make_prefix "$build"
  touch "$WINEPREFIX/.veq-prefix-made"
fi
veq_managed_windows "$managed"

trap 'veq_end_session; rm -f "$data"/ptys/COM*' EXIT
veq_start_session "$data/ptys" "${ports[@]}"
for port in "${ports[@]}"; do
  echo "$port is a pty; its other end: $data/ptys/$port"
done
[ ${#ports[@]} -gt 0 ] || echo "No COM ports (--pty COM1 makes one)"
(cd "$build/src/app" && wine "$veq_program")
