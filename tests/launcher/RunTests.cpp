// The run dialog: the existence test at every change, browsing, starting a file without a shell.
#include "launcher/File.h"
#include "launcher/ProgramChooser.h"
#include "launcher/frmRun.h"

#include "support/CharacterTestSupport.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString Found = QStringLiteral("Speak:\\Emp\\Yes ! I found it.");
const QString NotFound = QStringLiteral("Speak:Sorry, there's \\Emp\\no such file !");
const QString Search = QStringLiteral("Play:Search");

constexpr QFile::Permissions ReadWrite = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions Runnable = ReadWrite | QFile::ExeOwner;

QString writeFile(const QString& path, const QByteArray& content, QFile::Permissions perms = ReadWrite)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(content) == content.size() && f.setPermissions(perms));
    return path;
}

class RunTest : public testsupport::MainCharacterTest {
protected:
    void SetUp() override
    {
        MainCharacterTest::SetUp();
        mainAgentA->setLeft(300);
        mainAgentA->setTop(120);
    }

    void open(platform::Platform& p)
    {
        openDialog(d, p);
        d->show();
    }
    QLineEdit& box() const { return testsupport::child<QLineEdit>(*d, "txtRunProgram"); }
    bool okAvailable() const
    {
        const character::CharacterCommand* ok = own->Commands().Item("OK");
        return ok && ok->Enabled() && ok->Visible();
    }
    // Browses: the file the chooser opened at is noted, and `pick` chosen in it, or nothing.
    void browse(std::optional<QString> pick)
    {
        testsupport::whenShown<ProgramChooser>([this, pick](ProgramChooser& c) {
            chooser << c.selectedFiles().value(0);
            if (!pick)
                return c.reject();
            c.selectFile(*pick);
            static_cast<QDialog&>(c).accept();
        });
        command(*d, "browse");
    }

    platform::QtShell shell; // the real one, for the runs that start a file
    platform::Platform real{t.settings.store, t.clipboard, t.messageBox, shell, t.clock, t.screen, t.report, t.notifier,
                            t.platform.version};
    QTemporaryDir dir;
    QStringList chooser;
    std::unique_ptr<frmRun> d;
};

} // namespace

// Only an existing file is found, its name taken whole; how it starts is read from the file itself.
TEST(FileTest, OnlyAnExistingFileIsFound)
{
    QTemporaryDir dir;
    const QString odd = writeFile(dir.filePath("my prog; echo $(touch x) \"q\".sh"), "x");
    EXPECT_TRUE(File::FileExists(odd));
    EXPECT_TRUE(File::FileExists(writeFile(dir.filePath("empty"), "")));
    for (const QString& no : {dir.filePath("missing"), QString(), odd + " --help", dir.path(), QString("bad") + QChar(0) + "n"})
        EXPECT_FALSE(File::FileExists(no)) << no.toStdString();
    EXPECT_EQ(File::HowToStart(writeFile(dir.filePath("bin"), QByteArray("\x7f" "ELF\2\1", 6))),
              File::StartKind::ProgramNotAllowed);
}

// The dialog opens beside the character, which asks; every change searches and says what it found;
// what was still to be said of an earlier text is dropped.
TEST_F(RunTest, WhatTheCharacterSaysIsOfTheTextInTheBoxNow)
{
    const QString notes = writeFile(dir.filePath("notes.txt"), "hello");
    open(t.platform);
    EXPECT_EQ(listed(*own), QStringList({"Browse", "Cancel"}));
    // Typed before the character asked: the question is still asked. The gesture goes where the dialog
    // stood at loading, before any window frame was known.
    QTest::keyClicks(&box(), "abc");
    EXPECT_EQ(carriedOut(), QStringList({"Hide:fast", "Show:fast", QStringLiteral("Gesture:%1,120").arg(300 - d->width()),
                                         "Speak:Well, what is the path ?", "Play:Uncertain", Search, NotFound}));
    // A voice "Okay" before anything was found does nothing.
    EXPECT_FALSE(mainAgentA->stage().deliverCommand("OK"));
    command(*d, "ok");
    EXPECT_TRUE(d->isVisible());

    QTest::keyClicks(&box(), "/typed/faster/than/the/character/answers");
    box().setText(notes);
    EXPECT_EQ(carriedOut(), QStringList({Search, Found}));
    EXPECT_TRUE(okAvailable());

    box().selectAll();
    QTest::keyClick(&box(), Qt::Key_Backspace);
    EXPECT_EQ(carriedOut(), QStringList({Search, NotFound}));

    box().setText(dir.path());
    EXPECT_EQ(carriedOut(), QStringList({Search, "Speak:Sorry, that's a \\Emp\\folder !"}));
    EXPECT_FALSE(okAvailable());
}

TEST_F(RunTest, BrowseAssignsTheFileChosenLast)
{
    const QString a = writeFile(dir.filePath("a prog"), "x", Runnable);
    const QString b = writeFile(dir.filePath("b prog"), "x", Runnable);
    open(t.platform);
    carriedOut();

    // Nothing chosen yet this opening: a cancelled chooser empties a typed path, and what was still
    // to be said of it goes.
    QTest::keyClicks(&box(), "ab");
    browse(std::nullopt);
    EXPECT_EQ(box().text(), "");
    EXPECT_EQ(carriedOut().filter("Speak:"), QStringList({NotFound}));

    browse(a);
    EXPECT_EQ(box().text(), a);
    EXPECT_EQ(carriedOut(), QStringList({Search, Found}));
    EXPECT_TRUE(okAvailable());

    // A typed path is replaced by the last choice, once, and the chooser opens at it.
    box().setText(b);
    carriedOut();
    browse(std::nullopt);
    EXPECT_EQ(box().text(), a);
    EXPECT_EQ(carriedOut(), QStringList({Search, Found}));
    EXPECT_EQ(chooser.last(), a);
}

