#pragma once

#include "toolkit/Forms.h"

class TAlLanguager;
class TFavoritesHost;
class TEdit;
class TLabel;
class TToolButton;
class TButton;

// Asks for a favorite's name and address; in add mode also for its group,
// and OK appends the entry to the current group.
class TF_EnterURLData : public TForm
{
    Q_OBJECT
public:
    // `host` is the main window whose current group an added entry joins.
    explicit TF_EnterURLData(TFavoritesHost* host, QWidget* parent = nullptr);

    bool ExecuteAdd();
    bool ExecuteEdit();

    TLabel* Label1;
    TEdit* E_WebName;
    TLabel* Label2;
    TEdit* E_URL;
    TLabel* L_Favorite;
    TEdit* E_Favorite;
    TButton* B_Select;
    TToolButton* SpeedButton1;
    TToolButton* SpeedButton2;
    TAlLanguager* AL_Language;

    void B_SelectClick();
    void SpeedButton1Click();
    void SpeedButton2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool run(bool addMode);
    TFavoritesHost* host_;
    bool result_ = false;
    bool addMode_ = false;
};

extern QPointer<TF_EnterURLData> F_EnterURLData;
