#!/usr/bin/env bash
# Set up, check that includes follow the layers, string ids come from the table and no source file
# is too long, build (normal, sanitizer and fuzz configurations) and run every test, then the fuzz
# step (scripts/fuzz_step.sh; MORWICK_FUZZ_SECONDS sets its fuzzing time, default 540).
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup.sh
# Includes follow the layers, string ids come from the table and no product file passes 800
# lines, before anything is built.
./scripts/check_includes.py
./scripts/check_string_ids.py
./scripts/check_file_lengths.py

jobs=$(nproc)

stage_start=$SECONDS
stage_done() {
    echo "== $1: $((SECONDS - stage_start)) s"
    stage_start=$SECONDS
}

configure_and_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" -j "$jobs"
}

configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
stage_done "build (normal)"
configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DMORWICK_SANITIZE=ON
stage_done "build (sanitizers)"
# Only the Qt-free core and the fuzz targets, with clang and libFuzzer.
CC=clang-14 CXX=clang++-14 configure_and_build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMORWICK_FUZZ=ON
stage_done "build (fuzz)"

export QT_QPA_PLATFORM=offscreen
status=0
echo "== tests (normal build)"
ctest --test-dir build --output-on-failure -j "$jobs" || status=1
stage_done "tests (normal build)"
echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" || status=1
stage_done "tests (sanitizers)"
echo "== fuzz step"
./scripts/fuzz_step.sh build-fuzz || status=1
stage_done "fuzz step"

exit $status
