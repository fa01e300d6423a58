#pragma once

// The other ends of the chat tests' IRC connections, none of them part of
// Brevant: ngircd, irssi (in tmux) and weechat-headless (driven through its
// FIFO) on free loopback ports, a plain client and a one-client server of
// the test's own. Forms tests and plug-in tests both use them.

#include "PeerProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <utility>

namespace IrcPeers {

// The CTCP delimiter.
inline const QByteArray c1 = "\x01";

// Runs the event loop for `ms` milliseconds. (QTest::qWait sleeps between
// its rounds of events, which would pace every transfer by its sleeps.)
inline void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Waits (running the event loop) until `done` holds.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        spin(5);
    }
    return true;
}

// Asks (`ask`) until `answered` holds: e.g. ISON until the server knows
// every client of the test.
inline bool askUntil(const std::function<void()>& ask, const std::function<bool()>& answered,
                     int timeoutMs = 20000)
{
    return waitUntil(
        [&] {
            ask();
            return waitUntil(answered, 500);
        },
        timeoutMs);
}

// ngircd on a free loopback port. Its scratch folder also holds the files
// of the clients a test starts beside it.
class Ngircd : public PeerProcess
{
public:
    quint16 port = 0;

    // `ident`: the server asks our ident responder (it needs DNS on too);
    // `pingTimeout`: the seconds of silence after which it pings;
    // `pongTimeout`: the seconds it then waits for the answer.
    bool start(bool ident = false, int pingTimeout = 120, int pongTimeout = 20)
    {
        port = freePort();
        const QString conf = writeFile(
            QStringLiteral("ngircd.conf"),
            QStringLiteral("[Global]\n Name = irc.test\n Info = test server\n AdminInfo1 = test\n"
                           " AdminInfo2 = localhost\n AdminEMail = root@localhost\n"
                           " Listen = 127.0.0.1\n Ports = %1\n MotdPhrase = test motd\n"
                           "[Limits]\n MaxNickLength = 30\n PingTimeout = %2\n"
                           " PongTimeout = %4\n MaxConnectionsIP = 0\n"
                           "[Options]\n PAM = no\n Ident = %3\n DNS = %3\n")
                .arg(port)
                .arg(pingTimeout)
                .arg(ident ? "yes" : "no")
                .arg(pongTimeout)
                .toUtf8());
        return PeerProcess::start(findProgram(QStringLiteral("ngircd")),
                                  {QStringLiteral("-n"), QStringLiteral("-f"), conf}, port);
    }
};

// irssi in tmux as another user, with its files in the folder of `folder`:
// its own DCC address 127.0.0.1, DCC chats accepted by themselves, files
// taken and resumed by themselves into `download`, every conversation
// logged (the status window shows on the screen, where CTCP replies go),
// and no flood pacing (it would hold back its CTCP replies and its offers,
// and ignore a busy sender).
class Irssi
{
public:
    PeerProcess& folder;
    QString download;

    explicit Irssi(PeerProcess& f)
        : folder(f), download(f.dir() + QStringLiteral("/irssi-dl")),
          socketPath_(f.dir() + QStringLiteral("/tmux.sock"))
    {}
    ~Irssi() { tmux({QStringLiteral("kill-server")}); }
    Irssi(const Irssi&) = delete;
    Irssi& operator=(const Irssi&) = delete;

    QString home() const { return folder.dir() + QStringLiteral("/irssi-") + nick_; }

