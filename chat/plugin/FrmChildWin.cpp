#include "chat/plugin/FrmChildWin.h"

#include "chat/ChatFiles.h"
#include "chat/U_GlobalConfig.h"
#include "chat/plugin/ColorRichText.h"
#include "chat/plugin/FrmColor.h"
#include "chat/plugin/FrmMDIServer.h"

#include "platform/Cp874.h"
#include "richtext/RichEditStrings.h"
#include "richtext/RxRichEd.h"
#include "toolkit/Controls.h"
#include "toolkit/Graphics.h"
#include "toolkit/ListBox.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace Zentrel {

namespace {

// The colour button's picture: four squares of the colour-code palette.
QIcon colorGlyph()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const int numbers[] = {4, 3, 12, 8}; // red, green, blue, yellow
    for (int i = 0; i < 4; ++i)
        p.fillRect((i % 2) * 8, (i / 2) * 8, 7, 7, ColorToQColor(ColorPalette[numbers[i]]));
    return QIcon(pixmap);
}

} // namespace

TMDIChild::TMDIChild(int id, const QByteArray& caption, TWindowKind kind)
    : id_(id), caption_(caption), kind_(kind), appearance_(Settings().Appearance())
{
    setObjectName(QStringLiteral("MDIChild"));
    SetFormStyle(fsMDIChild);
    SetWindowState(wsMaximized);
    SetCaption(Cp874::toUnicode(caption));
    const TZentrelSettings& s = Settings();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The conversation and, at the right, the nick list.
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    R_Chat = new TRxRichEdit(QStringLiteral("R_Chat"), Splitter1);
    R_Chat->SetReadOnly(true);
    R_Chat->SetWordWrap(s.ChatWordWrap);
    TFont font;
    font.Name = s.ChatFontName;
    font.Color = s.ChatFontColor;
    R_Chat->SetFont(font);
    R_Chat->SetColor(s.ChatBKColor);
    lstNameList = new TListBox(QStringLiteral("lstNameList"), Splitter1);
    lstNameList->SetMultiSelect(true);
    // The server window keeps the list in its order (operators, then voiced
    // users, then the rest, each without regard to case) and says where
    // each entry goes; the box itself does not sort.
    lstNameList->setVisible(kind == TWindowKind::Channel);
    Splitter1->addWidget(R_Chat);
    Splitter1->addWidget(lstNameList);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({600, 140});
    layout->addWidget(Splitter1, 1);

    // The command line with the colour button: the line 25 pixels from the
    // left, 2 from the top and 29 narrower than its panel, which is 4
    // pixels taller than the line.
    Panel1 = new TPanel(QStringLiteral("Panel1"), this);
    auto* bar = new QHBoxLayout(Panel1);
    bar->setContentsMargins(1, 2, 4, 2);
    bar->setSpacing(1);
    SpeedButton1 = new TToolButton(QStringLiteral("SpeedButton1"), Panel1);
    SpeedButton1->setIcon(colorGlyph());
    SpeedButton1->SetHint(QStringLiteral("แต่งแต้มสีสรร - Color Composition"));
    SpeedButton1->setFixedWidth(23);
    edtInputText = new TEdit(QStringLiteral("edtInputText"), Panel1);
    btnSend = new TButton(QStringLiteral("btnSend"), Panel1);
    btnSend->setDefault(true);
    btnSend->hide();
    bar->addWidget(SpeedButton1);
    bar->addWidget(edtInputText, 1);
    Panel1->setFixedHeight(edtInputText->sizeHint().height() + 4);
    SpeedButton1->setFixedHeight(edtInputText->sizeHint().height());
    layout->addWidget(Panel1);

    // The nick list and the command line in the conversation's colours.
    for (QWidget* w : {static_cast<QWidget*>(lstNameList), static_cast<QWidget*>(edtInputText)}) {
        QPalette palette = w->palette();
        palette.setColor(QPalette::Base, ColorToQColor(s.ChatBKColor));
        palette.setColor(QPalette::Text, ColorToQColor(s.ChatFontColor));
        w->setPalette(palette);
    }

    T_Offtimer = new QTimer(this);
    T_Offtimer->setObjectName(QStringLiteral("T_Offtimer"));
    T_Offtimer->setInterval(500);

    createPopupMenu();
    lstNameList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstNameList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu2->popup(lstNameList->viewport()->mapToGlobal(at));
    });
    // A channel's conversation offers the nick menu too.
    if (Kind() == TWindowKind::Channel)
        R_Chat->SetPopupMenu(PopupMenu2);
    createDccSockets();

    auto guarded = [this](void (TMDIChild::*handler)()) {
        return [this, handler] { Guard(this, [&] { (this->*handler)(); }); };
    };
    connect(edtInputText, &QLineEdit::returnPressed, btnSend, &QPushButton::click);
    connect(btnSend, &QPushButton::clicked, this, guarded(&TMDIChild::btnSendClick));
    connect(SpeedButton1, &QToolButton::clicked, this, guarded(&TMDIChild::SpeedButton1Click));
    connect(T_Offtimer, &QTimer::timeout, this, guarded(&TMDIChild::T_OfftimerTimer));
    connect(lstNameList, &TListBox::DblClick, this, guarded(&TMDIChild::lstNameListDblClick));
    R_Chat->LineLimit = ChatLogExcess;
    R_Chat->OnLinesAppended = [this](QObject*) { ScrollToEnd(); };
    R_Chat->OnURLClick = [this](QObject*, const QString& link, TMouseButton) {
        Guard(this, [&] { R_ChatURLClick(link); });
    };
    R_Chat->viewport()->installEventFilter(this);
    Host::AddWindow(this);
}

