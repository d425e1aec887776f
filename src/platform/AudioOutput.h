// Whether the machine has somewhere to play sound: an ALSA card or a sound server's socket.
#pragma once

namespace platform {

// espeak-ng playing to a machine without a sound card reports success and drops the audio, so
// this is asked first.
bool AudioOutputAvailable();

} // namespace platform
