// The fixture of the e2e suites: one X display with openbox per suite, and a home of its own for each test.
#pragma once
#include "Desktop.h"

#include <QDir>
#include <gtest/gtest.h>

namespace e2e {

class DesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { desktop = new Desktop; }
    static void TearDownTestSuite() { delete std::exchange(desktop, nullptr); }
    void SetUp() override
    {
        ASSERT_TRUE(desktop->ok()) << desktop->error().toStdString();
        ASSERT_TRUE(home.isValid());
    }
    // Where a screenshot goes: kept in the build tree for a person to look at.
    static QString shot(const QString& name)
    {
        QDir().mkpath("e2e-shots");
        return QString("e2e-shots/%1.png").arg(name);
    }
    void seedSettings(const QString& key, const QString& value) const { SetSetting(home.path(), key, value); }
    // Starts a run and waits until the character stands on the desktop; returns its window.
    QRect start(Varrow& v) const
    {
        const QRect shown = v.waitShown();
        EXPECT_TRUE(shown.isValid()) << v.trace().toStdString() << v.errors().toStdString();
        return shown;
    }

    static inline Desktop* desktop = nullptr;
    QTemporaryDir home;
};

} // namespace e2e