    // Connects as `nick` and waits for the end of the server's MOTD.
    bool start(quint16 port, const QString& nick)
    {
        nick_ = nick;
        QDir().mkpath(home() + QStringLiteral("/logs"));
        QDir().mkpath(download);
        QFile config(home() + QStringLiteral("/config"));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        const QByteArray n = nick.toUtf8();
        config.write("settings = {\n  core = { real_name = \"" + n + "\"; user_name = \"" + n +
                     "\"; nick = \"" + n +
                     "\"; settings_autosave = \"no\"; };\n"
                     "  \"irc/dcc\" = { dcc_own_ip = \"127.0.0.1\"; dcc_port = \"50000 50019\"; "
                     "dcc_autochat_masks = \"*\"; dcc_autoget = \"yes\"; dcc_autoresume = "
                     "\"yes\"; dcc_download_path = \"" +
                     download.toUtf8() +
                     "\"; dcc_autoget_max_size = \"0\"; };\n"
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
    bool tmux(const QStringList& args, QByteArray* out = nullptr)
    {
        QProcess p;
        p.start(PeerProcess::findProgram(QStringLiteral("tmux")),
                QStringList{QStringLiteral("-S"), socketPath_} + args);
        if (!p.waitForFinished(10000))
            return false;
        if (out)
            *out = p.readAllStandardOutput();
        return p.exitCode() == 0;
    }

    QString socketPath_;
    QString nick_;
};

// weechat-headless as another user, run by `process` and driven through
// its FIFO; what it shows is read from its logs. Its own DCC address
// 127.0.0.1; chats, files and resumes accepted by themselves, files into
// `download` (a partial download is NAME.part; only that one is resumed);
// no flood pacing.
class Weechat
{
public:
    PeerProcess& process;
    QString download;

    explicit Weechat(PeerProcess& p) : process(p), download(p.dir() + QStringLiteral("/weechat-dl"))
    {}
    ~Weechat() { stop(); }
    Weechat(const Weechat&) = delete;
    Weechat& operator=(const Weechat&) = delete;

    QString fifo() const { return process.dir() + QStringLiteral("/weechat.fifo"); }
    QString logs() const { return process.dir() + QStringLiteral("/weechat/logs"); }

    // Connects as `nick` and waits for its FIFO, then (when `channel` is
    // given) until it has joined `channel`. `charset`: the single-byte
    // charset it speaks on the wire, or empty for its default (UTF-8).
    bool start(quint16 port, const QString& nick, const QString& channel = {},
               const QString& charset = {})
    {
        const QString home = process.dir() + QStringLiteral("/weechat");
        QDir().mkpath(home);
        QDir().mkpath(download);
        QStringList commands{
            QStringLiteral("/set logger.file.flush_delay 0"),
            QStringLiteral("/set fifo.file.path ") + fifo(),
            QStringLiteral("/set xfer.network.own_ip 127.0.0.1"),
            QStringLiteral("/set xfer.network.port_range 50020-50029"),
            QStringLiteral("/set xfer.file.auto_accept_chats on"),
            QStringLiteral("/set xfer.file.auto_accept_files on"),
            QStringLiteral("/set xfer.file.auto_resume on"),
            QStringLiteral("/set xfer.file.use_nick_in_filename off"),
            QStringLiteral("/set xfer.file.download_path ") + download,
            QStringLiteral("/set irc.server_default.anti_flood_prio_high 0"),
            QStringLiteral("/set irc.server_default.anti_flood_prio_low 0"),
            QStringLiteral("/server add test 127.0.0.1/%1 -notls").arg(port),
            QStringLiteral("/set irc.server.test.nicks ") + nick,
            QStringLiteral("/set irc.server.test.username ") + nick,
        };
        if (!channel.isEmpty())
            commands << QStringLiteral("/set irc.server.test.autojoin ") + channel;
        if (!charset.isEmpty())
            commands << QStringLiteral("/set charset.default.encode ") + charset
                     << QStringLiteral("/set charset.default.decode ") + charset;
        commands << QStringLiteral("/connect test");
        // It has no port of its own: the start waits on the server's port,
        // which is already open, and then here for the FIFO.
        if (!process.start(PeerProcess::findProgram(QStringLiteral("weechat-headless")),
                           {QStringLiteral("--dir"), home, QStringLiteral("--stdout"),
                            QStringLiteral("-r"), commands.join(u';')},
                           port))
            return false;
        if (!QTest::qWaitFor([&] { return QFileInfo::exists(fifo()); }, 10000))
            return false;
        return channel.isEmpty() || QTest::qWaitFor(
                                        [&] {
                                            return log(QStringLiteral("irc.test.") + channel)
                                                .contains(QStringLiteral("has joined"));
                                        },
                                        15000);
    }
    // One FIFO line: `text` to a buffer ("irc.server.test",
    // "irc.test.#chan", "xfer.irc_dcc.test.nick"); a command starts with
    // "/".
    bool command(const QString& buffer, const QString& text)
    {
        // Opened without waiting for a reader that is not there (weechat
        // gone).
        const int fd = ::open(QFile::encodeName(fifo()).constData(), O_WRONLY | O_NONBLOCK);
        if (fd < 0)
            return false;
        const QByteArray line = (buffer + QStringLiteral(" *") + text + u'\n').toUtf8();
        const bool ok = ::write(fd, line.constData(), size_t(line.size())) == line.size();
        ::close(fd);
        return ok;
    }
    // A buffer's log ("irc.test.#chan", "irc.server.test",
    // "xfer.irc_dcc.test.nick", "core.weechat"), as UTF-8 text.
    QString log(const QString& name) const
    {
        QFile f(logs() + u'/' + name.toLower() + QStringLiteral(".weechatlog"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll());
    }
    QString coreLog() const { return log(QStringLiteral("core.weechat")); }
    void stop() { process.stop(); }
};

// A plain client of the test's own. It answers the server's PING whenever
// the event loop runs, so it stays connected however long the test takes,
// and keeps every line it received.
class IrcClient : public QObject
{
public:
    QTcpSocket socket;
    QByteArray nick;
    QList<QByteArray> lines;

    IrcClient()
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, this, [this] { read(); });
    }
    // Registers as `nickName` and waits for the welcome.
    bool connect(quint16 port, const QByteArray& nickName)
    {
        nick = nickName;
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
    // Everything received, for failure messages.
    QByteArray text() const { return lines.join('\n'); }

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

// The IRC server of one client, played by the test: it reads the lines the
// client sends and sends it whatever the test says.
class ScriptedIrc
{
public:
    QTcpServer server;
    QPointer<QTcpSocket> client;
    // What the client sent since the last take.
    QByteArray received;

    bool listen() { return server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return server.serverPort(); }

    // Waits for the next connection (the client's first, or its next after
    // a reconnect).
    bool waitForClient(int timeoutMs = 10000)
    {
        if (!waitUntil([&] { return server.hasPendingConnections(); }, timeoutMs))
            return false;
        client = server.nextPendingConnection();
        return true;
    }
    void send(const QByteArray& line)
    {
        if (client) {
            client->write(line + "\r\n");
            client->flush();
        }
    }
    // A CTCP request from `nick` to `to`.
    void ctcp(const QByteArray& nick, const QByteArray& to, const QByteArray& text)
    {
        send(":" + nick + "!u@h PRIVMSG " + to + " :" + c1 + text + c1);
    }
    // True once what was received since the last take holds `text`
    // (CR LF included where the text has it).
    bool waitFor(const QByteArray& text, int timeoutMs = 10000)
    {
        return waitUntil(
            [&] {
                poll();
                return received.contains(text);
            },
            timeoutMs);
    }
    // The lines received since the last take (what comes within a moment
    // included), taken.
    QList<QByteArray> take()
    {
        if (client)
            client->waitForReadyRead(50);
        poll();
        QList<QByteArray> lines;
        for (QByteArray line : std::exchange(received, {}).split('\n'))
            if (!(line = line.trimmed()).isEmpty())
                lines << line;
        return lines;
    }
    // The first line received since the last take that contains `text`
    // (without CR LF), taken with the lines before it; empty after the time.
    QByteArray takeLine(const QByteArray& text, int timeoutMs = 10000)
    {
        QByteArray found;
        waitUntil(
            [&] {
                poll();
                qsizetype from = 0;
                while (true) {
                    const qsizetype end = received.indexOf('\n', from);
                    if (end < 0)
                        return false;
                    const QByteArray line = received.mid(from, end - from).trimmed();
                    if (line.contains(text)) {
                        found = line;
                        received.remove(0, end + 1);
                        return true;
                    }
                    from = end + 1;
                }
            },
            timeoutMs);
        return found;
    }

private:
    void poll()
    {
        if (client)
            received += client->readAll();
    }
};

} // namespace IrcPeers