TMDIChild::~TMDIChild()
{
    // Nothing of the sockets or the timer reaches a window that is going.
    server_ = nullptr;
    T_Offtimer->stop();
    endDcc();
}

void TMDIChild::AttachToServer(TMDIServer* server)
{
    server_ = server;
    if (server)
        server->ChildAttached(this);
}

void TMDIChild::Detach()
{
    server_ = nullptr;
    T_Offtimer->stop();
    endDcc();
}

void TMDIChild::SetCaptionBytes(const QByteArray& caption)
{
    caption_ = caption;
    SetCaption(Cp874::toUnicode(caption));
}

void TMDIChild::AddLine(const QByteArray& text)
{
    // The conversation is read-only: it changes here only. The line goes in
    // through the control's own cursor, with the others of this turn of the
    // event loop, in one edit (the user's selection stays); past 150 lines
    // the first 50 go, and then the view scrolls to the end. The tab shows
    // activity, for 500 ms in a channel or in the window the user is in,
    // else until the window is activated.
    R_Chat->AppendLine(ColorLine(DecodeColorLine(QByteArrayView(text), appearance_)));
    T_Offtimer->stop();
    Host::SetBusyIcon(this);
    if (Kind() == TWindowKind::Channel || active_)
        T_Offtimer->start();
}

void TMDIChild::ScrollToEnd()
{
    // The last line in view. (The page-up and line-up steps that followed
    // on Windows 95, for its rich edit control, have no meaning here.)
    R_Chat->FlushLayout();
    QScrollBar* bar = R_Chat->verticalScrollBar();
    bar->setValue(bar->maximum());
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

QList<QByteArray> TMDIChild::SelectedNicks() const
{
    QList<QByteArray> out;
    for (const QString& entry : lstNameList->SelectedItems())
        out << Cp874::fromUnicode(entry);
    return out;
}

void TMDIChild::sendLine(const QByteArray& line)
{
    if (TMDIServer* server = server_)
        server->SendLine(line);
}

void TMDIChild::focusCommandLine()
{
    // Never activates the window: one that is not the current child (or is
    // being activated) focuses its command line once it is activated.
    FocusControl(edtInputText);
}

// ---------------------------------------------------------------------------
// The command line

void TMDIChild::btnSendClick()
{
    const QByteArray text = Cp874::fromUnicode(edtInputText->text());
    edtInputText->clear();
    focusCommandLine();
    // The server window sends and shows what the text asks for; what the
    // user typed shows at once (lines from the network wait for the end of
    // the event loop's turn).
    const QPointer<TMDIChild> self(this);
    if (TMDIServer* server = server_; server && !text.isEmpty())
        server->ChildCommandLine(id_, text);
    if (self)
        R_Chat->FlushLines();
}

void TMDIChild::SpeedButton1Click()
{
    const QPointer<TMDIChild> self(this);
    TF_Color::Execute([self](const QString& coded) {
        if (!self)
            return;
        self->edtInputText->setText(coded);
        self->btnSend->click();
    });
}

void TMDIChild::T_OfftimerTimer()
{
    Host::SetIdleIcon(this);
    T_Offtimer->stop();
}

// ---------------------------------------------------------------------------
// The conversation

void TMDIChild::R_ChatURLClick(const QString& link)
{
    const QByteArray bytes = Cp874::fromUnicode(link);
    const TLinkAction action = LinkClick(bytes);
    if (action.Join)
        sendLine(action.Line);
    else
        Host::OpenURL(bytes);
}

void TMDIChild::R_ChatMouseUp()
{
    const int start = R_Chat->SelStart();
    const int length = R_Chat->SelLength();
    if (length <= 0)
        return;
    R_Chat->copy();
    R_Chat->SetSelection(start + length, start + length, false);
}

bool TMDIChild::eventFilter(QObject* watched, QEvent* event)
{
    // The selection is copied once the control has seen the release.
    if (watched == R_Chat->viewport() && event->type() == QEvent::MouseButtonRelease)
        QTimer::singleShot(0, this, [this] { Guard(this, [this] { R_ChatMouseUp(); }); });
    return TZentrelForm::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Activation and closing

void TMDIChild::FormActivate()
{
    active_ = true;
    if (lstNameList->isHidden())
        Host::SetIdleIcon(this);
    ScrollToEnd();
    Host::ActivateWindow(this);
    // The unread mark goes.
    if (TMDIServer* server = server_)
        server->ChildActivated(id_);
    // Once the area has finished activating the frame (which focuses a
    // control of its own choice).
    focusCommandLine();
}

void TMDIChild::FormDeactivate()
{
    // The host's tab follows the window that became active; the command
    // line is the control to focus when this one is activated again.
    active_ = false;
    focusCommandLine();
}

void TMDIChild::FormClose(TCloseAction& action)
{
    Host::RemoveWindow(this);
    T_Offtimer->stop();
    endDcc();
    // The server window forgets it and, for a channel, sends PART.
    if (TMDIServer* server = server_.data()) {
        server_ = nullptr;
        server->ChildClosed(id_);
    }
    action = caFree;
}

} // namespace Zentrel
