#pragma once

// Helpers of the plug-in's IRC end-to-end tests: reading and driving the
// plug-in's windows in Brevant's main window through their published
// controls. The peers they talk to are in IrcPeers.h.

#include "IrcPeers.h"
#include "ZentrelHarness.h"

#include <QAbstractButton>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace ZentrelIrc {

inline QString memo(QWidget* form, const char* name)
{
    auto* m = form ? form->findChild<QPlainTextEdit*>(QString::fromLatin1(name)) : nullptr;
    return m ? m->toPlainText() : QString();
}
inline QString status(QWidget* server)
{
    return memo(server, "redShowText");
}
inline QString raw(QWidget* server)
{
    return memo(server, "redShowRaw");
}

// The plug-in's child window of a caption's first word, or null.
inline TForm* chatWindow(TF_Main& main, const QString& name)
{
    for (TForm* f : main.MDIChildren())
        if (f->objectName() == QStringLiteral("MDIChild") &&
            f->Caption().section(u' ', 0, 0).compare(name, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}
inline QStringList nicks(TForm* channel)
{
    QStringList out;
    if (auto* list =
            channel ? channel->findChild<QListWidget*>(QStringLiteral("lstNameList")) : nullptr)
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
    return out;
}
// Selects exactly these entries of a channel's nick list.
inline void selectNicks(TForm* channel, const QStringList& entries)
{
    auto* list = channel->findChild<QListWidget*>(QStringLiteral("lstNameList"));
    list->clearSelection();
    for (const QString& e : entries) {
        const auto found = list->findItems(e, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(e + u' ' + nicks(channel).join(u',')));
        found.first()->setSelected(true);
    }
}
// What the window shows: the lines of this turn, which the control takes
// in when the turn ends (a call it has posted to itself), taken in first.
inline QString conversation(TForm* window)
{
    auto* edit = window ? window->findChild<QTextEdit*>(QStringLiteral("R_Chat")) : nullptr;
    if (!edit)
        return {};
    QCoreApplication::sendPostedEvents(edit, QEvent::MetaCall);
    return edit->toPlainText();
}
inline void click(QWidget* form, const char* name)
{
    auto* b = form->findChild<QAbstractButton*>(QString::fromLatin1(name));
    if (b)
        b->click();
}
// Types a line into the server window's command line.
inline void command(QWidget* server, const QString& text)
{
    auto* edit = server->findChild<QLineEdit*>(QStringLiteral("edtInputText"));
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace ZentrelIrc
