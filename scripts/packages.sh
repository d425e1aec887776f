#!/bin/sh
# The Debian packages Varrow needs to build, run and test. Sourced by the other scripts.
# sphinxtrain and sphinxbase-utils are the tools that adapt the recogniser to its user's voice.
VARROW_BUILD_PACKAGES="cmake g++ make pkg-config libgtest-dev qt6-base-dev libespeak-ng-dev espeak-ng \
libpocketsphinx-dev libsphinxbase-dev pocketsphinx-en-us libpulse-dev libwebrtc-audio-processing-dev libxcb1-dev libxcb-shape0-dev fonts-dejavu-core qt6-wayland \
libspeechd-dev sphinxtrain sphinxbase-utils"
VARROW_TEST_PACKAGES="xvfb openbox xdotool imagemagick x11-utils pulseaudio pulseaudio-utils clang libclang-rt-14-dev x11-xserver-utils dunst dbus-daemon \
speech-dispatcher speech-dispatcher-espeak-ng"
# Wayland sessions run headless: sway (xhost lets root's clients into its XWayland, and a small client
# built from libwayland-dev gives its seat a pointer), KWin, and Mutter, whose screenshots come through
# its screen cast over PipeWire; weston-terminal is the native window, dbus-daemon the session bus;
# the desktop portal with its KDE backend (a Qt 5 program, hence qtwayland5) for the talk key.
VARROW_WAYLAND_TEST_PACKAGES="sway xwayland grim x11-xserver-utils libwayland-dev kwin-wayland mutter weston dbus \
pipewire wireplumber gstreamer1.0-pipewire gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good \
xdg-desktop-portal xdg-desktop-portal-kde qtwayland5"
# Also needed to make the Debian package (scripts/package.sh), and to check it (VARROW_PACKAGE_TEST=1).
VARROW_DEB_PACKAGES="dpkg-dev file"
VARROW_PACKAGE_TEST_PACKAGES="lintian appstream"
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
