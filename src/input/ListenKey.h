// The push-to-talk key, held anywhere on the desktop: Pause, grabbed from the X server.
#pragma once
#include "platform/Result.h"

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QTimer>

namespace input {

// The push-to-talk key, held anywhere on the desktop: Pause, grabbed from the X server.
class ListenKey : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    ListenKey();
    ~ListenKey() override;

    // Fails where there is no X server or another program has taken the key.
    platform::Result<> grab();
    bool grabbed() const { return keycode_ != 0; }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

signals:
    void heldChanged(bool held);

private:
    void ungrab();

    void* connection_ = nullptr; // xcb_connection_t, kept out of this header
    unsigned root_ = 0;
    unsigned char keycode_ = 0;
    bool held_ = false;
    QTimer release_;
};

} // namespace input
