// The sound server's client library, opened when the microphone is first used instead of at start.
#pragma once
#include "platform/Result.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/stream.h>

namespace voice {

// What of libpulse the microphone calls. The library brings a dozen sound-file libraries with it,
// which a user who never talks to Genie should not carry.
#define VARROW_PULSE_FUNCTIONS(X)                                                                                      \
    X(pa_mainloop_new) X(pa_mainloop_free) X(pa_mainloop_get_api) X(pa_mainloop_prepare) X(pa_mainloop_poll)          \
    X(pa_mainloop_dispatch) X(pa_context_new) X(pa_context_connect) X(pa_context_disconnect) X(pa_context_unref)      \
    X(pa_context_get_state) X(pa_context_errno) X(pa_context_get_server_info) X(pa_context_get_source_info_by_name)   \
    X(pa_operation_unref) X(pa_strerror) X(pa_stream_new) X(pa_stream_connect_record) X(pa_stream_get_state)          \
    X(pa_stream_readable_size) X(pa_stream_peek) X(pa_stream_drop) X(pa_stream_get_latency) X(pa_stream_disconnect)   \
    X(pa_stream_unref)

struct PulseLibrary {
#define VARROW_PULSE_POINTER(name) decltype(&::name) name = nullptr;
    VARROW_PULSE_FUNCTIONS(VARROW_PULSE_POINTER)
#undef VARROW_PULSE_POINTER

    // The functions, or why the sound server cannot be reached without them.
    static platform::Result<PulseLibrary> Open();
};

} // namespace voice
