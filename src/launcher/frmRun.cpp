#include "frmRun.h"

frmRun::frmRun(platform::Platform& platform, character::MainState& main, QWidget* parent)
    : QDialog(parent), platform_(platform), main_(main)
{
    Form_Load();
}

frmRun::~frmRun() = default;

void frmRun::Form_Load()
{
    Agent.Characters().Load(QStringLiteral("Genie"), QStringLiteral("Genie.acs"));
    agentA = Agent.Characters().Item(QStringLiteral("Genie"));
    agentA->Commands().Add(QStringLiteral("OK"), QStringLiteral("OK"), QStringLiteral("Okay"), true, true);
    connect(agentA, &character::Character::Command, this, [this](const character::UserInput& in) {
        if (in.Name == u"OK")
            accept();
    });
    main_.agentA->Hide(true);
    agentA->Show(true);
}

void frmRun::Form_Unload()
{
    agentA->Hide(true);
    main_.agentA->Show(true);
}

void frmRun::done(int r)
{
    Form_Unload();
    QDialog::done(r);
}
