// DCC file transfers between the plug-in's server window and real clients
// on ngircd: irssi and weechat-headless, each way, files of 0 bytes, 2500
// bytes and several MiB (one with blanks in its name), compared by
// sha256, and RESUME each way from a partial file placed beforehand.
#include "DccPeers.h"
#include "Ngircd.h"

#include "chat/U_GlobalConfig.h"
#include "chat/plugin/FrmDCC.h"
#include "chat/plugin/FrmMDIServer.h"

#include "toolkit/Controls.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>

using namespace Zentrel;
using namespace DccPeers;

namespace {
constexpr qint64 kBig = 3 * 1024 * 1024 + 123;
}

class TestFormsDccPeers : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString receive_;
    QString files_; // what the peers and we send from
    PeerProcess ngircd_;
    quint16 port_ = 0;
    QPointer<TMDIServer> server_;
    qint64 clock_ = 0;
    PeerProcess irssiProcess_; // a folder only: irssi runs in tmux
    std::unique_ptr<IrssiDcc> irssi_;
    PeerProcess weechatProcess_;
    std::unique_ptr<WeechatDcc> weechat_;

    QString status() const { return server_->redShowText->toPlainText(); }
    QString raw() const { return server_->redShowRaw->toPlainText(); }

    QString file(const QString& name, qint64 size, quint32 seed)
    {
        const QString path = files_ + u'/' + name;
        writeFile(path, pattern(size, seed));
        return path;
    }

    // Every offer is a new one for the rate limit.
    void tick() { clock_ += 60000; }

    bool sameFile(const QString& a, const QString& b, int timeoutMs = 60000)
    {
        const QByteArray want = sha256(a);
        return waitUntil(
            [&] { return QFileInfo(b).size() == QFileInfo(a).size() && sha256(b) == want; },
            timeoutMs);
    }

    bool transfersDone(int timeoutMs = 60000)
    {
        return waitUntil([] { return TF_DCC::Windows().isEmpty(); }, timeoutMs);
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        receive_ = dir_.filePath(QStringLiteral("DCCReceived"));
        files_ = dir_.filePath(QStringLiteral("files"));
        QVERIFY(QDir().mkpath(receive_) && QDir().mkpath(files_));
        Settings() = TZentrelSettings();
        Settings().DCCDirectory = receive_;
        Settings().DCCAutoReceive = true;

        port_ = PeerProcess::freePort();
        QVERIFY2(ZentrelIrc::startNgircd(ngircd_, port_, false), qPrintable(ngircd_.errorString()));
        server_ = new TMDIServer;
        server_->SetServerText(QStringLiteral("127.0.0.1:%1").arg(port_));
        server_->SetNick(QStringLiteral("zed"));
        server_->Session().MonotonicMs = [this] { return clock_; };
        server_->B_ConnectClick();
        QVERIFY2(waitUntil([&] { return status().contains(QStringLiteral("End of MOTD")); }),
                 qPrintable(status()));

        irssi_ = std::make_unique<IrssiDcc>(irssiProcess_);
        QVERIFY(irssi_->start(port_, QStringLiteral("ivan")));
        weechat_ = std::make_unique<WeechatDcc>(weechatProcess_);
        QVERIFY2(weechat_->start(port_, QStringLiteral("wendy")),
                 qPrintable(weechatProcess_.errorString()));
        QVERIFY(waitUntil(
            [&] {
                server_->SendLine("ISON ivan wendy");
                return waitUntil([&] { return status().contains(QStringLiteral("ivan wendy")); },
                                 500);
            },
            20000));
    }

    void cleanupTestCase()
    {
        EndDccTransfers();
        delete server_.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        weechat_.reset();
        weechatProcess_.stop();
        irssi_.reset();
        ngircd_.stop();
    }

    // Ours to irssi: three at once, then a resume of a file irssi holds
    // the first MiB of (its answer to our ACCEPT with "file.ext").
    void sendToIrssi()
    {
        const QString empty = file(QStringLiteral("i-empty.bin"), 0, 1);
        const QString small = file(QStringLiteral("i-small.bin"), 2500, 2);
        const QString big = file(QStringLiteral("i big.bin"), kBig, 3);
        for (const QString& path : {empty, small, big}) {
            tick();
            QVERIFY(StartDccSend(server_, "ivan", path));
        }
        QVERIFY(sameFile(small, irssi_->download + QStringLiteral("/i-small.bin")));
        QVERIFY2(sameFile(big, irssi_->download + QStringLiteral("/i_big.bin")),
                 qPrintable(irssi_->screen()));
        QVERIFY2(waitUntil([&] {
                     return QFileInfo::exists(irssi_->download + QStringLiteral("/i-empty.bin"));
                 }),
                 qPrintable(irssi_->screen()));
        QVERIFY(transfersDone());
        QCOMPARE(QFileInfo(irssi_->download + QStringLiteral("/i-empty.bin")).size(), 0);

        const QString resume = file(QStringLiteral("i-resume.bin"), kBig, 4);
        QVERIFY(writeFile(irssi_->download + QStringLiteral("/i-resume.bin"),
                          pattern(kBig, 4).left(1 << 20)));
        tick();
        QVERIFY(StartDccSend(server_, "ivan", resume));
        QVERIFY(sameFile(resume, irssi_->download + QStringLiteral("/i-resume.bin")));
        QVERIFY(raw().contains(QStringLiteral("DCC ACCEPT file.ext  ")));
        QVERIFY(transfersDone());
        QVERIFY(!status().contains(QStringLiteral("failed")));
    }

    // Ours to weechat, the same; it resumes only from NAME.part.
    void sendToWeechat()
    {
        const QString empty = file(QStringLiteral("w-empty.bin"), 0, 5);
        const QString small = file(QStringLiteral("w-small.bin"), 2500, 6);
        const QString big = file(QStringLiteral("w big.bin"), kBig, 7);
        for (const QString& path : {empty, small, big}) {
            tick();
            QVERIFY(StartDccSend(server_, "wendy", path));
        }
        QVERIFY(sameFile(small, weechat_->download + QStringLiteral("/w-small.bin")));
        QVERIFY2(sameFile(big, weechat_->download + QStringLiteral("/w_big.bin")),
                 qPrintable(weechat_->coreLog()));
        QVERIFY2(waitUntil([&] {
                     return QFileInfo::exists(weechat_->download + QStringLiteral("/w-empty.bin"));
                 }),
                 qPrintable(weechat_->coreLog()));
        QVERIFY(transfersDone());

        const QString resume = file(QStringLiteral("w-resume.bin"), kBig, 8);
        QVERIFY(writeFile(weechat_->download + QStringLiteral("/w-resume.bin.part"),
                          pattern(kBig, 8).left(1 << 20)));
        tick();
        QVERIFY(StartDccSend(server_, "wendy", resume));
        QVERIFY2(sameFile(resume, weechat_->download + QStringLiteral("/w-resume.bin")),
                 qPrintable(weechat_->coreLog()));
        QVERIFY(
            weechat_->coreLog().contains(QStringLiteral("will be resumed at position 1048576")));
        QVERIFY(transfersDone());
        QVERIFY(!status().contains(QStringLiteral("failed")));
    }

    // irssi's files to us (auto-receive), and a resume of one we hold the
    // first MiB of.
    void receiveFromIrssi()
    {
        const QString empty = file(QStringLiteral("ri-empty.bin"), 0, 9);
        const QString small = file(QStringLiteral("ri-small.bin"), 2500, 10);
        const QString big = file(QStringLiteral("ri big.bin"), kBig, 11);
        tick();
        irssi_->type(QStringLiteral("/dcc send zed ") + empty);
        QVERIFY2(waitUntil(
                     [&] { return QFileInfo::exists(receive_ + QStringLiteral("/ri-empty.bin")); }),
                 qPrintable(status()));
        tick();
        irssi_->type(QStringLiteral("/dcc send zed ") + small);
        QVERIFY(sameFile(small, receive_ + QStringLiteral("/ri-small.bin")));
        tick();
        irssi_->type(QStringLiteral("/dcc send zed \"%1\"").arg(big));
        QVERIFY2(sameFile(big, receive_ + QStringLiteral("/ri big.bin")),
                 qPrintable(irssi_->screen() + status()));
        QVERIFY(transfersDone());
        QCOMPARE(QFileInfo(receive_ + QStringLiteral("/ri-empty.bin")).size(), 0);

        const QString resume = file(QStringLiteral("ri-resume.bin"), kBig, 12);
        QVERIFY(writeFile(receive_ + QStringLiteral("/ri-resume.bin"),
                          pattern(kBig, 12).left(1 << 20)));
        tick();
        irssi_->type(QStringLiteral("/dcc send zed ") + resume);
        QVERIFY2(sameFile(resume, receive_ + QStringLiteral("/ri-resume.bin")),
                 qPrintable(irssi_->screen() + status()));
        QVERIFY(raw().contains(QStringLiteral("DCC RESUME ri-resume.bin")));
        QVERIFY(transfersDone());
        QVERIFY(!status().contains(QStringLiteral("failed")));
    }

    void receiveFromWeechat()
    {
        const QString empty = file(QStringLiteral("rw-empty.bin"), 0, 13);
        const QString small = file(QStringLiteral("rw-small.bin"), 2500, 14);
        const QString big = file(QStringLiteral("rw big.bin"), kBig, 15);
        for (const QString& path : {empty, small, big}) {
            tick();
            QVERIFY(weechat_->command(QStringLiteral("dcc send zed ") + path));
            QTest::qWait(200);
        }
        QVERIFY2(sameFile(small, receive_ + QStringLiteral("/rw-small.bin")),
                 qPrintable(weechat_->coreLog() + status()));
        QVERIFY2(sameFile(big, receive_ + QStringLiteral("/rw_big.bin")),
                 qPrintable(weechat_->coreLog() + status()));
        QVERIFY2(waitUntil(
                     [&] { return QFileInfo::exists(receive_ + QStringLiteral("/rw-empty.bin")); }),
                 qPrintable(weechat_->coreLog() + status()));
        QVERIFY(transfersDone());

        const QString resume = file(QStringLiteral("rw-resume.bin"), kBig, 16);
        QVERIFY(writeFile(receive_ + QStringLiteral("/rw-resume.bin"),
                          pattern(kBig, 16).left(1 << 20)));
        tick();
        QVERIFY(weechat_->command(QStringLiteral("dcc send zed ") + resume));
        QVERIFY2(sameFile(resume, receive_ + QStringLiteral("/rw-resume.bin")),
                 qPrintable(weechat_->coreLog() + status()));
        QVERIFY(transfersDone());
        QVERIFY(!status().contains(QStringLiteral("failed")));
    }
};

QTEST_MAIN(TestFormsDccPeers)
#include "forms_dccpeers.moc"
