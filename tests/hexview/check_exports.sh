#!/bin/sh
# Lists the dynamic symbols the hex viewer library defines and fails unless they are exactly
# the two entry points of DisplayHexViewer.
set -eu
library=$1
symbols=$(nm -DC --defined-only "$library" | awk '{ $1 = ""; $2 = ""; sub(/^  /, ""); print }' | sort)
expected='DisplayHexViewer::OpenPhysicalDisk(void*, char16_t const*, unsigned char, long, long, unsigned char, void const*)
DisplayHexViewer::OpenTheFile(void*, char16_t const*, unsigned char, int, long, long, unsigned int const*, unsigned char, long, unsigned int, int, char16_t const*)'
if [ "$symbols" != "$expected" ]; then
    echo "unexpected exports of $library:" >&2
    echo "$symbols" >&2
    exit 1
fi
# Nothing of the program's layers may be left for the dynamic linker to bind.
if nm -D --defined-only "$library" | grep -Eq 'DiskReadWrite|DeviceTable|StringTable'; then
    echo "$library exports its copy of the core" >&2
    exit 1
fi
echo "exports: $(echo "$symbols" | wc -l) DisplayHexViewer entry points"
