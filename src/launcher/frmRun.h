// The run dialog: a path typed or chosen, tested for existence at every change, started on "OK".
#pragma once
#include "character/Agent.h"
#include "character/BorrowedCharacter.h"
#include "desktop/FormActivation.h"
#include "platform/Platform.h"

#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <functional>
#include <optional>

class frmRun : public QDialog, public desktop::ActivatableForm {
    Q_OBJECT
public:
    // `mainAgentA` is the main form's character, hidden while the dialog is open.
    frmRun(platform::Platform& platform, character::CharacterServer& server, character::Character* mainAgentA,
           QWidget* parent = nullptr);
    ~frmRun() override;

    void Agent_Command(const character::UserInput& UserInput);
    void mnutxtRunProgramBrowse_Click();

    character::Character* agentA = nullptr;
    QLineEdit& text() { return txtRunProgram; }

    // The modal file chooser: the chosen file's full path, or nothing when it was closed without one.
    using ShowOpen = std::function<std::optional<QString>(QWidget& parent, const QString& title,
                                                          const QStringList& filters, const QString& fileName)>;
    ShowOpen showOpen;
    // Shows the text box's pop-up menu and returns the entry picked, if any.
    std::function<QAction*(QMenu& menu, const QPoint& globalPos)> popupMenu;

    // What the chooser offers: the programs first, then every file, since programs here rarely
    // carry an extension.
    static QStringList chooserFilters();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* e) override;

private:
    void Form_Load();
    void Form_Unload();
    // The opening's gesture, question and shrug, from step `from` on.
    void askForThePath(int from);
    void done(int r) override;
    void txtRunProgram_Change();
    void txtRunProgram_MouseDown(Qt::MouseButton Button, const QPoint& globalPos);
    void browse();
    void runProgram();
    platform::Result<> start(const QString& path);
    void reportStartFailure(const QString& why);
    void fitToFrame();

    platform::Platform& platform_;
    character::Character* mainAgentA_;
    character::Agent Agent;
    std::optional<character::BorrowedCharacter> borrowed_;
    QLineEdit txtRunProgram;
    QMenu mnutxtRunProgram;
    QAction* mnutxtRunProgramBrowse = nullptr;
    QString fileName_; // the chooser's file name: the file chosen last during this opening
    int modal_ = 0;    // a chooser, menu or message box of ours is up
    bool unloaded_ = false;
    int placedWidth_ = -1; // outer width the placement was computed with
    QPoint gestureAt_;
    int begun_ = 0; // requests of ours the figure has begun, the opening's first
};
