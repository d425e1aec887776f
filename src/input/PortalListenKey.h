// The push-to-talk key through the desktop portal's global shortcuts, for Wayland sessions.
#pragma once
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>


namespace input {

// Binds a "talk" shortcut (Pause, unless the user picks another) through
// org.freedesktop.portal.GlobalShortcuts and reports it held and let go, whatever window has the focus.
class PortalListenKey : public QObject {
    Q_OBJECT
public:
    explicit PortalListenKey(QDBusConnection bus);
    ~PortalListenKey() override;

    // Asks the portal for a session and the shortcut; `bound` or `unavailable` follows, once.
    void start();
    bool isBound() const { return bound_; }
    const QString& trigger() const { return trigger_; } // as the desktop describes it, e.g. "Pause"

signals:
    void heldChanged(bool held);
    void bound();
    void unavailable(const QString& why);

private slots:
    void onShortcut(const QDBusMessage& signal);
    void onResponse(uint response, const QVariantMap& results);

private:
    enum class Step { Idle, Session, Bind, Done };
    void call(const QString& method, const QVariantList& args, const QString& token);
    void fail(const QString& why);
    QString requestPath(const QString& token) const;

    QDBusConnection bus_;
    Step step_ = Step::Idle;
    QString request_;   // the portal's request object we wait on
    QString session_;
    QString trigger_;
    bool bound_ = false;
    bool held_ = false;
    bool failed_ = false;
};

} // namespace input
