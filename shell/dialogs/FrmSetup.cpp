#include "shell/dialogs/FrmSetup.h"

#include "platform/MessageBox.h"
#include "shell/browser/BrowserHost.h"
#include "shell/browser/FrmBrowser.h"
#include "shell/data/AlLanguager.h"
#include "shell/data/ShellData.h"
#include "shell/favorites/FrmEnterURLData.h"
#include "shell/navigation/U_Plugins.h"
#include "toolkit/Controls.h"
#include "toolkit/StandardIcons.h"

#include <QFontDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <limits>

QPointer<TF_Setup> F_Setup;

namespace {

TBannerEntryDialog& bannerEntryDialog()
{
    static TBannerEntryDialog dialog;
    return dialog;
}

TCurrentPageSource& currentPageSource()
{
    static TCurrentPageSource source;
    return source;
}

bool runBannerEntryDialog(QString& name, QString& url)
{
    if (bannerEntryDialog())
        return bannerEntryDialog()(name, url);
    // The favorites' entry dialog, without its group choice.
    if (!F_EnterURLData)
        F_EnterURLData = new TF_EnterURLData(nullptr);
    F_EnterURLData->E_WebName->setText(name);
    F_EnterURLData->E_URL->setText(url);
    if (!F_EnterURLData->ExecuteEdit())
        return false;
    name = F_EnterURLData->E_WebName->text();
    url = F_EnterURLData->E_URL->text();
    return true;
}

} // namespace

void SetBannerEntryDialog(TBannerEntryDialog dialog)
{
    bannerEntryDialog() = std::move(dialog);
}

void SetCurrentPageSource(TCurrentPageSource source)
{
    currentPageSource() = std::move(source);
}

EConvertError::EConvertError(const QString& field, const QString& message)
    : std::runtime_error(message.toStdString()), Field(field), Message(message)
{}

int SetupIntegerField(const QString& field, const QString& text, int low, int high)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        throw EConvertError(field, QStringLiteral("'%1' is not a valid integer value").arg(text));
    if (value < low || value > high)
        throw EConvertError(
            field, QStringLiteral("ค่า %1 ต้องอยู่ระหว่าง %2 ถึง %3").arg(value).arg(low).arg(high));
    return value;
}

QString F_SetupLocalization()
{
    return BuildLocalizationString({
        {"*_*f_setup_caption", QStringLiteral("ปรับแต่งค่าโปรแกรม")},
        {"*_*button1_caption", QStringLiteral("ตกลง")},
        {"*_*button2_caption", QStringLiteral("ยกเลิก")},
        {"*_*button3_caption", QStringLiteral("เลือก")},
        {"*_*groupbox1_caption", QStringLiteral("หน้าแรกเมื่อเปิดหน้าต่างใหม่")},
        {"*_*chb_usespash_caption", QStringLiteral("แสดงหน้าจอต้อนรับเมื่อเริ่มโปรแกรม")},
        {"*_*chb_usebanner_caption", QStringLiteral("ปิดหน้าต่างโฆษณาอัตโนมัติ")},
        {"*_*chb_usecc_caption", QStringLiteral("จดจำ URL ที่เคยเปิด")},
        {"*_*g_maxurl_caption", QStringLiteral("จำนวน URL ที่จดจำได้สูงสุด")},
        {"*_*label4_caption",
         QStringLiteral("คำเตือน: ยิ่งเก็บ URL ไว้มาก โปรแกรมจะทำงานช้าลงและใช้หน่วยความจำมากขึ้น")},
        {"*_*chb_usefav_caption", QStringLiteral("เปิดสารบัญเว็บเมื่อเริ่มโปรแกรม")},
        {"*_*chb_usetelnet_caption", QStringLiteral("ใช้ Telnet ของโปรแกรม")},
        {"*_*chb_newwindowmaximize_caption", QStringLiteral("เปิดหน้าต่างใหม่แบบเต็มจอ")},
        {"*_*chb_defaultthaicodepage_caption", QStringLiteral("ใช้รหัสภาษาไทยเป็นค่าเริ่มต้น")},
        {"*_*label1_caption", QStringLiteral("จำนวนคอลัมน์")},
        {"*_*label2_caption", QStringLiteral("จำนวนแถว")},
        {"*_*label3_caption", QStringLiteral("ตัวอักษร")},
        {"*_*sb_addbanner_caption", QStringLiteral("เพิ่ม")},
        {"*_*sb_delbanner_caption", QStringLiteral("ลบ")},
        {"*_*sb_editbanner_caption", QStringLiteral("แก้ไข")},
        {"*_*sb_refreshplugins_caption", QStringLiteral("Refresh")},
        {"*_*sb_plugsetup_caption", QStringLiteral("ปรับแต่ง")},
    });
}

