#include "shell/dialogs/FrmAbout.h"

#include "platform/JpegImage.h"
#include "shell/data/AlLanguager.h"
#include "shell/data/BrowserSettings.h"
#include "shell/data/FormLocalizations.h"
#include "shell/data/IEUtils.h"
#include "shell/data/ShippedPages.h"
#include "shell/dialogs/FrmCredit.h"
#include "toolkit/ChildWindowHost.h"
#include "toolkit/Controls.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QGridLayout>
#include <QPainter>
#include <QTimer>
#include <QUrl>

TF_About::TF_About(QWidget* parent)
    : TForm(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    InitShellResources();
    setObjectName(QStringLiteral("F_About"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameStyle();

    Image1 = new TImage(QStringLiteral("Image1"), this);
    Image1->SetPicture(JpegImage::load(QStringLiteral(":/pictures/about.jpg")));
    Label1 = new TLabel(QStringLiteral("Label1"), this);
    L_Version = new TLabel(QStringLiteral("L_Version"), this);
    L_IEVersion = new TLabel(QStringLiteral("L_IEVersion"), this);
    L_Homepage = new TLabel(QStringLiteral("L_Homepage"), this);
    L_Email = new TLabel(QStringLiteral("L_Email"), this);
    L_Stat = new TLabel(QStringLiteral("L_Stat"), this);
    SB_Close = new TToolButton(QStringLiteral("SB_Close"), this);
    SB_Close->setToolButtonStyle(Qt::ToolButtonTextOnly);
    IM_EasterEgg = new TImage(QStringLiteral("IM_EasterEgg"), this);
    IM_EasterEgg->SetPicture(JpegImage::load(QStringLiteral(":/pictures/egg.jpg")));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    AL_Language = new TAlLanguager(this, QStringLiteral("AL_Language"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(Image1, 0, 0, 6, 1);
    layout->addWidget(Label1, 0, 1, 1, 2);
    layout->addWidget(L_Version, 1, 1, 1, 2);
    layout->addWidget(L_IEVersion, 2, 1, 1, 2);
    layout->addWidget(L_Homepage, 3, 1, 1, 2);
    layout->addWidget(L_Email, 4, 1, 1, 2);
    layout->addWidget(L_Stat, 5, 1);
    layout->addWidget(IM_EasterEgg, 5, 2, Qt::AlignRight);
    layout->addWidget(SB_Close, 6, 1, 1, 2, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(SB_Close, &QToolButton::clicked, this, &TF_About::SB_CloseClick);
    connect(L_Homepage, &TLabel::Click, this, &TF_About::L_HomepageClick);
    connect(L_Email, &TLabel::Click, this, &TF_About::L_EmailClick);
    connect(IM_EasterEgg, &TImage::DblClick, this, &TF_About::IM_EasterEggDblClick);
    connect(Timer1, &QTimer::timeout, this, [this] {
        Timer1->stop();
        close();
    });

    AL_Language->SetLanguagesStore(MainLanguagesStore());
    AL_Language->SetLocalizationString(F_AboutLocalization());

    // FormCreate
    const QString version = GetIEVersion();
    L_Version->SetCaption(L_Version->Caption() + QStringLiteral("1.00 Standard Edition."));
    L_IEVersion->SetCaption(L_IEVersion->Caption() + version);
    L_IEVersion->SetHint(QStringLiteral("Internet Explorer Version:") + version);
}

void TF_About::setFrameStyle()
{
    // A frameless window: its line is drawn by paintEvent.
    setAutoFillBackground(true);
}

void TF_About::paintEvent(QPaintEvent* event)
{
    TForm::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

QString TF_About::MakerEmail()
{
    return QStringLiteral("brevant@localhost");
}

void TF_About::ShowAbout()
{
    L_Homepage->setCursor(Qt::PointingHandCursor);
    L_Email->setCursor(Qt::PointingHandCursor);
    SB_Close->show();
    IM_EasterEgg->setEnabled(true);
    L_Stat->hide();
    Timer1->stop();
    CenterOnScreen();
    ShowModal();
}

void TF_About::ShowSplash()
{
    L_Homepage->setCursor(Qt::ArrowCursor);
    L_Email->setCursor(Qt::ArrowCursor);
    SB_Close->hide();
    L_Stat->show();
    L_Stat->SetCaption(QStringLiteral("Loading..."));
    IM_EasterEgg->setEnabled(false);
    adjustSize();
    CenterOnScreen();
    show();
    QApplication::processEvents();
}

void TF_About::EndSplash()
{
    L_Stat->SetCaption(QStringLiteral("Initializing..."));
    QApplication::processEvents();
    Timer1->start();
}

void TF_About::FormClose(TCloseAction& action)
{
    action = caFree;
}

void TF_About::SB_CloseClick()
{
    close();
}

void TF_About::L_HomepageClick()
{
    if (L_Stat->isVisible())
        return;
    close();
    if (TChildWindowHost* host = MainChildWindowHost())
        host->OpenURLInNewWindow(MakerHomePage());
}

void TF_About::L_EmailClick()
{
    if (L_Stat->isVisible())
        return;
    close();
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + MakerEmail()));
}

void TF_About::IM_EasterEggDblClick()
{
    if (F_Credit)
        F_Credit->ShowModal();
}
