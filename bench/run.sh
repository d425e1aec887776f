#!/bin/sh
# Builds Varrow in Release and prints the benchmark tables. BENCH_RUNS (5) and BENCH_IDLE_SECONDS (60)
# change how long it takes; VOICE_BENCH_ARGS (for example --quick) what the voice benchmark covers.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
. "$root/scripts/packages.sh"
varrow_install_packages $VARROW_BUILD_PACKAGES $VARROW_TEST_PACKAGES $VARROW_BENCH_PACKAGES
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVARROW_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target benchmarks varrow-voice-bench
echo "== start-up, idle, memory and speech through a sound server of the real program (Xvfb + openbox)"
"$build/bin/desktop_bench" || true
echo "== the same at twice the resolution (QT_SCALE_FACTOR=2)"
QT_SCALE_FACTOR=2 "$build/bin/desktop_bench" || true
echo "== the character's frames at 1x and 2x"
(cd "$build/bin" && QT_QPA_PLATFORM=offscreen ./render_bench) || true
echo "== speech through a sound server: speech-dispatcher, espeak-ng in process and spd-say"
"$build/bin/speech_bench" || true
echo "== speech, request queue and rules"
(cd "$build/bin" && ./rules_bench) || true
echo "== voice recognition"
# Every voice in every room: about an hour on two cores. --quick takes three voices and five rooms.
"$build/bin/varrow-voice-bench" --cache "$build/voice-clips" ${VOICE_BENCH_ARGS:-} || true
"$build/bin/voice_latency" || true
