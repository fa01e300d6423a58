#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>

class QString;
class TForm;
class TTabControl;

// The bookkeeping of the main window's window list and the tab bar that
// shows it: entry i of the list belongs to tab i. The entries are not owned
// (each form frees itself when it closes); a form freed without leaving the
// list loses its entry and its tab at the next turn of the event loop.
// Every operation that names a form absent from the list does nothing.
class TChildTabs : public QObject
{
public:
    using TWindowList = QList<QPointer<TForm>>;

    // The list, the tab bar, and the image list whose images 7 and 8
    // (browser busy, idle) and 11 and 0 (plug-in busy, idle) the tabs show.
    TChildTabs(TWindowList& list, const QList<QIcon>& images);
    void SetTabs(TTabControl* tabs) { tabs_ = tabs; }

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

private:
    void removeEntry(int index);
    void setImage(TForm* form, int image);

    TWindowList& list_;
    const QList<QIcon>& images_;
    TTabControl* tabs_ = nullptr;
};
