#pragma once
#include "character/Agent.h"
#include "character/MainState.h"
#include "platform/FormActivation.h"
#include "platform/Platform.h"

#include <QDialog>

class frmRun : public QDialog, public platform::ActivatableForm {
    Q_OBJECT
public:
    frmRun(platform::Platform& platform, character::MainState& main, QWidget* parent = nullptr);
    ~frmRun() override;

    character::Character* agentA = nullptr;

private:
    void Form_Load();
    void Form_Unload();
    void done(int r) override;

    platform::Platform& platform_;
    character::MainState& main_;
    character::Agent Agent;
};
