#!/usr/bin/env bash
# Set up, build, and start Morwick Wrenfal.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

program=build/bin/morwick-wrenfal
if [[ ! -x "$program" ]]; then
    echo "run.sh: the build succeeded, but the program morwick-wrenfal is not built yet:"
    echo "        so far only its core libraries and their tests exist (see README.md)."
    exit 0
fi
exec "$program" "$@"
