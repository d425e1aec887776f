// Any content as a character file: a clear error or a usable character, never a crash.
#include "character/CharacterFile.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto r = character::ParseCharacter(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                                             QStringLiteral("fuzz.acs"));
    Q_UNUSED(r);
    return 0;
}