TF_Setup::TF_Setup(TBrowserHost& host, QWidget* parent)
    : TForm(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), host_(host)
{
    setObjectName(QStringLiteral("F_Setup"));
    SetCaption(QStringLiteral("ปรับแต่งค่าโปรแกรม"));
    setFixedSize(566, 381);

    LV_Select = new QListWidget(this);
    LV_Select->setObjectName(QStringLiteral("LV_Select"));
    LV_Select->setViewMode(QListView::IconMode);
    LV_Select->setFlow(QListView::TopToBottom);
    LV_Select->setMovement(QListView::Static);
    LV_Select->setIconSize(QSize(32, 32));
    LV_Select->setFixedWidth(130);
    LV_Select->setCursor(Qt::PointingHandCursor);
    const QStyle::StandardPixmap pageIcons[] = {
        QStyle::SP_ComputerIcon, QStyle::SP_MessageBoxCritical, QStyle::SP_DriveNetIcon,
        QStyle::SP_FileDialogContentsView, QStyle::SP_DriveNetIcon};
    const char* pageNames[] = {"Program Customization", "Banner Filter Manager", "Telnet",
                               "Plugins", "Internet Setting"};
    for (int i = 0; i < 5; ++i)
        new QListWidgetItem(StandardIcon(pageIcons[i]), QLatin1String(pageNames[i]), LV_Select);
    // There is no control panel of Internet options on this platform.
    LV_Select->item(4)->setHidden(true);

    PC_Select = new QTabWidget(this);
    PC_Select->setObjectName(QStringLiteral("PC_Select"));
    PC_Select->tabBar()->hide();
    TabSheet1 = new QWidget;
    TabSheet2 = new QWidget;
    TabSheet3 = new QWidget;
    TabSheet4 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
    PC_Select->addTab(TabSheet1, QStringLiteral("TabSheet1"));
    PC_Select->addTab(TabSheet2, QStringLiteral("TabSheet2"));
    PC_Select->addTab(TabSheet3, QStringLiteral("TabSheet3"));
    PC_Select->addTab(TabSheet4, QStringLiteral("TabSheet4"));

    // Program page.
    GroupBox1 = new TGroupBox(QStringLiteral("GroupBox1"), TabSheet1);
    auto radio = [&](const char* name, const QString& text) {
        auto* b = new QRadioButton(text, GroupBox1);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    RB_NoStartPage = radio("RB_NoStartPage", QStringLiteral("หน้าว่าง"));
    RB_IEStartPage = radio("RB_IEStartPage", QStringLiteral("หน้าแรกของเครื่องมือเปิดเว็บ"));
    RB_SFStartPage = radio("RB_SFStartPage", QStringLiteral("หน้าแรกของ Brevant++"));
    RB_CustomStartPage = radio("RB_CustomStartPage", QStringLiteral("กำหนดเอง"));
    E_StartPage = new TEdit(QStringLiteral("E_StartPage"), GroupBox1);
    auto* startBox = new QGridLayout(GroupBox1);
    startBox->addWidget(RB_NoStartPage, 0, 0);
    startBox->addWidget(RB_IEStartPage, 0, 1);
    startBox->addWidget(RB_SFStartPage, 1, 0);
    startBox->addWidget(RB_CustomStartPage, 1, 1);
    startBox->addWidget(E_StartPage, 2, 0, 1, 2);

    ChB_UseSpash = new TCheckBox(QStringLiteral("ChB_UseSpash"), TabSheet1);
    ChB_UseBanner = new TCheckBox(QStringLiteral("ChB_UseBanner"), TabSheet1);
    ChB_UseCC = new TCheckBox(QStringLiteral("ChB_UseCC"), TabSheet1);
    G_MaxURL = new TGroupBox(QStringLiteral("G_MaxURL"), TabSheet1);
    E_MaxURL = new TEdit(QStringLiteral("E_MaxURL"), G_MaxURL);
    Label4 = new TLabel(QStringLiteral("Label4"), G_MaxURL);
    Label4->setWordWrap(true);
    QPalette maroon = Label4->palette();
    maroon.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x00));
    Label4->setPalette(maroon);
    auto* maxBox = new QHBoxLayout(G_MaxURL);
    maxBox->addWidget(E_MaxURL);
    maxBox->addWidget(Label4, 1);
    ChB_UseFav = new TCheckBox(QStringLiteral("ChB_UseFav"), TabSheet1);
    ChB_UseTelnet = new TCheckBox(QStringLiteral("ChB_UseTelnet"), TabSheet1);
    ChB_newWindowMaximize = new TCheckBox(QStringLiteral("ChB_newWindowMaximize"), TabSheet1);
    ChB_DefaultThaiCodePage = new TCheckBox(QStringLiteral("ChB_DefaultThaiCodePage"), TabSheet1);
    auto* page1 = new QVBoxLayout(TabSheet1);
    page1->addWidget(GroupBox1);
    for (QWidget* w : std::initializer_list<QWidget*>{
             ChB_UseSpash, ChB_UseBanner, ChB_UseCC, G_MaxURL, ChB_UseFav, ChB_UseTelnet,
             ChB_newWindowMaximize, ChB_DefaultThaiCodePage})
        page1->addWidget(w);
    page1->addStretch();

    // Banner page.
    LV_Banner = new TListView(QStringLiteral("LV_Banner"), TabSheet2);
    LV_Banner->setRootIsDecorated(false);
    LV_Banner->setSelectionBehavior(QAbstractItemView::SelectRows);
    LV_Banner->setSelectionMode(QAbstractItemView::SingleSelection);
    LV_Banner->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LV_Banner->setColumnCount(2);
    LV_Banner->setHeaderLabels(
        {QStringLiteral("Title เว็บที่ต้องการปิดอัตโนมัติ"), QStringLiteral("URL ของเว็บที่ต้องการปิดอัตโนมัติ")});
    LV_Banner->setColumnWidth(0, 232);
    LV_Banner->header()->setStretchLastSection(true);
    SB_AddBanner = new TToolButton(QStringLiteral("SB_AddBanner"), TabSheet2);
    SB_DelBanner = new TToolButton(QStringLiteral("SB_DelBanner"), TabSheet2);
    SB_EditBanner = new TToolButton(QStringLiteral("SB_EditBanner"), TabSheet2);
    SB_DelBanner->setEnabled(false);
    SB_EditBanner->setEnabled(false);
    auto* bannerButtons = new QHBoxLayout;
    bannerButtons->addWidget(SB_AddBanner);
    bannerButtons->addWidget(SB_DelBanner);
    bannerButtons->addWidget(SB_EditBanner);
    bannerButtons->addStretch();
    auto* page2 = new QVBoxLayout(TabSheet2);
    page2->addWidget(LV_Banner);
    page2->addLayout(bannerButtons);

    // Terminal page.
    Label1 = new TLabel(QStringLiteral("Label1"), TabSheet3);
    Label2 = new TLabel(QStringLiteral("Label2"), TabSheet3);
    Label3 = new TLabel(QStringLiteral("Label3"), TabSheet3);
    E_TCols = new TEdit(QStringLiteral("E_TCols"), TabSheet3);
    E_TRows = new TEdit(QStringLiteral("E_TRows"), TabSheet3);
    E_TFont = new TEdit(QStringLiteral("E_TFont"), TabSheet3);
    E_TFont->setReadOnly(true);
    E_TFont->setBackgroundRole(QPalette::Button);
    Button3 = new TButton(QStringLiteral("Button3"), TabSheet3);
    auto* page3 = new QGridLayout(TabSheet3);
    page3->addWidget(Label1, 0, 0);
    page3->addWidget(E_TCols, 0, 1);
    page3->addWidget(Label2, 1, 0);
    page3->addWidget(E_TRows, 1, 1);
    page3->addWidget(Label3, 2, 0);
    page3->addWidget(E_TFont, 2, 1);
    page3->addWidget(Button3, 2, 2);
    page3->setRowStretch(3, 1);

    // Plug-ins page.
    LV_Plugins = new QListWidget(TabSheet4);
    LV_Plugins->setObjectName(QStringLiteral("LV_Plugins"));
    LV_Plugins->setViewMode(QListView::IconMode);
    LV_Plugins->setMovement(QListView::Static);
    LV_Plugins->setResizeMode(QListView::Adjust);
    LV_Plugins->setIconSize(QSize(32, 32));
    LV_Plugins->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SB_RefreshPlugins = new TToolButton(QStringLiteral("SB_RefreshPlugins"), TabSheet4);
    SB_PlugSetup = new TToolButton(QStringLiteral("SB_PlugSetup"), TabSheet4);
    SB_PlugSetup->setEnabled(false);
    auto* pluginButtons = new QHBoxLayout;
    pluginButtons->addWidget(SB_RefreshPlugins);
    pluginButtons->addWidget(SB_PlugSetup);
    pluginButtons->addStretch();
    auto* page4 = new QVBoxLayout(TabSheet4);
    page4->addWidget(LV_Plugins);
    page4->addLayout(pluginButtons);

    Button1 = new TButton(QStringLiteral("Button1"), this);
    Button2 = new TButton(QStringLiteral("Button2"), this);
    Button1->setDefault(true);
    AL_Language = new TAlLanguager(this, QStringLiteral("AL_Language"));

    auto* top = new QHBoxLayout;
    top->addWidget(LV_Select);
    top->addWidget(PC_Select, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &TF_Setup::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TF_Setup::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TF_Setup::Button3Click);
    for (QRadioButton* b : {RB_NoStartPage, RB_IEStartPage, RB_SFStartPage})
        connect(b, &QRadioButton::clicked, this, &TF_Setup::RB_NoStartPageClick);
    connect(RB_CustomStartPage, &QRadioButton::clicked, this, &TF_Setup::RB_CustomStartPageClick);
    connect(ChB_UseCC, &QCheckBox::clicked, this, &TF_Setup::ChB_UseCCClick);
    connect(LV_Select, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { LV_SelectSelectItem(LV_Select->row(item)); });
    connect(PC_Select, &QTabWidget::currentChanged, this, &TF_Setup::pageChanged);
    connect(LV_Banner, &QTreeWidget::itemSelectionChanged, this, &TF_Setup::LV_BannerSelectItem);
    connect(SB_AddBanner, &QToolButton::clicked, this, &TF_Setup::SB_AddBannerClick);
    connect(SB_EditBanner, &QToolButton::clicked, this, &TF_Setup::SB_EditBannerClick);
    connect(SB_DelBanner, &QToolButton::clicked, this, &TF_Setup::SB_DelBannerClick);
    connect(SB_RefreshPlugins, &QToolButton::clicked, this, &TF_Setup::SB_RefreshPluginsClick);
    connect(LV_Plugins, &QListWidget::itemSelectionChanged, this, &TF_Setup::LV_PluginsSelectItem);
    connect(SB_PlugSetup, &QToolButton::clicked, this, &TF_Setup::SB_PlugSetupClick);

    AL_Language->SetLanguagesStore(host_.LanguagesStore());
    AL_Language->SetLocalizationString(F_SetupLocalization());
}

