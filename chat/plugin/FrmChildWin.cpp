#include "chat/plugin/FrmChildWin.h"

#include "chat/ChatFiles.h"
#include "chat/U_GlobalConfig.h"
#include "chat/plugin/ColorRichText.h"
#include "chat/plugin/FrmMDIServer.h"

#include "platform/Cp874.h"
#include "richtext/RichEditStrings.h"
#include "richtext/RxRichEd.h"
#include "toolkit/Controls.h"
#include "toolkit/ListBox.h"

#include <QHBoxLayout>
#include <QScrollBar>
#include <QVBoxLayout>

namespace Zentrel {

TMDIChild::TMDIChild(TMDIServer* server, int id, const QByteArray& caption, bool nickList)
    : server_(server), id_(id), caption_(caption), appearance_(Settings().Appearance())
{
    setObjectName(QStringLiteral("MDIChild"));
    SetFormStyle(fsMDIChild);
    SetWindowState(wsMaximized);
    SetCaption(Cp874::toUnicode(caption));
    const TZentrelSettings& s = Settings();
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    R_Chat = new TRxRichEdit(QStringLiteral("R_Chat"), this);
    R_Chat->SetReadOnly(true);
    R_Chat->SetWordWrap(s.ChatWordWrap);
    TFont font;
    font.Name = s.ChatFontName;
    font.Color = s.ChatFontColor;
    R_Chat->SetFont(font);
    R_Chat->SetColor(s.ChatBKColor);
    lstNameList = new TListBox(QStringLiteral("lstNameList"), this);
    lstNameList->SetMultiSelect(true);
    lstNameList->setMaximumWidth(140);
    lstNameList->setVisible(nickList);
    row->addWidget(R_Chat, 1);
    row->addWidget(lstNameList);
    layout->addLayout(row, 1);
    edtInputText = new TEdit(QStringLiteral("edtInputText"), this);
    layout->addWidget(edtInputText);
    Host::AddWindow(this);
    Host::SetCaption(this, caption);
}

TMDIChild::~TMDIChild() = default;

void TMDIChild::SetCaptionBytes(const QByteArray& caption)
{
    caption_ = caption;
    SetCaption(Cp874::toUnicode(caption));
}

void TMDIChild::AddLine(const QByteArray& text)
{
    AddColorLine(*R_Chat, QByteArrayView(text), appearance_);
    if (const int excess = ChatLogExcess(R_Chat->Lines()->Count())) {
        for (int i = 0; i < excess; ++i)
            R_Chat->Lines()->Delete(0);
    }
    R_Chat->verticalScrollBar()->setValue(R_Chat->verticalScrollBar()->maximum());
}

void TMDIChild::ApplyNickEdits(const TNickEdits& edits)
{
    for (const TNickEdit& e : edits) {
        switch (e.op) {
        case TNickEdit::Insert:
            lstNameList->Insert(e.index, Cp874::toUnicode(e.entry));
            break;
        case TNickEdit::Remove:
            lstNameList->Delete(e.index);
            break;
        case TNickEdit::Clear:
            lstNameList->Clear();
            break;
        }
    }
}

void TMDIChild::FormClose(TCloseAction& action)
{
    Host::RemoveWindow(this);
    if (TMDIServer* server = server_.data()) {
        server_ = nullptr;
        server->ChildClosed(id_);
    }
    action = caFree;
}

void TMDIChild::FormActivate()
{
    Host::ActivateWindow(this);
    if (server_)
        server_->ChildActivated(id_);
}

} // namespace Zentrel
