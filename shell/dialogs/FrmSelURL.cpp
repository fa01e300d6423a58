#include "shell/dialogs/FrmSelURL.h"

#include "platform/MessageBox.h"
#include "shell/browser/BrowserWindow.h"
#include "shell/browser/EmbeddedWB.h"
#include "shell/data/AlLanguager.h"
#include "toolkit/Controls.h"

#include <QEventLoop>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <algorithm>
#include <memory>

QPointer<TF_SelURL> F_SelURL;
bool SelURLSortAscending = false;

namespace {

TPageLinkReader& linkReader()
{
    static TPageLinkReader reader;
    return reader;
}

bool isSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

} // namespace

QString ExtractHRef(const QString& html)
{
    qsizetype start = html.indexOf(QLatin1String("HREF="), 0, Qt::CaseInsensitive);
    if (start >= 0) {
        start += 5;
    } else {
        start = html.indexOf(QLatin1String("HREF ="), 0, Qt::CaseInsensitive);
        if (start < 0)
            return QString();
        start += 6;
    }
    QString result;
    bool quoted = false;
    for (qsizetype i = start; i < html.size(); ++i) {
        const QChar c = html.at(i);
        if (c == u'>')
            break;
        if (c == u'"') {
            if (quoted)
                break;
            quoted = true;
        }
        result.append(c);
    }
    result.remove(u'"');
    qsizetype target = result.indexOf(QLatin1String("TARGET="), 0, Qt::CaseInsensitive);
    if (target < 0)
        target = result.indexOf(QLatin1String("TARGET ="), 0, Qt::CaseInsensitive);
    if (target >= 0)
        result.truncate(target);
    return result;
}

QString URLRootOf(const QString& address)
{
    qsizetype p = address.indexOf(QLatin1String("//"));
    if (p < 0)
        p = address.indexOf(QLatin1String(":/"));
    if (p < 0)
        p = address.indexOf(QLatin1String(":\\"));
    // Past the two characters found (or from the second character when
    // none was found).
    const qsizetype from = p < 0 ? 1 : p + 2;
    for (qsizetype j = from; j < address.size(); ++j)
        if (isSeparator(address.at(j)))
            return address.left(j);
    return QString();
}

QString URLFolderOf(const QString& address)
{
    for (qsizetype j = address.size() - 1; j >= 0; --j)
        if (isSeparator(address.at(j)))
            return address.left(j + 1);
    return QString();
}

bool IsAbsoluteURL(const QString& text)
{
    return text.contains(u':');
}

QString LinkCaption(const QString& href, const QString& baseURL)
{
    if (href.isEmpty() || IsAbsoluteURL(href))
        return href;
    const QUrl base(baseURL);
    if (base.isValid() && !base.isRelative())
        return base.resolved(QUrl(href)).toString();
    // A base that is no address of its own: join the texts.
    if (href.startsWith(u'/') || href.startsWith(u'\\'))
        return URLRootOf(baseURL) + href;
    return URLFolderOf(baseURL) + href;
}

TPageLinks ReadPageLinks(TWebBrowser* control)
{
    TPageLinks links;
    auto* embedded = qobject_cast<TEmbeddedWB*>(control);
    if (!embedded || !embedded->Page())
        return links;
    // The script runs in a world of its own, so the page's scripts cannot
    // change what it sees of the document's objects.
    static const QString script = QStringLiteral(
        "(function() { var r = [];"
        " for (var i = 0; i < document.links.length; ++i) r.push(document.links[i].outerHTML);"
        " return { links: r, base: document.baseURI }; })()");
    auto result = std::make_shared<TPageLinks>();
    auto done = std::make_shared<bool>(false);
    QEventLoop loop;
    QPointer<QEventLoop> guard(&loop);
    embedded->Page()->runJavaScript(
        script, QWebEngineScript::ApplicationWorld, [result, done, guard](const QVariant& value) {
            const QVariantMap map = value.toMap();
            if (map.contains(QStringLiteral("links"))) {
                result->ok = true;
                result->elements = map.value(QStringLiteral("links")).toStringList();
                result->baseURL = map.value(QStringLiteral("base")).toString();
            }
            *done = true;
            if (guard)
                guard->quit();
        });
    if (!*done) {
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (*done)
        links = *result;
    return links;
}

void SetPageLinkReader(TPageLinkReader reader)
{
    linkReader() = std::move(reader);
}

QString F_SelURLLocalization()
{
    return BuildLocalizationString({
        {"*_*f_selurl_caption", QStringLiteral("เลือก URL ที่ต้องการเปิดใหม่")},
        {"*_*sb_selall_caption", QStringLiteral("เลือกทั้งหมด")},
        {"*_*sb_desel_caption", QStringLiteral("ไม่เลือก")},
        {"*_*bitbtn1_caption", QStringLiteral("เปิด")},
        {"*_*panel1_caption",
         QStringLiteral("กด Ctrl ค้างไว้แล้วคลิกเพื่อเลือกทีละรายการ กด Shift ค้างไว้แล้วคลิก"
                        "เพื่อเลือกเป็นช่วง")},
    });
}

TF_SelURL::TF_SelURL(QWidget* parent) : TForm(parent, Qt::Dialog)
{
    setObjectName(QStringLiteral("F_SelURL"));
    SetCaption(QStringLiteral("เลือก URL ที่ต้องการเปิดใหม่"));
    resize(434, 264);
    LV_URL = new TListView(QStringLiteral("LV_URL"), this);
    LV_URL->setRootIsDecorated(false);
    LV_URL->setColumnCount(1);
    LV_URL->setHeaderLabels({QStringLiteral("URL")});
    LV_URL->header()->setStretchLastSection(true);
    LV_URL->header()->setSectionsClickable(true);
    LV_URL->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LV_URL->setSelectionBehavior(QAbstractItemView::SelectRows);
    LV_URL->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SB_SelAll = new TToolButton(QStringLiteral("SB_SelAll"), this);
    SB_DeSel = new TToolButton(QStringLiteral("SB_DeSel"), this);
    BitBtn1 = new TButton(QStringLiteral("BitBtn1"), this);
    BitBtn1->setDefault(true);
    Panel1 = new TPanel(QStringLiteral("Panel1"), this);
    auto* hint = new QLabel(Panel1);
    hint->setWordWrap(true);
    auto* panelBox = new QHBoxLayout(Panel1);
    panelBox->addWidget(hint);
    AL_Language = new TAlLanguager(this, QStringLiteral("AL_Language"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SB_SelAll);
    buttons->addWidget(SB_DeSel);
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LV_URL, 1);
    layout->addWidget(Panel1);
    layout->addLayout(buttons);

    connect(SB_SelAll, &QToolButton::clicked, this, &TF_SelURL::SB_SelAllClick);
    connect(SB_DeSel, &QToolButton::clicked, this, &TF_SelURL::SB_DeSelClick);
    connect(BitBtn1, &QPushButton::clicked, this, &TF_SelURL::BitBtn1Click);
    connect(LV_URL->header(), &QHeaderView::sectionClicked, this, &TF_SelURL::LV_URLColumnClick);

    AL_Language->SetLanguagesStore(MainLanguagesStore());
    AL_Language->SetLocalizationString(F_SelURLLocalization());
    hint->setText(Panel1->Caption());
}

void TF_SelURL::FillLinks(const TPageLinks& links)
{
    LV_URL->clear();
    for (const QString& element : links.elements)
        new QTreeWidgetItem(LV_URL, {LinkCaption(ExtractHRef(element), links.baseURL)});
}

QStringList TF_SelURL::Captions() const
{
    QStringList captions;
    for (int i = 0; i < LV_URL->topLevelItemCount(); ++i)
        captions.append(LV_URL->topLevelItem(i)->text(0));
    return captions;
}

void TF_SelURL::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (!event->spontaneous())
        SB_SelAllClick();
}

