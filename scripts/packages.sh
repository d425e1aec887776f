#!/bin/sh
# The Debian packages Varrow needs to build, run and test. Sourced by the other scripts.
VARROW_BUILD_PACKAGES="cmake g++ make pkg-config libgtest-dev qt6-base-dev libespeak-ng-dev espeak-ng \
libpocketsphinx-dev libsphinxbase-dev pocketsphinx-en-us libwebrtc-audio-processing-dev libxcb1-dev fonts-dejavu-core"
VARROW_TEST_PACKAGES="xvfb openbox xdotool imagemagick x11-utils clang libclang-rt-14-dev"
# Only for the voice benchmark: other speakers than espeak-ng, and sox for a room's echo and the pace.
VARROW_BENCH_PACKAGES="sox flite festival festvox-kallpc16k festvox-kdlpc16k festvox-us-slt-hts"

# Installs what is missing, as root or through sudo.
varrow_install_packages() {
    missing=""
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    echo "Installing:$missing"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
}
