#!/usr/bin/env bash
# The common-controls gate: finds every common-control identifier that the Win32 toolkit's
# sources name (messages, notifications, styles, flags, structures, classes, macros and
# calls of comctl32; comments left out) and fails on one missing from the reviewed list
# scripts/win98-comctl.txt, or on one that needs more than the comctl32 4.72 of Windows 98
# first edition without a fallback named in the list. Wine's common controls answer them
# all: only this check shows that Windows 98 would.
#   comctl-gate.sh [DIR...]     the gate on the sources in DIR (default src/ui/win32)
#   comctl-gate.sh --self-test  a use of the list passes, an unlisted or too new one fails
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
list="${VEQ_COMCTL_LIST:-$root/scripts/win98-comctl.txt}"
newest=4.72

# comctl32's names by their prefixes (SB_ takes in user32's scroll-bar codes too: list
# those with their note).
pattern='\b((TVM|TVN|TVS|TVIF|TVIS|TVI|TVE|TVGN|TVSIL|TVC|TVHT|PBM|PBS|PBST|ACM|ACS|ACN|SB|SBARS|SBT|CCS|CCM|ICC|NM|LVM|LVN|LVS|LVIF|LVIS|LVNI|TTM|TTN|TTS|TTF|TBM|TBN|TBS|TBSTYLE|UDM|UDN|UDS|HDM|HDN|HDS|HDI|TCM|TCN|TCS|TCIF|ILC|ILD|CLR|I)_[A-Z0-9_]+|(TreeView|ImageList|Animate|ListView|Header|TabCtrl|Progress)_[A-Za-z]+|InitCommonControls(Ex)?|INITCOMMONCONTROLSEX|(TV|NM|TB|LV|HD|TC)[A-Z]*(ITEM|INSERTSTRUCT|SORTCB|TREEVIEW|HDR|ITEMEX|DISPINFO|KEYDOWN|CUSTOMDRAW)[AW]?|WC_[A-Z]+[AW]?|[A-Z]+_CLASS[AW]?|STATUSCLASSNAME[AW]?)\b'

gate() {
  local files
  files="$(find "$@" -name '*.cpp' -o -name '*.h' | sort)"
  [ -n "$files" ] || { echo "no sources in $*"; return 1; }
  # shellcheck disable=SC2086
  sed 's://.*$::' $files | grep -ohE "$pattern" | sort -u | awk -v list="$list" -v newest="$newest" '
    BEGIN {
      while ((getline row < list) > 0) {
        if (row ~ /^#/ || row ~ /^[ \t]*$/) continue
        split(row, f, " ")
        minimum[f[1]] = f[2]
        fallback[f[1]] = f[3]
      }
    }
    {
      id = $1
      if (!(id in minimum)) { print "  " id "  FAIL: not in the reviewed list"; failed++; next }
      if (minimum[id] + 0 > newest + 0 && fallback[id] == "-") {
        print "  " id "  FAIL: needs comctl32 " minimum[id] ", above Windows 98 first edition'"'"'s " newest ", with no fallback"
        failed++
        next
      }
      line = "  " id "  (" minimum[id] (fallback[id] == "-" ? "" : ", falls back in " fallback[id]) ")"
      print line
      used++
      if (minimum[id] + 0 > 4.00) beyond = beyond " " id " (" minimum[id] ")"
    }
    END {
      print "common controls: " used + failed " identifiers, " failed + 0 " failed; beyond Windows 95'"'"'s 4.00:" (beyond == "" ? " none" : beyond)
      exit failed > 0
    }'
}

self_test() {
  local work
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' RETURN
  mkdir "$work/clean" "$work/unlisted" "$work/newer"
  echo 'void f() { Send(TVM_EXPAND, TVE_EXPAND); }  // not TVM_GETITEMSTATE' >"$work/clean/a.cpp"
  echo 'void f() { Send(TVM_GETITEMRECT); }' >"$work/unlisted/a.cpp"
  echo 'void f() { Send(TVM_GETITEMSTATE); }' >"$work/newer/a.cpp"
  printf '%s\n' 'TVM_EXPAND 4.00 -' 'TVE_EXPAND 4.00 -' 'TVM_GETITEMSTATE 5.80 -' >"$work/list.txt"
  list="$work/list.txt"
  gate_passes "$work/clean.log" "$work/clean" || return 1
  gate_fails "$work/unlisted.log" 'TVM_GETITEMRECT  FAIL: not in' "$work/unlisted" || return 1
  gate_fails "$work/newer.log" 'TVM_GETITEMSTATE  FAIL: needs comctl32 5.80' "$work/newer" || return 1
  echo "common-controls gate self-test: a listed use passes, an unlisted one and a 5.80 one without fallback fail"
}

# shellcheck source=gate-common.sh
source "$root/scripts/gate-common.sh"
[ "${1:-}" != "--self-test" ] || gate_main DIR --self-test
gate "${@:-$root/src/ui/win32}"
