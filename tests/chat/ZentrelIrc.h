#pragma once

// Helpers of the plug-in's IRC end-to-end tests: an ngircd (or another
// server) on a free loopback port, and reading the plug-in's windows
// through their published controls.

#include "Irssi.h"
#include "Ngircd.h"
#include "ZentrelHarness.h"

#include "PeerProcess.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolButton>
#include <QTreeWidget>

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
inline QString conversation(TForm* window)
{
    auto* edit = window ? window->findChild<QTextEdit*>(QStringLiteral("R_Chat")) : nullptr;
    return edit ? edit->toPlainText() : QString();
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

// A plain client of the test's own, line by line.
class RawClient
{
public:
    QTcpSocket socket;
    QByteArray seen;
    bool connect(quint16 port, const QByteArray& nick)
    {
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (!socket.waitForConnected(5000))
            return false;
        send("NICK " + nick);
        send("USER " + nick + " 0 * :" + nick);
        return waitFor(" 001 ");
    }
    void send(const QByteArray& line)
    {
        socket.write(line + "\r\n");
        socket.flush();
    }
    bool waitFor(const QByteArray& text, int timeoutMs = 10000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            seen += socket.readAll();
            // Keep the connection alive for the server.
            qsizetype ping = seen.lastIndexOf("PING ");
            if (ping >= 0 && (ping == 0 || seen[ping - 1] == '\n')) {
                const qsizetype end = seen.indexOf('\n', ping);
                if (end > 0) {
                    send("PONG " + seen.mid(ping + 5, end - ping - 5).trimmed());
                    seen[ping] = 'p';
                }
            }
            if (seen.contains(text))
                return true;
            QTest::qWait(20);
        }
        return false;
    }
};

} // namespace ZentrelIrc
