// The sound server's client library, opened when the microphone is first used instead of at start.
#include "PulseLibrary.h"
#include "platform/Library.h"

#include <QStringList>

namespace voice {

platform::Result<PulseLibrary> PulseLibrary::Open()
{
    const auto library = platform::Library::Open(QStringLiteral("pulse"), 0);
    if (!library)
        return platform::Fail(QStringLiteral("the sound server's client library is not installed (%1); install "
                                             "libpulse0").arg(library.why()));
    PulseLibrary pulse;
    QStringList missing;
#define VARROW_PULSE_FIND(name)                                                                                        \
    if (!library->find(pulse.name, #name))                                                                             \
        missing << QStringLiteral(#name);
    VARROW_PULSE_FUNCTIONS(VARROW_PULSE_FIND)
#undef VARROW_PULSE_FIND
    if (!missing.isEmpty())
        return platform::Fail(QStringLiteral("the sound server's client library lacks %1")
                                  .arg(missing.join(QStringLiteral(", "))));
    return pulse;
}

} // namespace voice
