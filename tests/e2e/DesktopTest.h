// The fixture of the e2e suites: one desktop per suite, and a home of its own for each test.
#pragma once
#include "Desktop.h"

#include <gtest/gtest.h>

namespace e2e {

class DesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { desktop = new Desktop; }
    static void TearDownTestSuite()
    {
        delete desktop;
        desktop = nullptr;
    }
    void SetUp() override;

    // Where a screenshot goes: kept in the build tree for a person to look at.
    static QString shot(const QString& name);
    QString settingsFile() const { return SettingsFile(home.path()); }
    void seedSettings(const QString& key, const QString& value) const { SetSetting(home.path(), key, value); }
    void seedPlace(QPoint place) const { SeedPlace(home.path(), place); } // where the character last stood
    // Waits until the character stands on the desktop; returns its window.
    static QRect startAndWait(Varrow& v);
    // The window with this title that is on screen (the program has others of that name).
    static QString windowId(const QString& title);
    // The client area of the window with this title, or with `framed` the window manager's frame around it.
    static QRect windowRect(const QString& title, bool framed = false);
    // The frame of that window once the window manager stops moving it into place.
    static QRect settledFrame(const QString& title);
    static std::string xprop(const QString& title, const QString& property);
    // A press of the left button at `from`, moved by `by` in `steps`, and let go.
    static void drag(const QPoint& from, const QPoint& by, int steps = 10);

    static inline const QString Geometry = "(-?\\d+),(-?\\d+) (\\d+)x(\\d+)";
    static inline Desktop* desktop = nullptr;
    QTemporaryDir home;
};

} // namespace e2e
