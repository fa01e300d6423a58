#pragma once

#include "chat/DccOffer.h"
#include "chat/plugin/FrmDCC.h"
#include "chat/plugin/PluginHost.h"

#include <QPointer>
#include <QString>

class TButton;
class TLabel;

namespace Zentrel {

class TMDIServer;

// The prompt of one incoming DCC SEND offer: resume a partly received file,
// receive it from the start under a name nothing uses, or refuse it. With
// the DCCAutoReceive setting it chooses at once without showing itself
// (resuming only what this run left unfinished), unless the offer points
// where nothing connects without asking.
// Nothing that exists is ever deleted or overwritten. It stays on top, is
// centred on the screen, and frees itself (and the hidden transfer window
// it was given, when no choice took that) once closed.
class TF_DCCSAve : public TZentrelForm
{
    Q_OBJECT
public:
    enum TChoice { Cancelled = 0, Receive = 1, Resume = 2 };

    TF_DCCSAve();
    ~TF_DCCSAve() override;

    // The offer, and the name it is saved under in the receive folder (the
    // offered name made safe).
    void SetOffer(const TDccIncoming& offer, const QString& localName);
    // The server window the offer came through and the hidden transfer
    // window made for it.
    void SetWindows(TMDIServer* server, TF_DCC* transfer);
    // Decides whether resuming is possible, then shows the prompt or, with
    // DCCAutoReceive, makes the choice.
    void ShowOffer();

    void B_ResumeClick();
    void B_recvClick();
    void Button3Click();

    int Choice() const { return choice_; }
    TF_DCC* Transfer() const { return transfer_; }

    // Every prompt alive, in creation order.
    static QList<TF_DCCSAve*> Prompts();

    TLabel* Label1;
    TLabel* L_FileName;
    TButton* B_Resume;
    TButton* B_recv;
    TButton* Button3;

protected:
    void FormClose(TCloseAction& action) override;

private:
    TDccSavePlan plan() const;
    void statusLine(const QByteArray& line);
    // Asks the sender to resume `path` from `position` and waits for its
    // ACCEPT; receives into a new file at `path`.
    void resume(const QString& path, quint64 position);
    void receive(const QString& path);
    // Why auto-receive may not connect where the offer points (empty: it may).
    QByteArray autoRefusal() const;
    QByteArray offerText() const;

    int choice_ = Cancelled;
    TDccIncoming offer_;
    QString localName_;
    QString folder_;
    QPointer<TMDIServer> server_;
    QPointer<TF_DCC> transfer_;
};

// A DCC SEND offer the server window has parsed and accepted for asking:
// a hidden transfer window and its prompt.
void ShowDccSendOffer(TMDIServer* server, const QByteArray& nick, const TDccOffer& offer,
                      const QString& localName);

// Frees every prompt (and the transfer windows they hold).
void EndDccOfferPrompts();

} // namespace Zentrel
