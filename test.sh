#!/usr/bin/env bash
# Set up, build (normal and sanitizer configurations) and run every test.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup.sh

jobs=$(nproc)

configure_and_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" -j "$jobs"
}

configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DMORWICK_SANITIZE=ON

export QT_QPA_PLATFORM=offscreen
status=0
echo "== tests (normal build)"
ctest --test-dir build --output-on-failure -j "$jobs" || status=1
echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" || status=1

exit $status
