#pragma once

#include "chat/U_GlobalConfig.h"
#include "chat/plugin/PluginHost.h"

class TButton;
class TCheckBox;
class TComboBox;
class TEdit;
class TGroupBox;
class TLabel;
class TMemo;
class TPageControl;
class TRxRichEdit;
class TTabSheet;
class TToolButton;

namespace Zentrel {

// The plug-in's settings dialog (the Setup export and the Setup menu
// command): connection, appearance and DCC pages. Its form name is not
// "F_Main": form look-up by name is shared with the host, whose main
// window has that name.
class TF_Main : public TZentrelForm
{
    Q_OBJECT
public:
    TF_Main();

    // Settings to the controls, and back. StoreControls checks every field
    // first and stores nothing when one is wrong (false, *error says why).
    void LoadControls(const TZentrelSettings& settings);
    bool StoreControls(TZentrelSettings& settings, QString* error = nullptr) const;

    // Shows the dialog modally over the library's settings; OK stores them
    // and writes the registry.
    static void Execute();

    void Button1Click();
    void Button2Click();
    void ChB_UseSockClick();
    void CB_SockTypeChange();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void ChB_WordWrapClick();

    TPageControl* PageControl1;
    TTabSheet* TabSheet1;
    TTabSheet* TabSheet2;
    TTabSheet* TabSheet3;
    TMemo* Memo1; // the hint on opening servers
    TLabel* Label1;
    TEdit* E_IRCPort;
    TLabel* Label2;
    TCheckBox* ChB_UseSock;
    TGroupBox* GB_SockInfo;
    TComboBox* CB_SockType;
    TEdit* E_Sock5Server;
    TEdit* E_SockPort;
    TGroupBox* GB_SockAuth;
    TEdit* E_Sock5UserName;
    TEdit* E_Sock5PW;
    TRxRichEdit* PreviewChat;
    TToolButton* SpeedButton1;
    TToolButton* SpeedButton2;
    TCheckBox* ChB_WordWrap;
    TEdit* E_DccDirectory;
    TEdit* E_DccBlock;
    TCheckBox* ChB_DCCAutoReceive;
    TButton* Button1;
    TButton* Button2;

private:
    void showPreview(const TFont& font, TColor background);
    // The preview's font as the font button last set it.
    TFont previewFont_;
};

} // namespace Zentrel
