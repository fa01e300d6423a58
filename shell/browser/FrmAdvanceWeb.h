#pragma once

#include "toolkit/Forms.h"

#include <QPointer>

class TAlLanguager;
class TButton;
class TCheckBox;
class TGroupBox;
class TWebBrowser;

// The download-options dialog of one browser window: scripts, ActiveX,
// cache, applets and pictures, as the window's control holds them.
class TF_AdvanceWeb : public TForm
{
    Q_OBJECT
public:
    explicit TF_AdvanceWeb(QWidget* parent = nullptr);

    // Shows the control's options and runs the dialog modally.
    void Execute(TWebBrowser* control);
    // The first half of Execute: the boxes take the control's options.
    void ShowOptions(TWebBrowser* control);

    TGroupBox* GroupBox1;
    TCheckBox* ChB_NoScript;
    TCheckBox* ChB_NoActiveX;
    TCheckBox* ChB_NoCache;
    TCheckBox* ChB_NoJava;
    TCheckBox* Chb_NoImage;
    TButton* B_Ok;
    TButton* B_Cancel;
    TAlLanguager* AL_Language;

    void B_OkClick();
    void B_CancelClick();
};

// The one dialog of the run, and the control it was last run for (null
// once that control is gone).
extern QPointer<TF_AdvanceWeb> F_AdvanceWeb;
extern QPointer<TWebBrowser> AdvanceWebTarget;

// The localisation string of the dialog.
QString F_AdvanceWebLocalization();
