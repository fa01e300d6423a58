#pragma once

#include "chat/plugin/PluginHost.h"

#include <QByteArray>

#include <functional>

class TButton;
class TLabel;

namespace Zentrel {

// "DCC Chat Request": asks whether to accept a DCC CHAT offer. Dialog-styled,
// on top, in the screen centre, without owner; it frees itself when closed.
class TF_DccChat : public TZentrelForm
{
    Q_OBJECT
public:
    TF_DccChat();

    // Shows the nick and "address:port" application-modal and returns at
    // once; `answer` gets true when Accept closes it, false when Discard or
    // anything else does. It is not called when the prompt is freed without
    // being closed (the plug-in's Done): no event loop of the prompt's own
    // runs inside the caller, so nothing waits on a prompt that is gone.
    void AskAccept(const QByteArray& nick, const QByteArray& address, quint16 port,
                   std::function<void(bool)> answer);
    bool Accepted() const { return accepted_; }

    TLabel* Label5;
    TLabel* Label1;
    TLabel* L_Name;
    TLabel* Label3;
    TLabel* L_IP;
    TButton* BitBtn2;
    TButton* BitBtn1;

    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void FormClose(TCloseAction& action) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool accepted_ = false;
    std::function<void(bool)> answer_;
};

} // namespace Zentrel
