// DCC file transfers between the plug-in's server window and real clients
// on ngircd: irssi and weechat-headless, each way, files of 0 bytes, 2500
// bytes and several MiB (one with blanks in its name), compared by
// sha256, and RESUME each way: of a partial file the peer holds, and of
// one a reception of ours left unfinished.
#include "DccPeers.h"

#include "chat/U_GlobalConfig.h"
#include "chat/plugin/FrmDCC.h"
#include "chat/plugin/FrmMDIServer.h"

#include "toolkit/Controls.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>

using namespace Zentrel;
using namespace IrcPeers;
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
    Ngircd ngircd_;
    QPointer<TMDIServer> server_;
    qint64 clock_ = 0;
    PeerProcess irssiFolder_; // irssi runs in tmux
    std::unique_ptr<Irssi> irssi_;
    PeerProcess weechatProcess_;
    std::unique_ptr<Weechat> weechat_;

    QString status() const { return server_->redShowText->toPlainText(); }
    QString raw() const { return server_->redShowRaw->toPlainText(); }

    QString file(const QString& name, qint64 size, quint32 seed)
    {
        return makeFile(files_, name, size, seed);
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

        QVERIFY2(ngircd_.start(), qPrintable(ngircd_.errorString()));
        server_ = new TMDIServer;
        server_->SetServerText(QStringLiteral("127.0.0.1:%1").arg(ngircd_.port));
        server_->SetNick(QStringLiteral("zed"));
        // Every offer comes a minute after the one before: none is refused
        // for the rate of offers.
        server_->Session().MonotonicMs = [this] { return clock_ += 60000; };
        server_->B_ConnectClick();
        QVERIFY2(waitUntil([&] { return status().contains(QStringLiteral("End of MOTD")); }),
                 qPrintable(status()));

        irssi_ = std::make_unique<Irssi>(irssiFolder_);
        QVERIFY(irssi_->start(ngircd_.port, QStringLiteral("ivan")));
        weechat_ = std::make_unique<Weechat>(weechatProcess_);
        QVERIFY2(weechat_->start(ngircd_.port, QStringLiteral("wendy")),
                 qPrintable(weechatProcess_.errorString()));
        QVERIFY(askUntil([&] { server_->SendLine("ISON ivan wendy"); },
                         [&] { return status().contains(QStringLiteral("ivan wendy")); }));
    }

    void cleanupTestCase()
    {

        EndDccTransfers();
        delete server_.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        weechat_.reset();
        irssi_.reset();
        ngircd_.stop();
    }