void TF_Setup::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (!event->spontaneous())
        ShowSettings();
}

void TF_Setup::ShowSettings()
{
    const TBrowserSettings& s = host_.BrowserSettings();
    E_StartPage->hide();
    QRadioButton* const starts[] = {RB_NoStartPage, RB_IEStartPage, RB_SFStartPage,
                                    RB_CustomStartPage};
    for (QRadioButton* b : starts)
        b->setAutoExclusive(false), b->setChecked(false), b->setAutoExclusive(true);
    if (s.StartMode >= 0 && s.StartMode <= 3)
        starts[s.StartMode]->setChecked(true);
    // The address stays in the edit whatever the mode: OK takes it back.
    E_StartPage->setText(s.StartURL);
    if (s.StartMode == 3)
        E_StartPage->show();
    ChB_UseSpash->setChecked(s.UseSpash);
    ChB_UseBanner->setChecked(s.UseBanner);
    ChB_UseCC->setChecked(s.UseCC);
    G_MaxURL->setVisible(s.UseCC);
    E_MaxURL->setText(QString::number(s.MaxURLSave));
    ChB_UseFav->setChecked(s.OpenFav);
    ChB_UseTelnet->setChecked(s.UseTelnet);
    ChB_newWindowMaximize->setChecked(s.NewWindowMaximize);
    ChB_DefaultThaiCodePage->setChecked(s.DefaultThaiCodePage);
    E_TCols->setText(QString::number(s.TCols));
    E_TRows->setText(QString::number(s.TRows));
    E_TFont->setText(s.TFont);
    FD_Font = QFont(s.TFont);
    if (s.TFontSize > 0)
        FD_Font.setPointSize(s.TFontSize);
}

