// Command strings into the CD layer's interpreter, one per line, against a drive that always works.
#include "devices/MciInterpreter.h"
#include "support/FakeDrive.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto drive = std::make_unique<testsupport::FakeDrive>();
    testsupport::FakeDrive& fake = *drive;
    {
        devices::MciInterpreter mci(std::move(drive));
        const QString all = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
        for (const QString& line : all.split(u'\n')) {
            const int code = mci.sendString(line);
            if (code != 0 && mci.errorString(code, 200).isEmpty())
                __builtin_trap(); // every failure has a text
        }
        mci.sendString(QStringLiteral("close all"));
        if (fake.openHandles != 0)
            __builtin_trap(); // "close all" closes everything it opened
    }
    return 0;
}
