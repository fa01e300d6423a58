#pragma once

#include "toolkit/Forms.h"

class TAlLanguager;
class TButton;
class TCheckBox;
class TGroupBox;
class TLabel;

// The exit dialog: asks whether to leave the program, and whether to keep
// the open windows and the window layout for the next start.
class TF_Exit : public TForm
{
    Q_OBJECT
public:
    explicit TF_Exit(QWidget* parent = nullptr);

    // Runs the dialog modally: true only after B_OK.
    bool Execute();
    bool Result() const { return result_; }

    TLabel* Label1;
    TButton* B_OK;
    TButton* B_Cancel;
    TGroupBox* GroupBox1;
    TCheckBox* ChB_SaveWindow;
    TCheckBox* ChB_SaveEnv;
    TAlLanguager* AL_Language;

    void B_OKClick();
    void B_CancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool result_ = false;
};
