// The sound server's client library, opened when the microphone is first used instead of at start.
#include "PulseLibrary.h"
#include "platform/Library.h"

namespace voice {

platform::Result<PulseLibrary> PulseLibrary::Open()
{
    const auto library = platform::Library::Open(QStringLiteral("pulse"), 0);
    if (!library)
        return platform::Fail(QStringLiteral("the sound server's client library is not installed (%1); install "
                                             "libpulse0").arg(library.why()));
    PulseLibrary pulse;
    platform::FunctionTable table{&*library};
#define VARROW_PULSE_FIND(name) table(pulse.name, #name);
    VARROW_PULSE_FUNCTIONS(VARROW_PULSE_FIND)
#undef VARROW_PULSE_FIND
    if (const auto all = table.complete(QStringLiteral("the sound server's client library")); !all)
        return platform::Fail(all.why());
    return pulse;
}

} // namespace voice