TEST(ProgramChooserTest, ProgramsAreListedWithOrWithoutAnExtension)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("tool"), "\x7f" "ELF", Runnable);
    writeFile(dir.filePath("run.sh"), "#!/bin/sh\n", Runnable);
    writeFile(dir.filePath("SETUP.EXE"), "MZ");
    writeFile(dir.filePath("notes.txt"), "hello");
    QDir(dir.path()).mkdir("sub");

    QWidget parent;
    ProgramChooser chooser(&parent, "Browse", frmRun::chooserFilters());
    chooser.setDirectory(dir.path());
    chooser.show();
    const auto* view = chooser.findChild<QListView*>("listView");
    ASSERT_TRUE(view);
    // What the user sees, and whether each can be picked.
    auto listed = [&] {
        QStringList names;
        const QAbstractItemModel* m = view->model();
        for (int r = 0; r < m->rowCount(view->rootIndex()); ++r) {
            const QModelIndex i = m->index(r, 0, view->rootIndex());
            names << i.data().toString() + (m->flags(i) & Qt::ItemIsEnabled ? "" : " (greyed)");
        }
        names.sort(Qt::CaseInsensitive);
        return names;
    };
    const QStringList programs{"run.sh", "SETUP.EXE", "sub", "tool"};
    EXPECT_TRUE(testsupport::waitUntil([&] { return listed() == programs; })) << listed().join(", ").toStdString();

    chooser.selectNameFilter(frmRun::chooserFilters().at(1));
    const QStringList everything{"notes.txt", "run.sh", "SETUP.EXE", "sub", "tool"};
    EXPECT_TRUE(testsupport::waitUntil([&] { return listed() == everything; })) << listed().join(", ").toStdString();
}

// A file that cannot start is told in words a user understands and the dialog stays; a document
// opens with the desktop's application; a program starts itself, its name never reaching a shell.
TEST_F(RunTest, WhatCannotStartIsToldAndTheDialogStays)
{
    const QString script = writeFile(dir.filePath("locked.sh"), "#!/bin/sh\n");
    const QString text = writeFile(dir.filePath("hostname"), "varrow-host\n", Runnable);
    const QString notes = writeFile(dir.filePath("my notes.txt"), "hello");
    open(t.platform);
    box().setText(script);
    carriedOut();
    command(*d, "OK");
    ASSERT_EQ(t.messageBox.shown.size(), 1);
    EXPECT_TRUE(t.messageBox.shown[0].contains("permission") && t.messageBox.shown[0].contains(script))
        << t.messageBox.shown[0].toStdString();
    EXPECT_EQ(carriedOut(), QStringList({"Play:Decline", "Speak:Sorry, I can't start this file !"}));
    EXPECT_EQ(mainAgentA->stage().inEffect(), own);

    box().setText(notes);
    t.shell.openResult = platform::Fail("No application is set up to open my notes.txt.");
    command(*d, "OK");
    EXPECT_EQ(t.shell.opened, QStringList({notes}));
    EXPECT_EQ(t.messageBox.shown.size(), 2);
    EXPECT_TRUE(d->isVisible() && okAvailable());
    t.shell.openResult = {};
    command(*d, "OK");
    EXPECT_FALSE(d->isVisible());
    EXPECT_TRUE(t.shell.started.isEmpty());

    // A text that may be executed, which the system refuses to start.
    open(real);
    box().setText(text);
    command(*d, "OK");
    EXPECT_EQ(t.messageBox.shown.value(2), text + " is not a program Varrow can start.");
    EXPECT_TRUE(d->isVisible());

    // If the name reached a shell, the part after ';' would run and leave "pwned" behind.
    const QString marker = dir.filePath("marker");
    box().setText(writeFile(dir.filePath("my prog; touch pwned $(touch pwned2) 'q'.sh"),
                            "#!/bin/sh\necho started > '" + marker.toUtf8() + "'\n", Runnable));
    carriedOut();
    ASSERT_TRUE(mainAgentA->stage().deliverCommand("OK", "Okay"));
    testsupport::pump();
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(t.messageBox.shown.size(), 3);
    ASSERT_TRUE(testsupport::waitUntil([&] { return QFile::exists(marker); }));
    // The dialog is gone: what it had still to say goes with it, and the main character is back at once.
    const QStringList done = carriedOut();
    EXPECT_EQ(done.mid(done.size() - 2), QStringList({"Hide:fast", "Show:fast"}));
    EXPECT_EQ(mainAgentA->stage().inEffect(), mainAgentA);
    for (const char* leak : {"pwned", "pwned2"}) {
        EXPECT_FALSE(QFile::exists(dir.filePath(leak)));
        EXPECT_FALSE(QFile::exists(QDir::current().filePath(leak)));
    }
}
