// A channel flood: how fast the chat plug-in keeps up with a server that
// writes channel messages as fast as the socket takes them, against irssi
// on the same kind of server.
//
// Each client, in a fresh process of its own, connects to a local server of
// this program, registers and joins #flood, whose names list holds 60 nicks.
// Once the client has answered a first CTCP PING (it has joined and is
// idle), the server writes the flood, lines like
//   :n07!u@h PRIVMSG #flood :line K ^C04red^C ^Bbold^B plain text for the
//   window http://example.th/K <Thai UTF-8 text> and the rest of it
// then a CTCP PING and the server's PING. The time from the first line to
// the client's answer to the server's PING (a client answers it as soon as
// it has read it, after every line before it) is how long the client took
// to take them all; the CTCP PING's reply is waited for too. (irssi sends
// its CTCP replies on a timer of its own, up to a second after it read the
// request: that second would be in its figures.) The clients:
//   Brevant  the program's own start (main window, its plug-ins; no
//            browser window), the address "irc:bench@127.0.0.1:PORT#flood"
//            handed to the plug-ins as the navigation pipeline hands it:
//            the real server window and channel window, offscreen;
//   irssi    in a tmux pane, the same server, the same flood.
// Reported per client: lines per second, CPU seconds (user + system of the
// client's process) per 10 000 lines, and peak resident memory (VmHWM); and
// per round the ratios Brevant / irssi. The clients take turns, round after
// round, which one goes first alternating.
//
// Memory under a long flood: one Brevant run that takes 10 000 lines, then
// 190 000 more, with its resident memory (VmRSS) after each.
//
//   bench_chatflood [--flood | --memory]   (default both)
//   BREVANT_BENCH_ROUNDS  rounds of the flood (default 15)
//   BREVANT_BENCH_LINES   lines of each flood (default 20 000)
//   BREVANT_BENCH_SMOKE=1 one round of 1 000 lines, memory after 500 and
//                         2 000 lines

#include "LoopbackBench.h"

#include "platform/Registry.h"
#include "shell/browser/EmbeddedWB.h"
#include "shell/data/BrowserSettings.h"
#include "shell/main/MainServices.h"
#include "shell/main/Program.h"
#include "shell/navigation/U_Plugins.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <signal.h>

