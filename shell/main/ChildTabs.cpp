#include "shell/main/ChildTabs.h"

#include "shell/data/MainWindowRules.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"

#include <QTimer>

TChildTabs::TChildTabs(TWindowList& list, const QList<QIcon>& images) : list_(list), images_(images)
{}

int TChildTabs::IndexOf(const QObject* form) const
{
    if (!form)
        return -1;
    for (int i = 0; i < list_.size(); ++i)
        if (list_.at(i).data() == form)
            return i;
    return -1;
}

void TChildTabs::Register(TForm* form)
{
    if (!form || !tabs_ || IndexOf(form) >= 0)
        return;
    tabs_->addTab(DoubleAmpersands(form->Caption()));
    list_.append(form);
    tabs_->SetTabWidth(TabWidthAfterAdd(tabs_->TabWidth(), tabs_->count(), tabs_->width()));
    // A window freed without unregistering loses its tab at the next turn.
    connect(form, &QObject::destroyed, this,
            [this] { QTimer::singleShot(0, this, [this] { Prune(); }); });
}

void TChildTabs::Unregister(TForm* form)
{
    const int index = IndexOf(form);
    if (index < 0)
        return;
    removeEntry(index);
    if (tabs_->count() >= 1)
        tabs_->SetTabWidth(TabWidthAfterRemove(tabs_->TabWidth(), tabs_->count(), tabs_->width()));
}

void TChildTabs::removeEntry(int index)
{
    list_.removeAt(index);
    if (index < tabs_->count())
        tabs_->removeTab(index);
}

void TChildTabs::Prune()
{
    bool removed = false;
    for (int i = int(list_.size()) - 1; i >= 0; --i) {
        if (!list_.at(i)) {
            removeEntry(i);
            removed = true;
        }
    }
    if (removed && tabs_->count() >= 1)
        tabs_->SetTabWidth(TabWidthAfterRemove(tabs_->TabWidth(), tabs_->count(), tabs_->width()));
}

void TChildTabs::Activate(TForm* form)
{
    const int index = IndexOf(form);
    if (index < 0)
        return;
    form->setFocus();
    form->BringToFront();
    const QSignalBlocker blocker(tabs_);
    tabs_->setCurrentIndex(index);
}

void TChildTabs::SetCaption(TForm* form, const QString& caption)
{
    const int index = IndexOf(form);
    if (index < 0)
        return;
    form->SetCaption(caption);
    tabs_->setTabText(index, DoubleAmpersands(caption));
}

void TChildTabs::SetTabCaption(TForm* form, const QString& caption)
{
    const int index = IndexOf(form);
    if (index >= 0)
        tabs_->setTabText(index, DoubleAmpersands(caption));
}

void TChildTabs::setImage(TForm* form, int image)
{
    const int index = IndexOf(form);
    // The same image again changes nothing (a busy window asks for its busy
    // image with every line it shows); the tab bar is not laid out anew.
    if (index >= 0 && image < images_.size() &&
        tabs_->tabIcon(index).cacheKey() != images_.at(image).cacheKey())
        tabs_->setTabIcon(index, images_.at(image));
}

void TChildTabs::SetBrowserImage(TForm* form, bool busy)
{
    setImage(form, busy ? 7 : 8);
}

void TChildTabs::SetPluginImage(TForm* form, bool busy)
{
    setImage(form, busy ? 11 : 0);
}
