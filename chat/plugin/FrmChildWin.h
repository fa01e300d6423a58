#pragma once

#include "chat/ColorCodes.h"
#include "chat/NickList.h"
#include "chat/plugin/PluginHost.h"

#include <QByteArray>
#include <QPointer>

class TEdit;
class TListBox;
class TRxRichEdit;

namespace Zentrel {

class TMDIServer;

// The window of one channel, query or DCC chat, an MDI child of the host
// with its own tab, known to its server window by number.
//
// Until the chat windows are built, this is their stand-in: the
// conversation (colour codes shown), the nick list kept by the server
// window, and closing (which sends PART for a channel); typing, the nick
// menu, links and the activity icon come with them.
class TMDIChild : public TZentrelForm
{
    Q_OBJECT
public:
    TMDIChild(TMDIServer* server, int id, const QByteArray& caption, bool nickList);
    ~TMDIChild() override;

    int Id() const { return id_; }
    TMDIServer* Server() const { return server_; }
    // Freed by its server window without a PART (its connection closed, or
    // the server window goes).
    void Detach() { server_ = nullptr; }

    void SetCaptionBytes(const QByteArray& caption);
    QByteArray CaptionBytes() const { return caption_; }
    // One line through the colour decoder; past 150 lines the first 50 go.
    void AddLine(const QByteArray& text);
    void ApplyNickEdits(const TNickEdits& edits);

    TRxRichEdit* R_Chat;
    TListBox* lstNameList;
    TEdit* edtInputText;

protected:
    void FormClose(TCloseAction& action) override;
    void FormActivate() override;

private:
    QPointer<TMDIServer> server_;
    int id_;
    QByteArray caption_;
    TChatAppearance appearance_;
};

} // namespace Zentrel