void TF_Setup::TakeSettings()
{
    TBrowserSettings& s = host_.BrowserSettings();
    // Every field is checked first, so that a refused dialog changes nothing.
    const bool useCC = ChB_UseCC->isChecked();
    const int maxURL = useCC ? SetupIntegerField(E_MaxURL->objectName(), E_MaxURL->text(),
                                                 kMinMaxURLSave, std::numeric_limits<int>::max())
                             : s.MaxURLSave;
    const int cols = SetupIntegerField(E_TCols->objectName(), E_TCols->text(), kMinTerminalCols,
                                       kMaxTerminalCols);
    const int rows = SetupIntegerField(E_TRows->objectName(), E_TRows->text(), kMinTerminalRows,
                                       kMaxTerminalRows);

    if (RB_NoStartPage->isChecked())
        s.StartMode = 0;
    else if (RB_IEStartPage->isChecked())
        s.StartMode = 1;
    else if (RB_SFStartPage->isChecked())
        s.StartMode = 2;
    else if (RB_CustomStartPage->isChecked())
        s.StartMode = 3;
    s.StartURL = E_StartPage->text();
    s.UseSpash = ChB_UseSpash->isChecked();
    s.UseBanner = ChB_UseBanner->isChecked();
    s.UseCC = useCC;
    s.NewWindowMaximize = ChB_newWindowMaximize->isChecked();
    s.DefaultThaiCodePage = ChB_DefaultThaiCodePage->isChecked();
    s.MaxURLSave = maxURL;
    s.OpenFav = ChB_UseFav->isChecked();
    s.UseTelnet = ChB_UseTelnet->isChecked();
    s.TCols = cols;
    s.TRows = rows;
    s.TFont = E_TFont->text();
    if (FD_Font.pointSize() > 0)
        s.TFontSize = FD_Font.pointSize();
}

