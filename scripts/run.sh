#!/usr/bin/env bash
# Sets up a fresh machine, builds the utility and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" veq-comport-mapper
exec "${BUILD_DIR:-$root/build}/src/app/veq-comport-mapper" "$@"
