#pragma once

// Peers of the chat windows' end-to-end tests: a plain IRC client of the
// test's own that keeps its connection alive by itself, irssi with its DCC
// settings and logs, and weechat-headless driven through its FIFO.

#include "ZentrelIrc.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace ChatPeers {

// A plain client that answers the server's PING whenever the event loop
// runs, so it stays connected however long the test takes.
class IrcBot : public QObject
{
public:
    QTcpSocket socket;
    QByteArray nick;
    QList<QByteArray> lines;

    explicit IrcBot(const QByteArray& nickName) : nick(nickName)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, this, [this] { read(); });
    }
    bool connect(quint16 port)
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
    bool seen(const QByteArray& text) const
    {
        for (const QByteArray& line : lines)
            if (line.contains(text))
                return true;
        return false;
    }
    int count(const QByteArray& text) const
    {
        int n = 0;
        for (const QByteArray& line : lines)
            n += line.contains(text) ? 1 : 0;
        return n;
    }
    bool waitFor(const QByteArray& text, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return seen(text); }, timeoutMs);
    }

private:
    void read()
    {
        buffer_ += socket.readAll();
        qsizetype end;
        while ((end = buffer_.indexOf('\n')) >= 0) {
            QByteArray line = buffer_.left(end).trimmed();
            buffer_.remove(0, end + 1);
            if (line.startsWith("PING "))
                send("PONG " + line.mid(5));
            lines << line;
        }
    }
    QByteArray buffer_;
};

// irssi in tmux with settings of the test's choosing: its own DCC address
// 127.0.0.1, chats accepted by themselves, every conversation logged (the
// status window shows on the screen, where CTCP replies go), and no flood
// pacing (it would hold back its CTCP replies and ignore a busy sender).
class IrssiPeer : public ZentrelIrc::Irssi
{
public:
    using Irssi::Irssi;

    QString home() const { return peer.dir() + QStringLiteral("/irssi-") + nick_; }
    bool start(quint16 port, const QString& nick, const QByteArray& moreSettings = {})
    {
        nick_ = nick;
        QDir().mkpath(home() + QStringLiteral("/logs"));
        QFile config(home() + QStringLiteral("/config"));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        const QByteArray n = nick.toUtf8();
        config.write("settings = {\n  core = { real_name = \"" + n + "\"; user_name = \"" + n +
                     "\"; nick = \"" + n + "\"; settings_autosave = \"no\"; " + moreSettings +
                     " };\n  \"irc/dcc\" = { dcc_own_ip = \"127.0.0.1\"; dcc_port = \"50000 "
                     "50019\"; dcc_autochat_masks = \"*\"; dcc_autoget = \"no\"; };\n"
                     "  \"fe-common/core\" = { autolog = \"yes\"; autolog_level = \"all\"; "
                     "autolog_path = \"" +
                     home().toUtf8() + "/logs/$0.log\"; };\n};\n");
        config.close();
        const QString cmd =
            QStringLiteral("%1 --home=%2 -n %3 -c 127.0.0.1 -p %4")
                .arg(PeerProcess::findProgram(QStringLiteral("irssi")), home(), nick)
                .arg(port);
        if (!tmux({QStringLiteral("new-session"), QStringLiteral("-d"), QStringLiteral("-s"),
                   QStringLiteral("irc"), QStringLiteral("-x"), QStringLiteral("160"),
                   QStringLiteral("-y"), QStringLiteral("50"), cmd}))
            return false;
        if (!QTest::qWaitFor([&] { return screen().contains(QStringLiteral("End of MOTD")); },
                             15000))
            return false;
        type(QStringLiteral("/set flood_max_msgs 0"));
        type(QStringLiteral("/set cmd_queue_speed 10"));
        return true;
    }
    // What irssi logged of a conversation ("#chan", "=nick" for a DCC chat).
    QString log(const QString& target) const
    {
        QFile f(home() + QStringLiteral("/logs/") + target.toLower() + QStringLiteral(".log"));
        if (!f.open(QIODevice::ReadOnly)) {
            f.setFileName(home() + QStringLiteral("/logs/") + target + QStringLiteral(".log"));
            if (!f.open(QIODevice::ReadOnly))
                return {};
        }
        return QString::fromUtf8(f.readAll());
    }

private:
    QString nick_;
};

