// The run dialog: a path typed or chosen, tested for existence at every change, started on "OK".
#include "frmRun.h"

#include "File.h"
#include "ProgramChooser.h"
#include "character/CharacterStage.h"
#include "character/PlaceDialog.h"
#include "desktop/WindowFrame.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTimer>

namespace {
// "OK" is offered only while the path names an existing file.
constexpr character::CommandEntry RunCommands[] = {
    {"browse", "Browse", "Browse", true, true},
    {"Cancel", "Cancel", "Cancel", true, true},
    {"OK", "OK", "Okay", false, false},
};

// The opening's gesture, question and shrug: the first requests the dialog makes.
constexpr int OpeningRequests = 3;

// The chooser's filter as description|patterns pairs. Under the first the chooser also lists what the user
// may run; the second shows everything else too.
const char* const ProgramFilter = "Programs | *.Exe;*.Bat;*.Com|All files | *";

// "desc|p1;p2|..." into the chooser's "desc (p1 p2)" entries.
QStringList nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        out << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), patterns.join(QLatin1Char(' ')));
    }
    return out;
}

} // namespace

frmRun::frmRun(platform::Platform& platform, character::CharacterServer& server, desktop::FormActivation& activation, character::Character* mainAgentA)
    : CharacterDialog(server, activation, mainAgentA,
                      Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      platform_(platform), txtRunProgram(this), mnutxtRunProgram(QStringLiteral("Run"), this)
{
    setObjectName(QStringLiteral("frmRun"));
    desktop::WindowFrame::Apply(*this, desktop::WindowFrame::Title | desktop::WindowFrame::CloseBox);
    setWindowTitle(QStringLiteral("Run"));
    // Modal to its own window only: an application-wide block would also shut out the character,
    // whose menu carries this dialog's commands.
    setWindowModality(Qt::WindowModal);
    txtRunProgram.setObjectName(QStringLiteral("txtRunProgram"));
    mnutxtRunProgramBrowse = mnutxtRunProgram.addAction(QStringLiteral("Browse"));

    const float TX = platform_.screen.TwipsPerPixelX(), TY = platform_.screen.TwipsPerPixelY();
    auto px = [](double twips, float perPixel) { return platform::TwipsToPixels(twips, perPixel); };
    // The box keeps its designed size unless the font needs a taller one; the window grows with it.
    const int boxHeight = std::max(px(375, TY), txtRunProgram.sizeHint().height());
    txtRunProgram.setGeometry(0, 0, px(3735, TX), boxHeight);
    setFixedSize(px(3765, TX), boxHeight + px(405 - 375, TY));

    // Our own menu replaces the box's editing menu, and a middle click must not paste.
    txtRunProgram.setContextMenuPolicy(Qt::PreventContextMenu);
    txtRunProgram.installEventFilter(this);
    Form_Load();
}

void frmRun::Form_Load()
{
    borrowCharacter(RunCommands, QStringLiteral("the run dialog"));
    if (agentA) {
        const character::DialogPlacement p =
            character::MoveBesideCharacter(*this, *agentA, platform_.screen, &placedWidth_);
        gestureAt_ = QPoint(p.gestureX, p.gestureY);
        connect(&agentA->stage(), &character::CharacterStage::requestStarted, this,
                [this, mine = agentA->connection()](const character::Request& r) {
                    if (r.owner == mine && character::StoppedBy(r, character::StopEverything))
                        ++begun_;
                });
        askForThePath(0);
    }
    connect(&txtRunProgram, &QLineEdit::textChanged, this, &frmRun::txtRunProgram_Change);
    txtRunProgram.setFocus();
}

void frmRun::askForThePath(int from)
{
    if (from < 1)
        agentA->GestureAt(gestureAt_.x(), gestureAt_.y());
    if (from < 2)
        agentA->Speak(QStringLiteral("Well, what is the path ?"));
    if (from < 3)
        agentA->Play(QStringLiteral("Uncertain"));
}

void frmRun::txtRunProgram_Change()
{
    if (!agentA || !holding())
        return;
    // What is still to be said of an earlier text no longer holds; the opening goes on as it was.
    agentA->StopWaiting(QStringLiteral("Play,Speak"));
    if (begun_ < OpeningRequests)
        askForThePath(begun_);
    agentA->Play(QStringLiteral("Search"));
    const bool found = File::FileExists(txtRunProgram.text());
    character::CharacterCommand* ok = agentA->Commands().Item(QStringLiteral("OK"));
    if (found) {
        ok->setEnabled(true);
        ok->setVisible(true);
        agentA->Speak(QStringLiteral("\\Emp\\Yes ! I found it."));
    } else {
        agentA->Speak(QFileInfo(txtRunProgram.text()).isDir() ? QStringLiteral("Sorry, that's a \\Emp\\folder !")
                                                              : QStringLiteral("Sorry, there's \\Emp\\no such file !"));
        ok->setEnabled(false);
        ok->setVisible(false);
    }
}

void frmRun::Agent_Command(const character::UserInput& UserInput)
{
    // A command heard while our chooser or message box is up would act under it.
    if (!holding() || modal_ > 0)
        return;
    if (UserInput.Name == u"browse") {
        browse();
    } else if (UserInput.Name == u"Cancel") {
        reject();
    } else if (UserInput.Name == u"OK") {
        const character::CharacterCommand* ok = agentA ? agentA->Commands().Item(QStringLiteral("OK")) : nullptr;
        if (ok && ok->Enabled())
            runProgram();
    }
}

void frmRun::mnutxtRunProgramBrowse_Click()
{
    if (agentA && agentA->Commands().Item(QStringLiteral("browse")))
        Agent_Command(character::UserInput{QStringLiteral("browse"), agentA->id(), {}, false});
}

QStringList frmRun::chooserFilters()
{
    return nameFilters(QString::fromUtf8(ProgramFilter));
}

void frmRun::browse()
{
    ++modal_;
    const std::optional<QString> chosen = showOpen();
    --modal_;
    if (chosen)
        fileName_ = *chosen;
    // Closing the chooser without a file still assigns its name: the one chosen last, or nothing.
    if (holding() && txtRunProgram.text() != fileName_)
        txtRunProgram.setText(fileName_);
}

std::optional<QString> frmRun::showOpen()
{
    ProgramChooser dialog(this, QStringLiteral("Browse"), chooserFilters());
    if (!fileName_.isEmpty())
        dialog.selectFile(fileName_);
    platform::StandClearOf(dialog, agentA ? character::ScreenAreaOf(*agentA) : QRect());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
}

void frmRun::runProgram()
{
    const QString path = txtRunProgram.text();
    const platform::Result<> r = start(path);
    if (!r) {
        reportStartFailure(r.why().isEmpty() ? QStringLiteral("%1 could not be started.").arg(path) : r.why());
        return;
    }
    agentA->Speak(QStringLiteral("\\Chr=\"monotone\"\\Loading ..."));
    agentA->Play(QStringLiteral("Proccess"));
    accept();
}

platform::Result<> frmRun::start(const QString& path)
{
    if (!File::FileExists(path))
        return platform::Fail(QStringLiteral("%1 is no longer there.").arg(path));
    switch (File::HowToStart(path)) {
    case File::StartKind::Program:
        return platform_.shell.StartProgram(path);
    case File::StartKind::ProgramNotAllowed:
        return platform::Fail(QStringLiteral("%1 is a program, but it has no permission to run. "
                                             "Allow it to be executed and try again.").arg(path));
    case File::StartKind::Document:
        return platform_.shell.OpenDocument(path);
    }
    return {};
}

void frmRun::reportStartFailure(const QString& why)
{
    agentA->Play(QStringLiteral("Decline"));
    agentA->Speak(QStringLiteral("Sorry, I can't start this file !"));
    ++modal_;
    platform_.messageBox.MsgBox(why, QStringLiteral("Run"), platform::MessageBox::Icon::Warning,
                                character::ScreenAreaOf(*agentA));
    --modal_;
}

bool frmRun::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &txtRunProgram) {
        const auto type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
            type == QEvent::MouseButtonDblClick) {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() != Qt::LeftButton) {
                if (type == QEvent::MouseButtonPress)
                    txtRunProgram_MouseDown(me->button(), me->globalPosition().toPoint());
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmRun::txtRunProgram_MouseDown(Qt::MouseButton Button, const QPoint& globalPos)
{
    if (int(Button) <= 1 || !holding() || modal_ > 0)
        return;
    const bool hadFocus = txtRunProgram.hasFocus();
    txtRunProgram.setEnabled(false);
    ++modal_;
    QAction* picked = mnutxtRunProgram.exec(globalPos);
    --modal_;
    txtRunProgram.setEnabled(true);
    if (hadFocus)
        txtRunProgram.setFocus();
    if (picked == mnutxtRunProgramBrowse)
        mnutxtRunProgramBrowse_Click();
}

bool frmRun::event(QEvent* e)
{
    if (e->type() == QEvent::Show)
        QTimer::singleShot(0, this, &frmRun::fitToFrame);
    else if (e->type() == QEvent::WindowActivate)
        fitToFrame();
    return QDialog::event(e);
}

void frmRun::fitToFrame()
{
    // A window manager that would not say beforehand what frame it adds: once the frame is there,
    // the same rule again, so the dialog does not cover the character. No second gesture.
    if (!agentA || placedWidth_ < 0 || frameGeometry().width() == placedWidth_)
        return;
    character::MoveBesideCharacter(*this, *agentA, platform_.screen, &placedWidth_);
}
