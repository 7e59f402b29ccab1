#!/usr/bin/env bash
# The import gate: lists every import of each .exe named (objdump -p) by DLL, and fails
# when one is not in the reviewed list of what Windows 98 first edition exports
# (scripts/win98-imports.txt), is a Unicode entry point, which Windows 9x has mostly as
# a stub that fails, or is one that Windows 95 as shipped lacks, except msvcrt.dll's
# (Microsoft's C runtime, which such a machine may need installed). Wine loads such a
# program all the same: only this check shows that Windows 95 and 98 would.
#   import-gate.sh EXE...     the gate; exit 1 when any EXE fails it
#   import-gate.sh --self-test  a clean program passes, one with a planted Unicode call
#                               and one with a call that Windows 95 lacks fail
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
list="${VEQ_IMPORT_LIST:-$root/scripts/win98-imports.txt}"
objdump=i686-w64-mingw32-objdump

# "DLL function" per import, the DLL's name in lower case.
imports() {
  "$objdump" -p "$1" | awk '
    /^\tDLL Name: / { dll = tolower($3); next }
    /^$/ { if (dll != "" && inTable) dll = ""; next }
    dll != "" && /^\t[0-9a-f]+\t/ { inTable = 1; print dll, $NF }'
}

gate() {
  local exe="$1" failed=0 dll function minimum in95
  if ! "$objdump" -f "$exe" | grep -q 'file format pei-i386'; then
    echo "$exe: not a 32-bit Windows program"
    return 1
  fi
  declare -A reviewed=() shipped95=()
  while read -r dll function minimum in95; do
    [[ -z "$dll" || "$dll" == \#* ]] && continue
    reviewed["${dll,,} $function"]="$minimum"
    shipped95["${dll,,} $function"]="$in95"
  done <"$list"
  echo "== $exe: imports by DLL"
  local current=""
  while read -r dll function; do
    if [ "$dll" != "$current" ]; then
      current="$dll"
      echo "$dll:"
    fi
    if [[ "$function" =~ [a-z0-9]W$ ]]; then
      echo "  $function  FAIL: a Unicode entry point, a stub on Windows 9x"
      failed=1
    elif [ -z "${reviewed["$dll $function"]:-}" ]; then
      echo "  $function  FAIL: not among what Windows 98 first edition exports"
      failed=1
    elif [ "${shipped95["$dll $function"]}" != yes ] && [ "$dll" != msvcrt.dll ]; then
      echo "  $function  FAIL: Windows 95 as shipped lacks it (${reviewed["$dll $function"]})"
      failed=1
    else
      echo "  $function  (${reviewed["$dll $function"]})"
    fi
  done < <(imports "$exe" | sort -u)
  if [ "$failed" -ne 0 ]; then
    echo "$exe: import gate FAILED"
    return 1
  fi
  echo "$exe: import gate passed; beyond what Windows 95 as shipped has, it needs:" \
    "$(imports "$exe" | awk '$1 == "msvcrt.dll" { n++ } END { print n ? "msvcrt.dll (" n " imports)" : "nothing" }')"
}

self_test() {
  local work
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' RETURN
  printf '%s\n' '#include <windows.h>' \
    'int main() { return GetFileAttributesA("x") == INVALID_FILE_ATTRIBUTES ? 0 : 1; }' >"$work/clean.cpp"
  printf '%s\n' '#include <windows.h>' \
    'int main() { return GetFileAttributesW(L"x") == INVALID_FILE_ATTRIBUTES ? 0 : 1; }' >"$work/planted.cpp"
  printf '%s\n' '#include <windows.h>' 'int main() { return IsDebuggerPresent() ? 1 : 0; }' >"$work/planted95.cpp"
  for name in clean planted planted95; do
    i686-w64-mingw32-g++-win32 -O2 -D_WIN32_WINNT=0x0400 -DWINVER=0x0400 -static -static-libgcc \
      -static-libstdc++ -o "$work/$name.exe" "$root/src/platform/win9x_forwarders.cpp" "$work/$name.cpp"
  done
  gate_passes "$work/clean.log" "$work/clean.exe" || return 1
  gate_fails "$work/planted.log" 'GetFileAttributesW  FAIL: a Unicode entry point' "$work/planted.exe" || return 1
  gate_fails "$work/planted95.log" 'IsDebuggerPresent  FAIL: Windows 95 as shipped lacks it' "$work/planted95.exe" ||
    return 1
  echo "import gate self-test: a clean program passes, a planted GetFileAttributesW and a planted" \
    "IsDebuggerPresent (not in Windows 95) fail"
}

# shellcheck source=gate-common.sh
source "$root/scripts/gate-common.sh"
gate_main EXE "$@"