void TF_SelURL::SB_SelAllClick()
{
    LV_URL->selectAll();
}

void TF_SelURL::SB_DeSelClick()
{
    LV_URL->clearSelection();
}

void TF_SelURL::BitBtn1Click()
{
    QStringList chosen;
    for (int i = 0; i < LV_URL->topLevelItemCount(); ++i)
        if (LV_URL->topLevelItem(i)->isSelected())
            chosen.append(LV_URL->topLevelItem(i)->text(0));
    if (chosen.size() > kLinksWithoutAsking) {
        const int answer = MessageBoxService::MessageBox(
            this, QStringLiteral("ต้องการเปิดหน้าต่างใหม่ %1 หน้าต่างพร้อมกัน?").arg(chosen.size()),
            QStringLiteral("Message"),
            MessageBoxService::MB_YESNO | MessageBoxService::MB_ICONQUESTION);
        if (answer != MessageBoxService::IDYES)
            return;
    }
    // The options of the page the links came from, whichever window is
    // active once the new ones open.
    const bool haveOptions = !Source.isNull();
    const TDownloadControlOptions options =
        haveOptions ? Source->DownloadOptions() : TDownloadControlOptions();
    SetModalResult(mrOk);
    close();
    if (!Windows)
        return;
    for (const QString& address : chosen) {
        IBrowserWindow* window = Windows->NewBrowserWindow();
        if (!window)
            continue;
        // The options are in place before the first request goes out.
        if (auto* control = qobject_cast<TWebBrowser*>(window->Browser()); control && haveOptions)
            control->SetDownloadOptions(options);
        window->Navigate(address);
    }
}

int TF_SelURL::LV_URLCompare(const QString& caption1, const QString& caption2, bool ascending)
{
    return ascending ? QString::compare(caption1, caption2, Qt::CaseInsensitive)
                     : QString::compare(caption2, caption1, Qt::CaseInsensitive);
}

void TF_SelURL::LV_URLColumnClick()
{
    SelURLSortAscending = !SelURLSortAscending;
    QList<QTreeWidgetItem*> items;
    while (LV_URL->topLevelItemCount() > 0)
        items.append(LV_URL->takeTopLevelItem(0));
    const bool ascending = SelURLSortAscending;
    std::stable_sort(items.begin(), items.end(),
                     [ascending](QTreeWidgetItem* a, QTreeWidgetItem* b) {
                         return LV_URLCompare(a->text(0), b->text(0), ascending) < 0;
                     });
    LV_URL->addTopLevelItems(items);
}

void ShowLinksDialog(TBrowserWindowMaker& windows, TWebBrowser* control)
{
    if (!control)
        return;
    if (!F_SelURL)
        F_SelURL = new TF_SelURL;
    F_SelURL->LV_URL->clear();
    TPageLinks links;
    try {
        links = linkReader() ? linkReader()(control) : ReadPageLinks(control);
    } catch (...) {
        links.ok = false;
    }
    if (!links.ok)
        return;
    F_SelURL->FillLinks(links);
    F_SelURL->Windows = &windows;
    F_SelURL->Source = control;
    F_SelURL->CenterOnScreen();
    F_SelURL->ShowModal();
}