void TF_Setup::Button1Click()
{
    try {
        TakeSettings();
    } catch (const EConvertError& e) {
        MessageBoxService::MessageBox(this, e.Message, windowTitle(),
                                      MessageBoxService::MB_OK | MessageBoxService::MB_ICONERROR);
        if (auto* edit = findChild<QLineEdit*>(e.Field)) {
            if (TabSheet3->isAncestorOf(edit))
                PC_Select->setCurrentWidget(TabSheet3);
            else
                PC_Select->setCurrentWidget(TabSheet1);
            edit->setFocus();
            edit->selectAll();
        }
        return;
    }
    SetModalResult(mrOk);
    close();
}

void TF_Setup::Button2Click()
{
    SetModalResult(mrCancel);
    close();
}

void TF_Setup::Button3Click()
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, FD_Font, this);
    if (!ok)
        return;
    FD_Font = font;
    E_TFont->setText(font.family());
}

void TF_Setup::RB_NoStartPageClick()
{
    E_StartPage->hide();
}

void TF_Setup::RB_CustomStartPageClick()
{
    E_StartPage->show();
}

void TF_Setup::ChB_UseCCClick()
{
    if (ChB_UseCC->isChecked()) {
        G_MaxURL->show();
        E_MaxURL->setText(QString::number(host_.BrowserSettings().MaxURLSave));
    } else {
        G_MaxURL->hide();
    }
}

void TF_Setup::LV_SelectSelectItem(int index)
{
    if (index >= 0 && index <= 3)
        PC_Select->setCurrentIndex(index);
    // The same entry can be chosen again at once.
    LV_Select->clearSelection();
}

void TF_Setup::pageChanged(int index)
{
    if (index == 1)
        TabSheet2Show();
    else if (index == 3)
        TabSheet4Show();
}

// --- banners ---

void TF_Setup::TabSheet2Show()
{
    FillBannerList();
}

namespace {

// A banner row shows an empty name or address as "<ไม่มีข้อมูล>" (no data);
// the banner list keeps the empty text.
QString bannerRowText(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("<ไม่มีข้อมูล>") : text;
}

} // namespace

void TF_Setup::AddBannerRow(const QString& name, const QString& url)
{
    auto* row = new QTreeWidgetItem(LV_Banner, {bannerRowText(name), bannerRowText(url)});
    row->setIcon(0, host_.ListImage(1));
}

