#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>

class QString;
class TForm;
class TTabControl;

// The main window's child windows in tab order, and the tab bar that shows
// them: entry i belongs to tab i. The entries are not owned (each form frees
// itself when it closes); a form freed without leaving the list loses its
// entry and its tab at the next turn of the event loop. Every operation that
// names a form absent from the list does nothing.
class TWindowList : public QObject
{
public:
    using Entries = QList<QPointer<TForm>>;

    // The tab bar, and the image list whose images 7 and 8 (browser busy,
    // idle) and 11 and 0 (plug-in busy, idle) the tabs show.
    void SetTabs(TTabControl* tabs, const QList<QIcon>* images);

    // A tab captioned with the form's caption, the form at the end of the
    // list; the tabs narrow when they no longer fit.
    void Register(TForm* form);
    void Unregister(TForm* form);
    // Focuses the form, brings it to the front and selects its tab.
    void Activate(TForm* form);
    // The form's caption and its tab's; the tab's alone.
    void SetCaption(TForm* form, const QString& caption);
    void SetTabCaption(TForm* form, const QString& caption);
    void SetBrowserImage(TForm* form, bool busy);
    void SetPluginImage(TForm* form, bool busy);
    int IndexOf(const QObject* form) const;
    // Drops the entries (and tabs) of forms that are gone.
    void Prune();

    // The list itself.
    int size() const { return int(entries_.size()); }
    bool isEmpty() const { return entries_.isEmpty(); }
    const QPointer<TForm>& at(int i) const { return entries_.at(i); }
    const QPointer<TForm>& first() const { return entries_.first(); }
    Entries::const_iterator begin() const { return entries_.cbegin(); }
    Entries::const_iterator end() const { return entries_.cend(); }
    const Entries& entries() const { return entries_; }
    // Forgets every entry; the tabs stay.
    void clear() { entries_.clear(); }

private:
    void removeAt(int index);
    void setImage(TForm* form, int image);

    Entries entries_;
    TTabControl* tabs_ = nullptr;
    const QList<QIcon>* images_ = nullptr;
};
