// The run dialog: a path typed or chosen, tested for existence at every change, started on "OK".
#pragma once
#include "character/CharacterDialog.h"
#include "platform/Platform.h"

#include <QLineEdit>
#include <QMenu>
#include <optional>

class frmRun : public character::CharacterDialog {
    Q_OBJECT
public:
    // `mainAgentA` is the main form's character, hidden while the dialog is open.
    frmRun(platform::Platform& platform, character::CharacterServer& server, desktop::FormActivation& activation, character::Character* mainAgentA);

    void Agent_Command(const character::UserInput& UserInput) override;
    void mnutxtRunProgramBrowse_Click();

    // What the chooser offers: the programs first, then every file, since programs here rarely
    // carry an extension.
    static QStringList chooserFilters();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* e) override;

private:
    void Form_Load();
    // The opening's gesture, question and shrug, from step `from` on.
    void askForThePath(int from);
    void txtRunProgram_Change();
    void txtRunProgram_MouseDown(Qt::MouseButton Button, const QPoint& globalPos);
    void browse();
    // The chosen file's full path, or nothing when the chooser was closed without one.
    std::optional<QString> showOpen();
    void runProgram();
    platform::Result<> start(const QString& path);
    void reportStartFailure(const QString& why);
    void fitToFrame();

    platform::Platform& platform_;
    QLineEdit txtRunProgram;
    QMenu mnutxtRunProgram;
    QAction* mnutxtRunProgramBrowse = nullptr;
    QString fileName_; // the chooser's file name: the file chosen last during this opening
    int modal_ = 0;    // a chooser, menu or message box of ours is up
    int placedWidth_ = -1; // outer width the placement was computed with
    QPoint gestureAt_;
    int begun_ = 0; // requests of ours the figure has begun, the opening's first
};
