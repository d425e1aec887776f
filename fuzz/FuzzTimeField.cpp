// Any text typed into a time box: the wrap must end in range, quickly, whatever the number.
#include "alarm/TimeField.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto v = alarms::NumericValue(text);
    if (!v)
        return 0;
    for (const auto& [lo, hi] : {std::pair<qint16, qint16>{1, 12}, {0, 59}}) {
        if (*v >= lo && *v <= hi)
            continue;
        const QString wrapped = alarms::WrappedText(*v, lo, hi);
        const auto back = alarms::NumericValue(wrapped);
        if (!wrapped.isEmpty() && back && (*back < lo - 1 || *back > hi + 1))
            __builtin_trap();
    }
    return 0;
}
