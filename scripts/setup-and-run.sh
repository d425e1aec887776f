#!/bin/sh
# Installs the packages Varrow needs, builds it in Release and starts it.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/packages.sh"
varrow_install_packages $VARROW_BUILD_PACKAGES
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$root/build" -j"$(nproc)" --target varrow
exec "$root/build/bin/varrow" "$@"
