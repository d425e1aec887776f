// Whether the machine has somewhere to play sound: an ALSA card or a sound server's socket.
#include "AudioOutput.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

namespace platform {

bool AudioOutputAvailable()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return true;
    if (!runtime.isEmpty() && (QFileInfo::exists(runtime + QStringLiteral("/pulse/native")) ||
                               QFileInfo::exists(runtime + QStringLiteral("/pipewire-0"))))
        return true;
    QFile cards(QStringLiteral("/proc/asound/cards"));
    if (cards.open(QIODevice::ReadOnly)) {
        const QByteArray text = cards.readAll();
        if (!text.trimmed().isEmpty() && !text.contains("no soundcards"))
            return true;
    }
    return false;
}

} // namespace platform
