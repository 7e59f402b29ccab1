#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/
# and runs every test there, then builds the plain layers with ThreadSanitizer into
# build-tsan/ and runs the tests of the workers and of the windows that wait for them. Any
# sanitizer report fails the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
asan="${ASAN_BUILD_DIR:-$root/build-asan}"
tsan="${TSAN_BUILD_DIR:-$root/build-tsan}"
jobs="${JOBS:-$(nproc)}"

# The sanitizer runtimes of Debian 12's g++.
"$root/scripts/setup.sh" libasan8 libubsan1 libtsan2

# -O1 keeps the instrumented tests quick and the reports' stacks readable.
configure() {
  local dir="$1"
  shift
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1" \
    -DVEQ_BUILD_BENCH=OFF "$@" >/dev/null
}

# A report that did not change a test's exit code (a child process, a test that catches
# aborts) still fails the run.
check_reports() {
  local log="$1/Testing/Temporary/LastTest.log"
  if grep -nE 'ERROR: (Address|Leak)Sanitizer|runtime error:|WARNING: ThreadSanitizer' "$log"; then
    echo "sanitizer reports in $log" >&2
    exit 1
  fi
}

# Instrumented code runs several times slower, which some tests' time limits do not
# allow for; a test that fails is run once more. A report from the failed run still fails
# the whole run: check_reports reads the output of every attempt.
retry=(--repeat until-pass:2)

export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
export QT_QPA_PLATFORM=offscreen

echo "== AddressSanitizer + UndefinedBehaviorSanitizer: every test"
configure "$asan" -DVEQ_SANITIZE=address,undefined
cmake --build "$asan" -j "$jobs"
(cd "$asan" && ctest --output-on-failure --no-tests=error -j "$jobs" "${retry[@]}")
check_reports "$asan"

echo "== ThreadSanitizer: the workers and the windows that wait for them"
configure "$tsan" -DVEQ_BUILD_UI=OFF -DVEQ_SANITIZE=thread
cmake --build "$tsan" -j "$jobs" --target detect_tests porttest_tests firmware_tests firmware_com_download_tests \
  ui_layer_tests detect_window_tests porttest_window_tests firmware_window_tests firmware_network_window_tests \
  firmware_hostile_window_tests app_window_tests app_command_tests app_program_tests app_security_tests \
  platform_worker_life_tests
# The 43 MB download only checks arithmetic, and under ThreadSanitizer it runs past the
# device's response time: it runs in the other two builds.
(cd "$tsan" && ctest --output-on-failure --no-tests=error -j "$jobs" "${retry[@]}" \
  -E 'ProgressOfAnImageAbove42Megabytes' -R '^(DetectPortThread|PortTestProcedure|NetworkDownload|ComDownloadWorker|ComDownloadWorkerLife|MonitorLinkTest|HeadlessWindow|DetectPortWindow|PortTestWindow|DownloadWindow|NetworkDownloadWindow|HostileNetworkWindow|MainWindow|Commands|Program|Security|WorkerLife)\.')
check_reports "$tsan"
