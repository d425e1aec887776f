// Forms hear that they came to the front or left it from the tracker they were given, once.
#include "desktop/FormActivation.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {
struct Form : QWidget, desktop::ActivatableForm {
    void Form_Activate() override { heard << objectName() + "+"; }
    void Form_Deactivate() override { heard << objectName() + "-"; }
    QStringList& heard;
    explicit Form(QStringList& h, const char* name) : heard(h) { setObjectName(name); }
};
} // namespace

TEST(FormActivation, OnlyTrackedFormsHearItAndEachOnceWhateverOtherTrackersExist)
{
    QStringList heard;
    desktop::FormActivation tracker, another;
    Form a(heard, "a"), b(heard, "b"), untracked(heard, "u");
    tracker.track(a, a);
    tracker.track(b, b);
    for (Form* w : {&a, &untracked, &b}) {
        w->show();
        QApplication::setActiveWindow(w);
        ASSERT_TRUE(testsupport::waitUntil([&] { return QGuiApplication::focusWindow() == w->windowHandle(); }));
        testsupport::pump(10);
    }
    // Focus passing through a window that is no tracked form changes nothing.
    EXPECT_EQ(heard, QStringList({"a+", "a-", "b+"}));
}