private:
    // Ours to a peer that takes them into `download`: three at once (0
    // bytes, 2500 bytes, several MiB with a blank, which arrives with "_"),
    // then a resume of a file the peer holds the first MiB of at
    // `partial` (its answer to our ACCEPT with "file.ext").
    void sendTo(const QByteArray& nick, const QString& download, const QString& prefix,
                const QString& partial, const std::function<QString()>& log)
    {
        const QString empty = file(prefix + QStringLiteral("-empty.bin"), 0, 1);
        const QString small = file(prefix + QStringLiteral("-small.bin"), 2500, 2);
        const QString big = file(prefix + QStringLiteral(" big.bin"), kBig, 3);
        for (const QString& path : {empty, small, big}) {
            QVERIFY(StartDccSend(server_, nick, path));
        }
        QVERIFY(waitForSameFile(small, download + u'/' + prefix + QStringLiteral("-small.bin")));
        QVERIFY2(waitForSameFile(big, download + u'/' + prefix + QStringLiteral("_big.bin")),
                 qPrintable(log()));
        QVERIFY2(waitUntil([&] {
                     return QFileInfo::exists(download + u'/' + prefix +
                                              QStringLiteral("-empty.bin"));
                 }),
                 qPrintable(log()));
        QVERIFY(transfersDone());
        QCOMPARE(QFileInfo(download + u'/' + prefix + QStringLiteral("-empty.bin")).size(), 0);

        const QString resume = file(prefix + QStringLiteral("-resume.bin"), kBig, 4);
        QVERIFY(writeFile(download + u'/' + partial, pattern(kBig, 4).left(1 << 20)));
        QVERIFY(StartDccSend(server_, nick, resume));
        QVERIFY2(waitForSameFile(resume, download + u'/' + prefix + QStringLiteral("-resume.bin")),
                 qPrintable(log()));
        QVERIFY(raw().contains(QStringLiteral("DCC ACCEPT file.ext  ")));
        QVERIFY(transfersDone());
        QVERIFY(!status().contains(QStringLiteral("failed")));
    }

    // A peer's files to us (auto-receive): 0 bytes, 2500 bytes, several MiB
    // with a blank (saved as `bigName`), then a resume of one whose first
    // MiB a reception of ours got before it was cut off.
    void receiveFrom(const QString& prefix, const std::function<void(const QString&)>& send,
                     const QString& bigName, const std::function<QString()>& log)
    {
        const QString empty = file(prefix + QStringLiteral("-empty.bin"), 0, 5);
        const QString small = file(prefix + QStringLiteral("-small.bin"), 2500, 6);
        const QString big = file(prefix + QStringLiteral(" big.bin"), kBig, 7);
        for (const QString& path : {empty, small, big}) {
            send(path);
        }
        QVERIFY2(waitForSameFile(small, receive_ + u'/' + prefix + QStringLiteral("-small.bin")),
                 qPrintable(log() + status()));
        QVERIFY2(waitForSameFile(big, receive_ + u'/' + bigName), qPrintable(log() + status()));
        QVERIFY2(waitUntil([&] {
                     return QFileInfo::exists(receive_ + u'/' + prefix +
                                              QStringLiteral("-empty.bin"));
                 }),
                 qPrintable(log() + status()));
        QVERIFY(transfersDone());
        QCOMPARE(QFileInfo(receive_ + u'/' + prefix + QStringLiteral("-empty.bin")).size(), 0);

        const QString name = prefix + QStringLiteral("-resume.bin");
        const QString resume = file(name, kBig, 8);
        const int failed = status().count(QStringLiteral("failed"));
        {
            // Offered by the test's own sender through the server, which
            // stops after the first MiB.
            IrcClient cut;
            const QByteArray who = "cut" + prefix.toLatin1();
            QVERIFY(cut.connect(ngircd_.port, who));
            ScriptedSender sender;
            QVERIFY(sender.listen());
            cut.send("PRIVMSG zed :" + c1 + "DCC SEND " + name.toLatin1() + " 2130706433 " +
                     QByteArray::number(sender.port()) + ' ' + QByteArray::number(kBig) + c1);
            QVERIFY2(sender.waitForPeer(), qPrintable(status()));
            sender.write(pattern(kBig, 8).left(1 << 20));
            QVERIFY(sender.waitForAck(1 << 20, 30000));
            sender.peer->abort();
            QVERIFY(waitUntil([&] {
                return status().contains(QStringLiteral("DCC receive of ") + name + " from " +
                                         QLatin1String(who) + " failed");
            }));
            QVERIFY(transfersDone());
        }
        QCOMPARE(QFileInfo(receive_ + u'/' + name).size(), 1 << 20);
        send(resume);
        QVERIFY2(waitForSameFile(resume, receive_ + u'/' + name), qPrintable(log() + status()));
        QVERIFY(raw().contains(QStringLiteral("DCC RESUME ") + name));
        QVERIFY(transfersDone());
        QCOMPARE(status().count(QStringLiteral("failed")), failed + 1); // the one cut off
    }

private slots:
    void sendToIrssi()
    {
        sendTo("ivan", irssi_->download, QStringLiteral("i"), QStringLiteral("i-resume.bin"),
               [&] { return irssi_->screen(); });
    }

    // weechat resumes only from NAME.part.
    void sendToWeechat()
    {
        sendTo("wendy", weechat_->download, QStringLiteral("w"),
               QStringLiteral("w-resume.bin.part"), [&] { return weechat_->coreLog(); });
        QVERIFY(
            weechat_->coreLog().contains(QStringLiteral("will be resumed at position 1048576")));
    }

    // irssi offers a name with blanks quoted.
    void receiveFromIrssi()
    {
        receiveFrom(
            QStringLiteral("ri"),
            [&](const QString& path) {
                irssi_->type(QStringLiteral("/dcc send zed \"%1\"").arg(path));
            },
            QStringLiteral("ri big.bin"), [&] { return irssi_->screen(); });
    }

    // weechat offers a name with blanks as "_".
    void receiveFromWeechat()
    {
        receiveFrom(
            QStringLiteral("rw"),
            [&](const QString& path) {
                QVERIFY(weechat_->command(QStringLiteral("irc.server.test"),
                                          QStringLiteral("/dcc send zed ") + path));
            },
            QStringLiteral("rw_big.bin"), [&] { return weechat_->coreLog(); });
    }
};

QTEST_MAIN(TestFormsDccPeers)
#include "forms_dccpeers.moc"
