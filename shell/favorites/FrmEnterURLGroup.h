#pragma once

#include "toolkit/Forms.h"

class TAlLanguager;
class TEdit;
class TToolButton;

// Asks for the name of a new favorites group; made for each use.
class TF_EnterURLGroup : public TForm
{
    Q_OBJECT
public:
    explicit TF_EnterURLGroup(QWidget* parent = nullptr);

    // Runs the dialog modally: true only after the OK button.
    bool Execute();

    TEdit* E_GroupName;
    TToolButton* SpeedButton1;
    TToolButton* SpeedButton2;
    TAlLanguager* AL_Language;

    void SpeedButton1Click();
    void SpeedButton2Click();

private:
    bool result_ = false;
};