// weechat-headless, connected to the server as `nick` and driven through
// its FIFO; what it shows is read from its logs.
class Weechat
{
public:
    explicit Weechat(PeerProcess& p) : peer(p) {}
    ~Weechat() { stop(); }
    PeerProcess& peer;

    QString fifo() const { return peer.dir() + QStringLiteral("/weechat.fifo"); }
    QString logs() const { return peer.dir() + QStringLiteral("/weechat/logs"); }

    // `charset`: the single-byte charset it speaks on the wire, or empty
    // for its default (UTF-8).
    bool start(quint16 port, const QString& nick, const QString& channel,
               const QString& charset = {})
    {
        const QString dir = peer.dir();
        QDir().mkpath(dir + QStringLiteral("/weechat"));
        QStringList commands{
            QStringLiteral("/set logger.file.flush_delay 0"),
            QStringLiteral("/set fifo.file.path ") + fifo(),
            QStringLiteral("/set xfer.network.own_ip 127.0.0.1"),
            QStringLiteral("/set xfer.network.port_range 50020-50029"),
            QStringLiteral("/set xfer.file.auto_accept_chats on"),
            QStringLiteral("/set irc.server_default.anti_flood_prio_high 0"),
            QStringLiteral("/set irc.server_default.anti_flood_prio_low 0"),
            QStringLiteral("/server add test 127.0.0.1/%1 -notls").arg(port),
            QStringLiteral("/set irc.server.test.nicks ") + nick,
            QStringLiteral("/set irc.server.test.username ") + nick,
            QStringLiteral("/set irc.server.test.autojoin ") + channel,
        };
        if (!charset.isEmpty())
            commands << QStringLiteral("/set charset.default.encode ") + charset
                     << QStringLiteral("/set charset.default.decode ") + charset;
        commands << QStringLiteral("/connect test");
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(dir + QStringLiteral("/weechat.out"));
        process_.start(PeerProcess::findProgram(QStringLiteral("weechat-headless")),
                       {QStringLiteral("--dir"), dir + QStringLiteral("/weechat"),
                        QStringLiteral("--stdout"), QStringLiteral("-r"), commands.join(u';')});
        if (!process_.waitForStarted(10000))
            return false;
        return QTest::qWaitFor([&] { return QFileInfo(fifo()).exists(); }, 10000) &&
               QTest::qWaitFor(
                   [&] {
                       return log(QStringLiteral("irc.test.") + channel)
                           .contains(QStringLiteral("has joined"));
                   },
                   15000);
    }
    // One FIFO line: "*text" to a buffer ("irc.server.test", "irc.test.#chan",
    // "xfer.irc_dcc.test.nick").
    bool command(const QString& buffer, const QString& text)
    {
        if (process_.state() != QProcess::Running || !QFileInfo(fifo()).exists())
            return false;
        // Opened without waiting for a reader that is not there.
        const int fd = ::open(QFile::encodeName(fifo()).constData(), O_WRONLY | O_NONBLOCK);
        if (fd < 0)
            return false;
        const QByteArray line = (buffer + QStringLiteral(" *") + text + u'\n').toUtf8();
        const bool ok = ::write(fd, line.constData(), size_t(line.size())) == line.size();
        ::close(fd);
        return ok;
    }
    // A buffer's log ("irc.test.#chan", "irc.server.test",
    // "xfer.irc_dcc.test.nick"), as UTF-8 text.
    QString log(const QString& name) const
    {
        QFile f(logs() + u'/' + name.toLower() + QStringLiteral(".weechatlog"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll());
    }
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }

private:
    QProcess process_;
};

} // namespace ChatPeers
