#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the fixture scripts need.
# Idempotent: packages already present are not touched, and apt is only asked when
# something is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    clang-14 libclang-rt-14-dev llvm-14
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libqt6test6 qt6-qpa-plugins fonts-dejavu-core adwaita-icon-theme
    zlib1g-dev libpng-dev libjpeg62-turbo-dev libtiff-dev libcurl4-openssl-dev
    dosfstools mtools ntfs-3g attr fdisk sleuthkit faketime
    xz-utils python3 zip unzip
    libjpeg-turbo-progs netpbm libtiff-tools imagemagick python3-pil djvulibre-bin
    p7zip-full gzip bzip2 zstd gcab binutils sqlite3 libgsf-bin
    lame flac abcmidi mkvtoolnix enscript
    python3-xlwt python3-olefile
    testdisk python3-pyftpdlib
    libarchive-tools python3-rarfile
    icoutils libimage-exiftool-perl
    libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui
    qt6-pdf-dev poppler-utils mdbtools
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
