#pragma once

// irssi in tmux, as the chat tests run it.

#include "PeerProcess.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace ZentrelIrc {

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
    // `settings`: more sections of the settings block, e.g. "irc/dcc".
    bool start(quint16 port, const QString& nick, const QByteArray& settings = {})
    {
        const QString home = peer.dir() + QStringLiteral("/irssi");
        QDir().mkpath(home);
        QFile config(home + QStringLiteral("/config"));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write("settings = { core = { real_name = \"bob\"; user_name = \"bob\"; "
                     "settings_autosave = \"no\"; }; " +
                     settings + " };\n");
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
