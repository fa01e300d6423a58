#include "chat/plugin/FrmMain.h"

#include "chat/plugin/FrmBoxColor.h"

#include "platform/MessageBox.h"
#include "richtext/RichEditStrings.h"
#include "richtext/RxRichEd.h"
#include "toolkit/ColorGrid.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/Controls.h"
#include "toolkit/FontDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>

namespace Zentrel {

namespace {

template <typename F> auto guarded(QObject* form, F handler)
{
    return [form, handler] { Guard(form, handler); };
}

TEdit* edit(const char* name, QWidget* parent)
{
    return new TEdit(QString::fromLatin1(name), parent);
}

TLabel* label(const QString& caption, QWidget* parent, const char* name = "")
{
    auto* l = new TLabel(QString::fromLatin1(name), parent);
    l->SetCaption(caption);
    return l;
}

} // namespace

TF_Main::TF_Main() : TZentrelForm(nullptr, Qt::Tool)
{
    setObjectName(QStringLiteral("F_ZentrelSetup"));
    SetCaption(QStringLiteral("IRC Plugin"));
    auto* layout = new QVBoxLayout(this);

    PageControl1 = new TPageControl(QStringLiteral("PageControl1"), this);
    layout->addWidget(PageControl1, 1);

    // Connection.
    TabSheet1 = new TTabSheet(QStringLiteral("TabSheet1"), PageControl1);
    TabSheet1->SetCaption(QStringLiteral("ปรับแต่งการติดต่อ"));
    auto* connection = new QVBoxLayout(TabSheet1);
    Memo1 = new TMemo(QStringLiteral("Memo1"), TabSheet1);
    Memo1->setReadOnly(true);
    Memo1->Lines()->Assign({QStringLiteral("เปิดการติดต่อกับ IRC Server โดยพิมพ์ irc: ตามด้วยชื่อ "
                                           "Server ในช่อง Address ของหน้าต่าง Browser"),
                            QStringLiteral("เช่น irc:irc.example.net หรือ "
                                           "irc:nick@irc.example.net:6667#channel")});
    Memo1->setMaximumHeight(64);
    connection->addWidget(Memo1);
    auto* portRow = new QHBoxLayout;
    Label1 = label(QStringLiteral("IRC Port"), TabSheet1, "Label1");
    E_IRCPort = edit("E_IRCPort", TabSheet1);
    Label2 = label(QStringLiteral("ค่ามาตรฐาน = 6667"), TabSheet1, "Label2");
    portRow->addWidget(Label1);
    portRow->addWidget(E_IRCPort);
    portRow->addWidget(Label2);
    connection->addLayout(portRow);
    ChB_UseSock = new TCheckBox(QStringLiteral("ChB_UseSock"), TabSheet1);
    ChB_UseSock->SetCaption(QStringLiteral("ใช้ SOCK Server?"));
    connection->addWidget(ChB_UseSock);
    GB_SockInfo = new TGroupBox(QStringLiteral("GB_SockInfo"), TabSheet1);
    auto* sockInfo = new QFormLayout(GB_SockInfo);
    CB_SockType = new TComboBox(QStringLiteral("CB_SockType"), GB_SockInfo);
    CB_SockType->setEditable(false);
    CB_SockType->Items()->Assign({QStringLiteral("Sock 4"), QStringLiteral("Sock 5")});
    E_Sock5Server = edit("E_Sock5Server", GB_SockInfo);
    E_SockPort = edit("E_SockPort", GB_SockInfo);
    sockInfo->addRow(QStringLiteral("Sock Type"), CB_SockType);
    sockInfo->addRow(QStringLiteral("Sock Server"), E_Sock5Server);
    sockInfo->addRow(QStringLiteral("Sock Port"), E_SockPort);
    GB_SockAuth = new TGroupBox(QStringLiteral("GB_SockAuth"), GB_SockInfo);
    GB_SockAuth->SetCaption(QStringLiteral("Sock 5 Authentication"));
    auto* auth = new QFormLayout(GB_SockAuth);
    E_Sock5UserName = edit("E_Sock5UserName", GB_SockAuth);
    E_Sock5PW = edit("E_Sock5PW", GB_SockAuth);
    E_Sock5PW->setEchoMode(QLineEdit::Password);
    auth->addRow(QStringLiteral("User Name"), E_Sock5UserName);
    auth->addRow(QStringLiteral("Password"), E_Sock5PW);
    sockInfo->addRow(GB_SockAuth);
    connection->addWidget(GB_SockInfo);
    connection->addStretch(1);

    // Appearance.
    TabSheet2 = new TTabSheet(QStringLiteral("TabSheet2"), PageControl1);
    TabSheet2->SetCaption(QStringLiteral("ปรับแต่งหน้าตา"));
    auto* look = new QVBoxLayout(TabSheet2);
    PreviewChat = new TRxRichEdit(QStringLiteral("PreviewChat"), TabSheet2);
    PreviewChat->SetReadOnly(true);
    PreviewChat->SetAutoURLDetect(false);
    look->addWidget(PreviewChat, 1);
    auto* buttons = new QHBoxLayout;
    SpeedButton1 = new TToolButton(QStringLiteral("SpeedButton1"), TabSheet2);
    SpeedButton1->SetCaption(QStringLiteral("รูปแบบอักษร "));
    SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    SpeedButton2 = new TToolButton(QStringLiteral("SpeedButton2"), TabSheet2);
    SpeedButton2->SetCaption(QStringLiteral("สีพื้น"));
    SpeedButton2->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ChB_WordWrap = new TCheckBox(QStringLiteral("ChB_WordWrap"), TabSheet2);
    ChB_WordWrap->SetCaption(QStringLiteral("ตัดคำอัตโนมัติ"));
    buttons->addWidget(SpeedButton1);
    buttons->addWidget(SpeedButton2);
    buttons->addWidget(ChB_WordWrap);
    buttons->addStretch(1);
    look->addLayout(buttons);

    // DCC.
    TabSheet3 = new TTabSheet(QStringLiteral("TabSheet3"), PageControl1);
    TabSheet3->SetCaption(QStringLiteral("DCC"));
    auto* dcc = new QFormLayout(TabSheet3);
    E_DccDirectory = edit("E_DccDirectory", TabSheet3);
    dcc->addRow(label(QStringLiteral("Directory รับแฟ้มข้อมูล"), TabSheet3, "Label3"), E_DccDirectory);
    auto* blockRow = new QHBoxLayout;
    E_DccBlock = edit("E_DccBlock", TabSheet3);
    blockRow->addWidget(E_DccBlock);
    blockRow->addWidget(label(QStringLiteral("ค่ามาตรฐาน = 1024"), TabSheet3, "Label4"));
    dcc->addRow(QStringLiteral("Block"), blockRow);
    ChB_DCCAutoReceive = new TCheckBox(QStringLiteral("ChB_DCCAutoReceive"), TabSheet3);
    ChB_DCCAutoReceive->SetCaption(QStringLiteral("รับแฟ้มข้อมูลอัตโนมัติ"));
    dcc->addRow(ChB_DCCAutoReceive);

    auto* bottom = new QHBoxLayout;
    Button1 = new TButton(QStringLiteral("Button1"), this);
    Button1->SetCaption(QStringLiteral("ตกลง"));
    Button1->setDefault(true);
    Button2 = new TButton(QStringLiteral("Button2"), this);
    Button2->SetCaption(QStringLiteral("ยกเลิก"));
    bottom->addStretch(1);
    bottom->addWidget(Button1);
    bottom->addWidget(Button2);
    layout->addLayout(bottom);

    connect(Button1, &QPushButton::clicked, this, guarded(this, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, guarded(this, [this] { Button2Click(); }));
    connect(ChB_UseSock, &QCheckBox::toggled, this, guarded(this, [this] { ChB_UseSockClick(); }));
    connect(CB_SockType, &QComboBox::currentIndexChanged, this,
            guarded(this, [this] { CB_SockTypeChange(); }));
    connect(SpeedButton1, &QToolButton::clicked, this,
            guarded(this, [this] { SpeedButton1Click(); }));
    connect(SpeedButton2, &QToolButton::clicked, this,
            guarded(this, [this] { SpeedButton2Click(); }));
    connect(ChB_WordWrap, &QCheckBox::toggled, this,
            guarded(this, [this] { ChB_WordWrapClick(); }));
    resize(440, 360);
}

void TF_Main::LoadControls(const TZentrelSettings& s)
{
    E_IRCPort->setText(s.IRCPort);
    ChB_UseSock->setChecked(s.UseSock);
    CB_SockType->setCurrentIndex(s.SockLevel != 0 ? 1 : 0);
    E_Sock5UserName->setText(s.Sock5User);
    E_Sock5PW->setText(s.Sock5PW);
    E_Sock5Server->setText(s.Sock5Address);
    E_SockPort->setText(s.SockPort);
    TFont font;
    font.Name = s.ChatFontName;
    font.Color = s.ChatFontColor;
    font.Size = PreviewChat->Font().Size;
    showPreview(font, s.ChatBKColor);
    ChB_WordWrap->setChecked(s.ChatWordWrap);
    PreviewChat->SetWordWrap(s.ChatWordWrap);
    E_DccDirectory->setText(s.DCCDirectory);
    E_DccBlock->setText(QString::number(s.DCCBlock));
    ChB_DCCAutoReceive->setChecked(s.DCCAutoReceive);
    ChB_UseSockClick();
    CB_SockTypeChange();
}

bool TF_Main::StoreControls(TZentrelSettings& s, QString* error) const
{
    // Every field is checked before any is stored.
    int block = 0;
    if (!DCCBlockFromText(E_DccBlock->text(), &block)) {
        if (error)
            *error = QStringLiteral("'%1' is not a valid integer value").arg(E_DccBlock->text());
        return false;
    }
    s.IRCPort = E_IRCPort->text();
    s.UseSock = ChB_UseSock->isChecked();
    s.SockLevel = CB_SockType->currentIndex() > 0 ? 1 : 0;
    s.Sock5User = E_Sock5UserName->text();
    s.Sock5PW = E_Sock5PW->text();
    s.Sock5Address = E_Sock5Server->text();
    s.SockPort = E_SockPort->text();
    s.ChatBKColor = PreviewChat->Color();
    s.ChatFontName = previewFont_.Name;
    s.ChatFontColor = previewFont_.Color;
    s.ChatWordWrap = PreviewChat->WordWrap();
    s.DCCDirectory = E_DccDirectory->text();
    s.DCCBlock = block;
    s.DCCAutoReceive = ChB_DCCAutoReceive->isChecked();
    return true;
}

void TF_Main::showPreview(const TFont& font, TColor background)
{
    previewFont_ = font;
    PreviewChat->SetColor(background);
    PreviewChat->SetFont(font);
    PreviewChat->Lines()->Assign({QStringLiteral("<Somchai> สวัสดีครับ ทุกคน"),
                                  QStringLiteral("<Malee> hello, how are you?"),
                                  QStringLiteral("* Somchai waves to Malee")});
}

void TF_Main::Button1Click()
{
    TZentrelSettings next = Settings();
    QString error;
    if (!StoreControls(next, &error)) {
        MessageBoxService::MessageBox(this, error, QStringLiteral("Error"),
                                      MessageBoxService::MB_OK | MessageBoxService::MB_ICONERROR);
        return; // the dialog stays open, nothing stored
    }
    Settings() = next;
    QString why;
    if (!SaveConfig(Settings(), &why) && !why.isEmpty())
        qWarning("Zentrel: settings not written: %s", qPrintable(why));
    SetModalResult(mrOk);
}

void TF_Main::Button2Click()
{
    SetModalResult(mrCancel);
}

void TF_Main::ChB_UseSockClick()
{
    GB_SockInfo->setVisible(ChB_UseSock->isChecked());
}

void TF_Main::CB_SockTypeChange()
{
    GB_SockAuth->setVisible(CB_SockType->currentIndex() == 1);
}

// The pickers run event loops of their own, in which the plug-in may be
// stopped and its forms freed (this one among them): each checks what it
// holds when its loop returns.

void TF_Main::SpeedButton1Click()
{
    const QPointer<TF_Main> self(this);
    TFontDialog dialog;
    dialog.Font = previewFont_;
    if (dialog.Execute(this) && self)
        showPreview(dialog.Font, PreviewChat->Color());
}

void TF_Main::SpeedButton2Click()
{
    const QPointer<TF_Main> self(this);
    const QPointer<TF_BoxColor> box = new TF_BoxColor();
    box->CG_Color->SetForegroundColor(PreviewChat->Color());
    box->ShowModal();
    if (!box)
        return;
    const TColor chosen = box->CG_Color->ForegroundColor();
    delete box.data();
    if (self)
        showPreview(previewFont_, chosen);
}

void TF_Main::ChB_WordWrapClick()
{
    PreviewChat->SetWordWrap(ChB_WordWrap->isChecked());
}

void TF_Main::Execute()
{
    // The plug-in's Done may free the dialog while it is up.
    const QPointer<TF_Main> form = new TF_Main();
    form->LoadControls(Settings());
    form->CenterOnScreen();
    form->ShowModal();
    delete form.data();
}

} // namespace Zentrel