void TF_Setup::FillBannerList()
{
    const QSignalBlocker block(LV_Banner);
    LV_Banner->clear();
    BannerIndex = -1;
    SB_DelBanner->setEnabled(false);
    SB_EditBanner->setEnabled(false);
    const TLinkPairs& banners = host_.ShellData().Banners;
    for (int i = 0; i < banners.count(); ++i)
        AddBannerRow(banners.Names.at(i), banners.URLs.at(i));
}

void TF_Setup::LV_BannerSelectItem()
{
    const QList<QTreeWidgetItem*> selected = LV_Banner->selectedItems();
    if (selected.isEmpty()) {
        SB_DelBanner->setEnabled(false);
        SB_EditBanner->setEnabled(false);
        return;
    }
    BannerIndex = LV_Banner->indexOfTopLevelItem(selected.first());
    SB_DelBanner->setEnabled(true);
    SB_EditBanner->setEnabled(true);
}

void TF_Setup::SB_AddBannerClick()
{
    QString name, url;
    if (currentPageSource()) {
        currentPageSource()(name, url);
    } else if (host_.ActiveWebBrowser()) {
        // The title and address of the active browser window (its address
        // without the trailing "/"), as the window keeps them.
        name = CurrentTitle;
        url = CurrentURL;
    }
    if (!runBannerEntryDialog(name, url))
        return;
    host_.ShellData().AddBanner(name, url);
    AddBannerRow(name, url);
}

void TF_Setup::SB_EditBannerClick()
{
    TLinkPairs& banners = host_.ShellData().Banners;
    QTreeWidgetItem* row = LV_Banner->topLevelItem(BannerIndex);
    if (!row || BannerIndex >= banners.count())
        return;
    QString name = banners.Names.at(BannerIndex);
    QString url = banners.URLs.at(BannerIndex);
    if (!runBannerEntryDialog(name, url))
        return;
    row->setText(0, bannerRowText(name));
    row->setText(1, bannerRowText(url));
    banners.Names[BannerIndex] = name;
    banners.URLs[BannerIndex] = url;
}

void TF_Setup::SB_DelBannerClick()
{
    if (BannerIndex < 0 || BannerIndex >= LV_Banner->topLevelItemCount() ||
        BannerIndex >= host_.ShellData().Banners.count())
        return;
    const int answer = MessageBoxService::MessageBox(
        this, QStringLiteral("ยืนยันการลบ"), QStringLiteral("Message"),
        MessageBoxService::MB_YESNO | MessageBoxService::MB_ICONQUESTION);
    if (answer != MessageBoxService::IDYES)
        return;
    const int index = BannerIndex;
    delete LV_Banner->takeTopLevelItem(index);
    host_.ShellData().DeleteBanner(index);
    // The row is gone: nothing stays selected to delete or edit.
    LV_Banner->clearSelection();
    BannerIndex = -1;
    SB_DelBanner->setEnabled(false);
    SB_EditBanner->setEnabled(false);
}

// --- plug-ins ---

void TF_Setup::TabSheet4Show()
{
    SB_RefreshPluginsClick();
}

void TF_Setup::SB_RefreshPluginsClick()
{
    const QSignalBlocker block(LV_Plugins);
    LV_Plugins->clear();
    pluginIndex_ = -1;
    SB_PlugSetup->setEnabled(false);
    TPluginHost* host = host_.PluginHost();
    if (!host)
        return;
    for (int i = 0; i < host->PluginCount(); ++i) {
        QIcon icon = host->Select(i);
        if (icon.isNull())
            icon = TPluginHost::DefaultIcon();
        new QListWidgetItem(icon, host->PluginName(i), LV_Plugins);
    }
}

void TF_Setup::LV_PluginsSelectItem()
{
    const QList<QListWidgetItem*> selected = LV_Plugins->selectedItems();
    TPluginHost* host = host_.PluginHost();
    if (selected.isEmpty() || !host) {
        pluginIndex_ = -1;
        SB_PlugSetup->setEnabled(false);
        return;
    }
    pluginIndex_ = LV_Plugins->row(selected.first());
    host->Select(pluginIndex_);
    SB_PlugSetup->setEnabled(true);
}

void TF_Setup::SB_PlugSetupClick()
{
    TPluginHost* host = host_.PluginHost();
    if (host && pluginIndex_ >= 0 && pluginIndex_ < host->PluginCount())
        host->PluginSetup(pluginIndex_);
}
