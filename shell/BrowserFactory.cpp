#include "shell/BrowserFactory.h"

#include "shell/FrmMain.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

bool ChildMaximized = true;

namespace {

// The stand-in browser window: an address box and a text view that shows
// local pages.
class TF_BrowserStandIn : public TForm, public IBrowserWindow
{
public:
    explicit TF_BrowserStandIn(TF_Main& main) : TForm(nullptr, Qt::Widget), main_(&main)
    {
        setObjectName(QStringLiteral("F_Browser"));
        SetCaption(QStringLiteral("Brevant++"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        CB_URL = new TComboBox(QStringLiteral("CB_URL"), this);
        view_ = new QTextBrowser(this);
        view_->setOpenLinks(false);
        layout->addWidget(CB_URL);
        layout->addWidget(view_);

        QMdiSubWindow* sub = main.MDIClient->addSubWindow(this);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        main.RegisterChildTab(this);
        main.ActiveChild = this;
        main.ActiveWebBrowser = view_;
        QObject::connect(main.MDIClient, &QMdiArea::subWindowActivated, this,
                         [this](QMdiSubWindow* window) {
                             if (window && window->widget() == this && main_) {
                                 main_->ActiveChild = this;
                                 main_->ActiveWebBrowser = view_;
                                 main_->ActivateChildTab(this);
                                 main_->UpdateGoFavorite();
                             }
                         });
        if (ChildMaximized)
            sub->showMaximized();
        else
            sub->show();
        main.UpdateGoFavorite();
    }

    TForm* Form() override { return this; }
    QWidget* Browser() override { return view_; }

    void Navigate(const QString& url) override
    {
        CB_URL->SetText(url);
        const QUrl address = QUrl::fromUserInput(url);
        if (address.isLocalFile())
            view_->setSource(address);
        else
            view_->setPlainText(url);
        if (main_)
            main_->SetChildCaption(this,
                                   view_->documentTitle().isEmpty() ? url : view_->documentTitle());
    }

    void GoHome() override { Navigate(QStringLiteral("about:blank")); }
    QString AddressText() const override { return CB_URL->Text(); }

protected:
    void FormClose(TCloseAction& action) override
    {
        if (main_) {
            if (main_->ActiveChild == this) {
                main_->ActiveChild = nullptr;
                main_->ActiveWebBrowser = nullptr;
            }
            main_->UnregisterChildTab(this);
            main_->UpdateGoFavorite();
        }
        action = caFree;
    }

private:
    TComboBox* CB_URL;
    QTextBrowser* view_;
    QPointer<TF_Main> main_;
};

TBrowserFactory& factory()
{
    static TBrowserFactory installed;
    return installed;
}

} // namespace

void SetBrowserFactory(TBrowserFactory f)
{
    factory() = std::move(f);
}

IBrowserWindow* CreateBrowserWindow(TF_Main& main)
{
    if (factory())
        return factory()(main);
    return new TF_BrowserStandIn(main);
}
