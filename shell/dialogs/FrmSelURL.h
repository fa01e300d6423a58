#pragma once

#include "shell/browser/WebBrowser.h"
#include "toolkit/Forms.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class TAlLanguager;
class TButton;
class TBrowserWindowMaker;
class TListView;
class TPanel;
class TToolButton;

// --- link texts ---

// The address of a link element's HTML ("" when it has no HREF): only
// double quotes delimit the value, and a TARGET attribute after it is cut.
QString ExtractHRef(const QString& html);
// The scheme and host part of an address ("" when no separator follows
// the host).
QString URLRootOf(const QString& address);
// The address up to and including its last "/" or "\" ("" when none).
QString URLFolderOf(const QString& address);
// Whether a link text carries its own scheme (contains ":").
bool IsAbsoluteURL(const QString& text);
// The caption listed for a link: an empty or absolute link as it is, any
// other resolved against the document's base address.
QString LinkCaption(const QString& href, const QString& baseURL);

// What the page gives for its links: each link element's HTML and the
// address relative links are resolved against. `ok` is false when the
// links could not be read.
struct TPageLinks
{
    bool ok = false;
    QStringList elements;
    QString baseURL;
};
// Reads the links of the page shown in a control (the real engine, run
// until the page answers or a short time-out).
TPageLinks ReadPageLinks(TWebBrowser* control);

// Opening more links than this at once asks first.
constexpr int kLinksWithoutAsking = 5;

// The dialog that lists a page's links and opens the chosen ones, each in
// a new browser window.
class TF_SelURL : public TForm
{
    Q_OBJECT
public:
    explicit TF_SelURL(QWidget* parent = nullptr);

    // Empties the list and fills it with the captions of the links.
    void FillLinks(const TPageLinks& links);
    QStringList Captions() const;

    TListView* LV_URL;
    TToolButton* SB_SelAll;
    TToolButton* SB_DeSel;
    TButton* BitBtn1;
    TPanel* Panel1;
    TAlLanguager* AL_Language;

    // What makes the new windows (the main window), and the control whose
    // download options they take.
    TBrowserWindowMaker* Windows = nullptr;
    QPointer<TWebBrowser> Source;

    void SB_SelAllClick();
    void SB_DeSelClick();
    void BitBtn1Click();
    void LV_URLColumnClick();
    // Case-insensitive: ascending with the sort direction set, else descending.
    static int LV_URLCompare(const QString& caption1, const QString& caption2, bool ascending);

protected:
    void showEvent(QShowEvent* event) override;
};

// The dialog of the run (made at its first use) and the sort direction.
extern QPointer<TF_SelURL> F_SelURL;
extern bool SelURLSortAscending;

// Lists the links of the document shown in `control` (also while a later
// page is still loading) and runs the dialog; nothing happens when its
// links cannot be read. The caller asks only once a document has completed
// in the control's window.
void ShowLinksDialog(TBrowserWindowMaker& windows, TWebBrowser* control);
// The link reader in use (tests may install another; empty restores it).
using TPageLinkReader = std::function<TPageLinks(TWebBrowser*)>;
void SetPageLinkReader(TPageLinkReader reader);

QString F_SelURLLocalization();
