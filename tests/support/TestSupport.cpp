// Test support: waiting on the event loop.
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

namespace testsupport {

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void pump(int ms)
{
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (ms > 0)
            QThread::msleep(1);
    } while (t.elapsed() < ms);
    QCoreApplication::sendPostedEvents();
}

QString sourceDir()
{
    return qEnvironmentVariable("VARROW_TEST_DATA", QStringLiteral(VARROW_SOURCE_DIR));
}

} // namespace testsupport
