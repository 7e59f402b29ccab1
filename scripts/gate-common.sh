# What the gates (import-gate.sh, processor-gate.sh, comctl-gate.sh) share, sourced after
# they define `gate` (exit status 1 on a failure, a listing on standard output) and
# `self_test`: the self-test's two expectations and the command line.

# The gate on the arguments after the log $1 must pass; the listing is kept in $1.
gate_passes() {
  local log="$1"
  shift
  gate "$@" >"$log" && return 0
  cat "$log"
  echo "self-test: $* failed the gate"
  return 1
}

# The gate on the arguments after $1 and $2 must fail with a line that matches $2; the
# listing is kept in $1.
gate_fails() {
  local log="$1" expected="$2"
  shift 2
  if ! gate "$@" >"$log" && grep -q -- "$expected" "$log"; then return 0; fi
  cat "$log"
  echo "self-test: $* did not fail the gate with \"$expected\""
  return 1
}

# --self-test, or the gate on each argument, $1 naming them in the usage; exits.
gate_main() {
  local what="$1" status=0 each
  shift
  if [ "${1:-}" = "--self-test" ]; then
    self_test
    exit
  fi
  [ $# -gt 0 ] || { echo "usage: $0 $what... | --self-test" >&2; exit 2; }
  for each in "$@"; do gate "$each" || status=1; done
  exit $status
}