namespace {

const QByteArray channel = "#flood";
const char thai[] = "ข้อความภาษาไทยสำหรับหน้าต่าง";

// --- the client processes -------------------------------------------------

// The fields of /proc/PID/status in kB (VmHWM, VmRSS); 0 when unreadable.
qint64 statusKb(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray name = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// User plus system CPU seconds of a process.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // Fields 14 and 15 of the whole line: the 12th and 13th after the name.
    if (f.size() < 13)
        return 0;
    return double(f[11].toLongLong() + f[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// A client under test: started, its process id, stopped.
class Client
{
public:
    virtual ~Client() = default;
    virtual const char* name() const = 0;
    virtual bool start(quint16 port) = 0;
    virtual qint64 pid() const = 0;
    // What went wrong, for the report.
    virtual QString log() const { return {}; }
    virtual void stop() = 0;
};

// The program itself, in a child process (the `--brevant` mode below).
class BrevantClient : public Client
{
public:
    BrevantClient(const QString& program, const QProcessEnvironment& env)
        : program_(program), env_(env)
    {}
    ~BrevantClient() override { stop(); }
    const char* name() const override { return "Brevant"; }
    bool start(quint16 port) override
    {
        process_.setProcessEnvironment(env_);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(program_, {QStringLiteral("--brevant"), QString::number(port)});
        return process_.waitForStarted(10000);
    }
    qint64 pid() const override { return process_.processId(); }
    QString log() const override
    {
        return QString::fromLocal8Bit(const_cast<QProcess&>(process_).readAll().right(2000));
    }
    void stop() override
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }

private:
    QString program_;
    QProcessEnvironment env_;
    QProcess process_;
};

// irssi in a tmux pane of its own server (a socket in the run's folder).
class IrssiClient : public Client
{
public:
    explicit IrssiClient(const QString& folder)
        : folder_(folder), home_(folder + QStringLiteral("/irssi"))
    {}
    ~IrssiClient() override { stop(); }
    const char* name() const override { return "irssi"; }
    bool start(quint16 port) override
    {
        // A tmux server of its own each time: the last one may still be
        // going away.
        socket_ = folder_ + QStringLiteral("/tmux-%1.sock").arg(++starts_);
        QDir(home_).removeRecursively();
        QDir().mkpath(home_);
        QFile config(home_ + QStringLiteral("/config"));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write("settings = {\n  core = { real_name = \"bench\"; user_name = \"bench\"; "
                     "nick = \"bench\"; settings_autosave = \"no\"; };\n"
                     "  \"fe-common/core\" = { autolog = \"no\"; };\n"
                     // No pacing of its own commands.
                     "  \"irc/core\" = { cmd_queue_speed = \"0msec\"; cmds_max_at_once = "
                     "\"1000\"; };\n};\n");
        config.close();
        const QString irssi = QStandardPaths::findExecutable(QStringLiteral("irssi"));
        if (irssi.isEmpty())
            return false;
        const QString cmd = QStringLiteral("exec %1 --home=%2 -n bench -c 127.0.0.1 -p %3")
                                .arg(irssi, home_)
                                .arg(port);
        if (!tmux({QStringLiteral("new-session"), QStringLiteral("-d"), QStringLiteral("-s"),
                   QStringLiteral("flood"), QStringLiteral("-x"), QStringLiteral("160"),
                   QStringLiteral("-y"), QStringLiteral("50"), cmd}))
            return false;
        QByteArray out;
        tmux({QStringLiteral("display-message"), QStringLiteral("-p"), QStringLiteral("-t"),
              QStringLiteral("flood"), QStringLiteral("#{pane_pid}")},
             &out);
        pid_ = out.trimmed().toLongLong();
        return pid_ > 0;
    }
    qint64 pid() const override { return pid_; }
    QString log() const override
    {
        QByteArray out;
        const_cast<IrssiClient*>(this)->tmux({QStringLiteral("capture-pane"), QStringLiteral("-p"),
                                              QStringLiteral("-t"), QStringLiteral("flood")},
                                             &out);
        return QString::fromUtf8(out);
    }
    // A command typed into irssi.
    void type(const QString& line)
    {
        tmux({QStringLiteral("send-keys"), QStringLiteral("-t"), QStringLiteral("flood"), line,
              QStringLiteral("Enter")});
    }
    void stop() override
    {
        if (pid_ <= 0)
            return;
        tmux({QStringLiteral("kill-server")});
        // Gone before the next client starts.
        QElapsedTimer t;
        t.start();
        while (::kill(pid_t(pid_), 0) == 0 && t.elapsed() < 5000)
            QThread::msleep(10);
        pid_ = 0;
    }

private:
    bool tmux(const QStringList& args, QByteArray* out = nullptr)
    {
        QProcess p;
        p.start(QStandardPaths::findExecutable(QStringLiteral("tmux")),
                QStringList{QStringLiteral("-S"), socket_} + args);
        if (!p.waitForFinished(10000))
            return false;
        if (out)
            *out = p.readAllStandardOutput();
        return p.exitCode() == 0;
    }

    QString folder_;
    QString home_;
    QString socket_;
    int starts_ = 0;
    qint64 pid_ = 0;
};

// --- the server ------------------------------------------------------------

// The channel's other 59 nicks.
QByteArray nickOf(int k)
{
    return "n" + QByteArray::number(1 + k % 59).rightJustified(2, '0');
}

// `count` lines of the flood, numbered from `first`.
QByteArray floodLines(int first, int count)
{
    QByteArray out;
    out.reserve(qsizetype(count) * 200);
    for (int k = first; k < first + count; ++k) {
        const QByteArray n = QByteArray::number(k);
        out += ":" + nickOf(k) + "!u@h PRIVMSG " + channel + " :line " + n +
               " \x03"
               "04red\x03 \x02"
               "bold\x02 plain text for the window http://example.th/" +
               n + " " + thai + " and the rest of it\r\n";
    }
    return out;
}

// The server of one client: registration, the channel with its names, and
// the flood.
class FloodServer
{
public:
    FloodServer() : listener_(listenOnLoopback(port_)) {}
    ~FloodServer()
    {
        if (client_ >= 0)
            ::close(client_);
        ::close(listener_);
    }
    quint16 port() const { return port_; }
    QString error() const { return error_; }

    // Takes the client's connection and registration; `registered` runs
    // once the welcome has gone (irssi is told to join then), and the
    // function returns once the client has joined.
    bool welcome(const std::function<void()>& registered)
    {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 30000) <= 0)
            return fail(QStringLiteral("no connection"));
        client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        bool hasNick = false;
        bool hasUser = false;
        while (!(hasNick && hasUser)) {
            const QByteArray line = nextLine(30000);
            if (line.isNull())
                return fail(QStringLiteral("no registration"));
            if (line.startsWith("CAP LS")) {
                // No capabilities.
                send(":irc.test CAP * LS :\r\n");
            } else if (line.startsWith("NICK ")) {
                nick_ = line.mid(5).trimmed();
                if (nick_.startsWith(':'))
                    nick_ = nick_.mid(1);
                hasNick = true;
            } else if (line.startsWith("USER ")) {
                hasUser = true;
            }
        }
        send(":irc.test 001 " + nick_ + " :Welcome to the flood " + nick_ + "\r\n:irc.test 002 " +
             nick_ + " :Your host is irc.test\r\n:irc.test 375 " + nick_ +
             " :- irc.test Message of the day -\r\n:irc.test 372 " + nick_ +
             " :- flood\r\n:irc.test 376 " + nick_ + " :End of MOTD command\r\n");
        if (registered)
            registered();
        for (;;) {
            const QByteArray line = nextLine(30000);
            if (line.isNull())
                return fail(QStringLiteral("no JOIN"));
            if (line.startsWith("JOIN ") && line.contains(channel))
                break;
        }
        QByteArray names = nick_;
        for (int k = 0; k < 59; ++k)
            names += ' ' + nickOf(k);
        send(":" + nick_ + "!u@h JOIN :" + channel + "\r\n:irc.test 353 " + nick_ + " = " +
             channel + " :" + names + "\r\n:irc.test 366 " + nick_ + " " + channel +
             " :End of NAMES list\r\n");
        return true;
    }

    // A CTCP PING from `from`.
    bool ctcpPing(const QByteArray& from, const QByteArray& token)
    {
        return send(":" + from + "!u@h PRIVMSG " + nick_ + " :\x01PING " + token + "\x01\r\n");
    }
    // The wait for the reply to a CTCP PING (which may have come already).
    bool pingReply(const QByteArray& token, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (!pingReplies_.contains(token)) {
            const qint64 left = timeoutMs - t.elapsed();
            if (nextLine(int(qMax<qint64>(left, 0))).isNull())
                return fail(QStringLiteral("no PING reply"));
        }
        return true;
    }

    // The server's PING, and the wait for its PONG.
    bool serverPing(const QByteArray& token, int timeoutMs)
    {
        send("PING :" + token + "\r\n");
        QElapsedTimer t;
        t.start();
        for (;;) {
            const qint64 left = timeoutMs - t.elapsed();
            const QByteArray line = nextLine(int(qMax<qint64>(left, 0)));
            if (line.isNull())
                return fail(QStringLiteral("no PONG"));
            if (line.startsWith("PONG ") && line.contains(token))
                return true;
        }
    }

    // Writes the bytes whole, as fast as the socket takes them.
    bool send(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(client_, bytes.constData() + done, size_t(bytes.size() - done),
                                     MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail(QStringLiteral("send failed"));
            done += n;
        }
        return true;
    }

private:
    bool fail(const QString& what)
    {
        if (error_.isEmpty())
            error_ = what;
        return false;
    }

    // The client's next line, answering what needs an answer (PING, MODE,
    // WHO) on the way; a null array after the time.
    QByteArray nextLine(int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        for (;;) {
            const qsizetype end = input_.indexOf('\n');
            if (end >= 0) {
                QByteArray line = input_.left(end).trimmed();
                input_.remove(0, end + 1);
                if (line.startsWith("PING "))
                    send("PONG " + line.mid(5) + "\r\n");
                else if (line.startsWith("NOTICE ") && line.contains("\x01PING "))
                    pingReplies_.insert(line.mid(line.indexOf("\x01PING ") + 6).chopped(1));
                else if (line.startsWith("MODE " + channel))
                    send(":irc.test 324 " + nick_ + " " + channel + " +\r\n");
                else if (line.startsWith("WHO " + channel))
                    send(":irc.test 315 " + nick_ + " " + channel + " :End of WHO list\r\n");
                return line.isNull() ? QByteArray("") : line;
            }
            const qint64 left = timeoutMs - t.elapsed();
            if (left <= 0)
                return {};
            pollfd p{client_, POLLIN, 0};
            if (::poll(&p, 1, int(left)) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::recv(client_, buffer, sizeof buffer, 0);
            if (n <= 0)
                return {};
            input_.append(buffer, n);
        }
    }

    // The port first: the listener is made with it.
    quint16 port_ = 0;
    int listener_ = -1;
    int client_ = -1;
    QByteArray nick_;
    QByteArray input_;
    QSet<QByteArray> pingReplies_;
    QString error_;
};

// --- one run ---------------------------------------------------------------

struct Figures
{
    double linesPerSecond = 0;
    double cpuPer10k = 0;
    qint64 peakKb = 0;
};

// Starts the client on a server of its own and waits until it is in the
// channel and idle.
bool connectClient(Client& client, FloodServer& server)
{
    if (!client.start(server.port()))
        return false;
    auto* irssi = dynamic_cast<IrssiClient*>(&client);
    const bool in = server.welcome([irssi] {
        if (irssi)
            irssi->type(QStringLiteral("/join ") + QString::fromLatin1(channel));
    });
    return in && server.ctcpPing("pinger", "0") && server.pingReply("0", 30000);
}

void reportFailure(Client& client, const FloodServer& server)
{
    const QString error = server.error();
    std::printf("%s: %s\n%s\n", client.name(),
                error.isEmpty() ? "did not start" : qPrintable(error), qPrintable(client.log()));
}

bool runFlood(Client& client, int lines, Figures& f)
{
    FloodServer server;
    if (!connectClient(client, server)) {
        reportFailure(client, server);
        client.stop();
        return false;
    }
    const QByteArray flood = floodLines(0, lines);
    const double cpu0 = cpuSeconds(client.pid());
    const auto start = std::chrono::steady_clock::now();
    // The server's PING, which the client answers once it has read every
    // line before it, marks the end, and the CTCP PING after it ends the
    // workload. (irssi sends its CTCP replies on a timer of its own, up to
    // a second after it read the request.)
    bool ok = server.send(flood) && server.ctcpPing("ponger", "1") &&
              server.serverPing("flood-end", 600000);
    const double elapsed = seconds(start);
    const double cpu = cpuSeconds(client.pid()) - cpu0;
    ok = ok && server.pingReply("1", 30000);
    f.peakKb = statusKb(client.pid(), "VmHWM");
    if (!ok)
        reportFailure(client, server);
    client.stop();
    f.linesPerSecond = lines / elapsed;
    f.cpuPer10k = cpu * 10000.0 / lines;
    return ok;
}

// Resident memory after `first` lines and after `total`.
bool runMemory(Client& client, int first, int total)
{
    FloodServer server;
    if (!connectClient(client, server)) {
        reportFailure(client, server);
        return false;
    }
    const qint64 before = statusKb(client.pid(), "VmRSS");
    auto settle = [&] {
        // What the event loop does after the last line (a paint, the busy
        // icon's timer) is over.
        QThread::msleep(1000);
        return statusKb(client.pid(), "VmRSS");
    };
    int sent = 0;
    QList<QPair<int, qint64>> points;
    for (const int upTo : {first, total}) {
        // In slices, so that the flood does not sit in this process whole.
        while (sent < upTo) {
            const int n = qMin(10000, upTo - sent);
            if (!server.send(floodLines(sent, n))) {
                reportFailure(client, server);
                return false;
            }
            sent += n;
        }
        if (!server.serverPing("after-" + QByteArray::number(sent), 600000)) {
            reportFailure(client, server);
            return false;
        }
        points.append({sent, settle()});
    }
    client.stop();
    std::printf("\nmemory under a long flood (Brevant, VmRSS):\n");
    std::printf("  %-28s %9lld kB\n", "joined, before the flood", static_cast<long long>(before));
    for (const auto& [n, kb] : points)
        std::printf("  after %7d lines %19lld kB\n", n, static_cast<long long>(kb));
    const qint64 growth = points.last().second - points.first().second;
    std::printf("  growth from %d to %d lines: %lld kB (%.3f kB per 1 000 lines)\n",
                points.first().first, points.last().first, static_cast<long long>(growth),
                double(growth) * 1000.0 / double(points.last().first - points.first().first));
    return true;
}

// --- the program's side ----------------------------------------------------

int brevantChild(int argc, char** argv, quint16 port)
{
    PrepareWebEngine();
    QApplication app(argc, argv);
    TMainServices services;
    // Once the plug-ins are loaded and selected (the main window is shown),
    // the address goes to them as the navigation pipeline hands it over.
    QTimer offer;
    offer.setInterval(20);
    QObject::connect(&offer, &QTimer::timeout, &app, [&] {
        TPluginHost* host = services.PluginHost();
        if (host && host->OfferAddress(QStringLiteral("irc:bench@127.0.0.1:%1#flood").arg(port)))
            offer.stop();
    });
    offer.start();
    return RunProgram(app, services);
}

// The program's settings: no splash, no browser window at start, and the
// plug-in's key.
bool writeSettings(const QString& registry)
{
    qputenv("BREVANT_REGISTRY", QFile::encodeName(registry));
    {
        TRegistry reg;
        if (!OpenSettingsKey(reg))
            return false;
        reg.WriteString(QStringLiteral("UseSpash"), QStringLiteral("0"));
        reg.WriteString(QStringLiteral("StartMode"), QStringLiteral("0"));
    }
    TRegistry reg;
    reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
    return reg.OpenKey(QStringLiteral("Software\\Talvik_Software\\Zentrel"), true);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--brevant") == 0)
        return brevantChild(argc, argv, quint16(QByteArray(argv[2]).toUInt()));

    QCoreApplication app(argc, argv);
    const bool smoke = qEnvironmentVariableIsSet("BREVANT_BENCH_SMOKE");
    bool flood = true;
    bool memory = true;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--flood") == 0) {
            memory = false;
        } else if (qstrcmp(argv[i], "--memory") == 0) {
            flood = false;
        } else if (QByteArray(argv[i]).startsWith("--benchmark")) {
            // Google Benchmark's options, which scripts/bench.sh passes to
            // every benchmark, mean nothing here.
        } else {
            std::fprintf(stderr, "usage: %s [--flood | --memory]\n", argv[0]);
            return 2;
        }
    }
    int lines = smoke ? 1000 : 20000;
    if (qEnvironmentVariableIsSet("BREVANT_BENCH_LINES"))
        lines = qMax(1, qEnvironmentVariableIntValue("BREVANT_BENCH_LINES"));

    QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("home"));
    const QString registry = dir.filePath(QStringLiteral("registry.reg"));
    if (!QDir().mkpath(home) || !writeSettings(registry))
        return 1;
    const QString plugins = QStringLiteral(BREVANT_PLUGINS_DIR);
    if (!QFileInfo(plugins).isDir() || !QFile::link(plugins, home + QStringLiteral("/Plugins"))) {
        std::printf("no plug-ins at %s\n", qPrintable(plugins));
        return 1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BREVANT_HOME"), home);
    env.insert(QStringLiteral("BREVANT_REGISTRY"), registry);
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               QStringLiteral("new_delete_type_mismatch=0:detect_leaks=0"));
    const QString program = QCoreApplication::applicationFilePath();

    int failures = 0;
    if (flood) {
        const int rounds = roundCount();
        BrevantClient brevant(program, env);
        IrssiClient irssi(dir.path());
        Client* clients[] = {&brevant, &irssi};
        QList<double> rate[2], cpu[2], peak[2], rateRatio, cpuRatio;
        for (int round = 0; round < rounds; ++round) {
            Figures f[2];
            bool ok[2] = {};
            for (int turn = 0; turn < 2; ++turn) {
                const int k = (round + turn) % 2;
                ok[k] = runFlood(*clients[k], lines, f[k]);
            }
            for (int k = 0; k < 2; ++k) {
                if (!ok[k]) {
                    ++failures;
                    continue;
                }
                rate[k].append(f[k].linesPerSecond);
                cpu[k].append(f[k].cpuPer10k);
                peak[k].append(double(f[k].peakKb) / 1024.0);
            }
            if (ok[0] && ok[1]) {
                rateRatio.append(f[0].linesPerSecond / f[1].linesPerSecond);
                cpuRatio.append(f[1].cpuPer10k > 0 ? f[0].cpuPer10k / f[1].cpuPer10k : 0);
            }
            std::printf("round %d: Brevant %.0f lines/s %.2f s CPU/10k %.1f MB; irssi %.0f "
                        "lines/s %.2f s CPU/10k %.1f MB\n",
                        round + 1, f[0].linesPerSecond, f[0].cpuPer10k,
                        double(f[0].peakKb) / 1024.0, f[1].linesPerSecond, f[1].cpuPer10k,
                        double(f[1].peakKb) / 1024.0);
            std::fflush(stdout);
        }
        const QByteArray note = " of a flood of " + QByteArray::number(lines) +
                                " channel lines into a channel of 60 nicks";
        printRoundsHead(rounds, note.constData());
        for (int k = 0; k < 2; ++k) {
            if (rate[k].isEmpty())
                continue;
            const QByteArray n = clients[k]->name();
            printSpread((n + " lines per second").constData(), rate[k], "lines/s");
            printSpread((n + " CPU per 10 000 lines").constData(), cpu[k], "s");
            printSpread((n + " peak resident memory").constData(), peak[k], "MB");
        }
        if (!rateRatio.isEmpty()) {
            printSpread("Brevant / irssi, lines per second", rateRatio, "");
            printSpread("Brevant / irssi, CPU per line", cpuRatio, "");
        }
    }
    if (memory) {
        BrevantClient brevant(program, env);
        if (!runMemory(brevant, smoke ? 500 : 10000, smoke ? 2000 : 200000))
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
