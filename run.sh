#!/usr/bin/env bash
# Set up, build, and start Morwick Wrenfal.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only the program and the data it reads, so the first start does not wait for the tests.
cmake --build build -j "$(nproc)" --target morwick-wrenfal header_file

program=build/bin/morwick-wrenfal
if [[ ! -x "$program" ]]; then
    echo "run.sh: the build did not produce $program" >&2
    exit 1
fi
# Without a device map of the user's own, show the bundled sample disk (FAT32 and NTFS, made
# by tests/fixtures/make_sample_disk.sh) as disk 0 with its two partitions as C: and D:.
if [[ -z ${MORWICK_DEVICES:-} ]]; then
    sample_xz=resources/sample_disk.img.xz
    sample=$PWD/build/sample_disk.img
    if [[ ! -f $sample || $sample_xz -nt $sample ]]; then
        xz -dc "$sample_xz" >"$sample.part"
        mv -f -- "$sample.part" "$sample"
    fi
    export MORWICK_DEVICES="disk0=$sample;C:=disk0@2048+67584;D:=disk0@69632+16384"
fi
exec "$program" "$@"
