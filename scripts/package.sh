#!/bin/sh
# Builds the Debian package build-deb/varrow_<version>_amd64.deb: a Release build for /usr with
# Debian's hardening flags, packed by CPack with the dependencies dpkg-shlibdeps finds.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/packages.sh"
varrow_install_packages $VARROW_BUILD_PACKAGES $VARROW_DEB_PACKAGES
cd "$root"
# Debian's build flags with all hardening and without -g: the package ships a stripped program.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g dpkg-buildflags --export=sh)"
cmake -S "$root" -B "$root/build-deb" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DVARROW_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS"
cmake --build "$root/build-deb" -j"$(nproc)" --target varrow
cd "$root/build-deb"
rm -f varrow_*.deb
cpack -G DEB
