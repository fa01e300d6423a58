#pragma once

#include "toolkit/Forms.h"

class QTimer;
class TAlLanguager;
class TImage;
class TLabel;
class TToolButton;

// The about window, which also serves as the start-up splash. It frees
// itself when closed.
class TF_About : public TForm
{
    Q_OBJECT
public:
    explicit TF_About(QWidget* parent = nullptr);

    void ShowAbout();  // modal about box
    void ShowSplash(); // shown without waiting
    void EndSplash();  // closes the window 500 ms later

    TImage* Image1;
    TLabel* Label1;
    TLabel* L_Version;
    TLabel* L_IEVersion;
    TLabel* L_Homepage;
    TLabel* L_Email;
    TLabel* L_Stat;
    TToolButton* SB_Close;
    TImage* IM_EasterEgg;
    QTimer* Timer1;
    TAlLanguager* AL_Language;

    void SB_CloseClick();
    void L_HomepageClick();
    void L_EmailClick();
    void IM_EasterEggDblClick();

    // The maker's e-mail address behind L_Email.
    static QString MakerEmail();

private:
    void setFrameStyle();

protected:
    void FormClose(TCloseAction& action) override;
    void paintEvent(QPaintEvent* event) override;
};
