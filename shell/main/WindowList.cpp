#include "shell/main/WindowList.h"

#include "shell/data/MainWindowRules.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"

#include <QTimer>

void TWindowList::SetTabs(TTabControl* tabs, const QList<QIcon>* images)
{
    tabs_ = tabs;
    images_ = images;
}

int TWindowList::IndexOf(const QObject* form) const
{
    if (!form)
        return -1;
    for (int i = 0; i < entries_.size(); ++i)
        if (entries_.at(i).data() == form)
            return i;
    return -1;
}

void TWindowList::Register(TForm* form)
{
    if (!form || !tabs_ || IndexOf(form) >= 0)
        return;
    tabs_->addTab(DoubleAmpersands(form->Caption()));
    entries_.append(form);
    tabs_->SetTabWidth(TabWidthAfterAdd(tabs_->TabWidth(), tabs_->count(), tabs_->width()));
    // A window freed without unregistering loses its tab at the next turn.
    connect(form, &QObject::destroyed, this,
            [this] { QTimer::singleShot(0, this, [this] { Prune(); }); });
}

void TWindowList::Unregister(TForm* form)
{
    const int index = IndexOf(form);
    if (index < 0)
        return;
    removeAt(index);
    if (tabs_->count() >= 1)
        tabs_->SetTabWidth(TabWidthAfterRemove(tabs_->TabWidth(), tabs_->count(), tabs_->width()));
}

void TWindowList::removeAt(int index)
{
    entries_.removeAt(index);
    if (index < tabs_->count())
        tabs_->removeTab(index);
}

void TWindowList::Prune()
{
    bool removed = false;
    for (int i = int(entries_.size()) - 1; i >= 0; --i) {
        if (!entries_.at(i)) {
            removeAt(i);
            removed = true;
        }
    }
    if (removed && tabs_->count() >= 1)
        tabs_->SetTabWidth(TabWidthAfterRemove(tabs_->TabWidth(), tabs_->count(), tabs_->width()));
}

void TWindowList::Activate(TForm* form)
{
    const int index = IndexOf(form);
    if (index < 0)
        return;
    form->setFocus();
    form->BringToFront();
    const QSignalBlocker blocker(tabs_);
    tabs_->setCurrentIndex(index);
}

void TWindowList::SetCaption(TForm* form, const QString& caption)
{
    const int index = IndexOf(form);
    if (index < 0)
        return;
    form->SetCaption(caption);
    tabs_->setTabText(index, DoubleAmpersands(caption));
}

void TWindowList::SetTabCaption(TForm* form, const QString& caption)
{
    const int index = IndexOf(form);
    if (index >= 0)
        tabs_->setTabText(index, DoubleAmpersands(caption));
}

void TWindowList::setImage(TForm* form, int image)
{
    const int index = IndexOf(form);
    if (index >= 0 && images_ && image < images_->size())
        tabs_->setTabIcon(index, images_->at(image));
}

void TWindowList::SetBrowserImage(TForm* form, bool busy)
{
    setImage(form, busy ? 7 : 8);
}

void TWindowList::SetPluginImage(TForm* form, bool busy)
{
    setImage(form, busy ? 11 : 0);
}
