// Any stored text for a 16-bit setting: a value exactly when the text is a whole number in range.
#include "platform/SettingsStore.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto v = platform::ToInt16(text)) {
        bool ok = false;
        const int n = text.trimmed().toInt(&ok);
        if (!ok || n != *v)
            __builtin_trap();
    }
    return 0;
}
