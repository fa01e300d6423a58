#pragma once

// Helpers of the plug-in's IRC end-to-end tests: an ngircd (or another
// server) on a free loopback port, and reading the plug-in's windows
// through their published controls.

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

inline bool startNgircd(PeerProcess& peer, quint16 port, bool ident, int pingTimeout = 120)
{
    const QString conf = peer.writeFile(
        QStringLiteral("ngircd.conf"),
        QStringLiteral("[Global]\n Name = irc.test\n Info = test server\n AdminInfo1 = test\n"
                       " AdminInfo2 = localhost\n AdminEMail = root@localhost\n"
                       " Listen = 127.0.0.1\n Ports = %1\n MotdPhrase = test motd\n"
                       "[Limits]\n MaxNickLength = 30\n MaxConnectionsIP = 0\n PingTimeout = %2\n"
                       "[Options]\n PAM = no\n Ident = %3\n DNS = %3\n")
            .arg(port)
            .arg(pingTimeout)
            .arg(ident ? "yes" : "no")
            .toUtf8());
    return peer.start(PeerProcess::findProgram(QStringLiteral("ngircd")),
                      {QStringLiteral("-n"), QStringLiteral("-f"), conf}, port);
}

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

// irssi in tmux as the second client, on ASCII texts.
class Irssi
{
public:
    PeerProcess& peer;
    QString socketPath;
    explicit Irssi(PeerProcess& p) : peer(p), socketPath(p.dir() + QStringLiteral("/tmux.sock")) {}
    ~Irssi() { tmux({QStringLiteral("kill-server")}); }

    bool tmux(const QStringList& args, QByteArray* out = nullptr)
    {
        QProcess p;
        p.start(PeerProcess::findProgram(QStringLiteral("tmux")),
                QStringList{QStringLiteral("-S"), socketPath} + args);
        if (!p.waitForFinished(10000))
            return false;
        if (out)
            *out = p.readAllStandardOutput();
        return p.exitCode() == 0;
    }
    bool start(quint16 port, const QString& nick)
    {
        const QString home = peer.dir() + QStringLiteral("/irssi");
        QDir().mkpath(home);
        QFile config(home + QStringLiteral("/config"));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write("settings = { core = { real_name = \"bob\"; user_name = \"bob\"; "
                     "settings_autosave = \"no\"; }; };\n");
        config.close();
        const QString cmd = QStringLiteral("%1 --home=%2 -n %3 -c 127.0.0.1 -p %4")
                                .arg(PeerProcess::findProgram(QStringLiteral("irssi")), home, nick)
                                .arg(port);
        return tmux({QStringLiteral("new-session"), QStringLiteral("-d"), QStringLiteral("-s"),
                     QStringLiteral("irc"), QStringLiteral("-x"), QStringLiteral("150"),
                     QStringLiteral("-y"), QStringLiteral("40"), cmd});
    }
    void type(const QString& line)
    {
        tmux({QStringLiteral("send-keys"), QStringLiteral("-t"), QStringLiteral("irc"), line,
              QStringLiteral("Enter")});
    }
    QString screen()
    {
        QByteArray out;
        tmux({QStringLiteral("capture-pane"), QStringLiteral("-p"), QStringLiteral("-t"),
              QStringLiteral("irc")},
             &out);
        return QString::fromUtf8(out);
    }
};

} // namespace ZentrelIrc
