// DCC file transfers through the real Plugins/Zentrel.so in Brevant's main
// window, on ngircd: files from irssi and weechat-headless received by
// themselves (auto-receive) and by the offer prompt (resume chosen by
// clicking), checked by sha256; hostile peers that offer what no file
// name should be, addresses and sizes past 32 bits, data beyond the offer
// and a flood of offers; and the plug-in unloaded mid-transfer with a
// prompt open.
#include "DccPeers.h"
#include "EngineTestMain.h"
#include "ZentrelIrc.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QMenu>
#include <QTreeWidget>

using namespace IrcPeers;
using namespace DccPeers;
using namespace ZentrelIrc;

namespace {
constexpr qint64 kBig = 3 * 1024 * 1024 + 77;
}

class TestPluginDcc : public QObject
{
    Q_OBJECT

    ZentrelHarness h_;
    QTemporaryDir box_; // the receive folder and what lies beside it
    QString receive_;
    QString files_;
    Ngircd ngircd_;
    QPointer<TForm> zed_;     // receives from irssi and weechat
    QPointer<TForm> zoe_;     // the hostile peers' target
    PeerProcess irssiFolder_; // irssi runs in tmux
    std::unique_ptr<Irssi> irssi_;
    PeerProcess weechatProcess_;
    std::unique_ptr<Weechat> weechat_;
    // Kept to the end: a transfer still running when the plug-in goes.
    std::unique_ptr<ScriptedSender> hanging_;

    QString file(const QString& name, qint64 size, quint32 seed)
    {
        return makeFile(files_, name, size, seed);
    }
    static QStringList rows(QWidget* server)
    {
        QStringList out;
        if (auto* list = server->findChild<QTreeWidget*>(QStringLiteral("LV_DCC")))
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                out << list->topLevelItem(i)->text(0) + u'|' + list->topLevelItem(i)->text(1) +
                           u'|' + list->topLevelItem(i)->text(2);
        return out;
    }
    static QList<QWidget*> forms(const QString& name)
    {
        QList<QWidget*> out;
        for (QWidget* w : ZentrelHarness::zentrelWidgets())
            if (w->objectName() == name && w->isWindow())
                out << w;
        return out;
    }
    // Every file under the box: names relative to it, with sizes.
    QStringList tree() const
    {
        QStringList out;
        QDirIterator it(box_.path(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            out << QDir(box_.path()).relativeFilePath(it.filePath());
        }
        out.sort();
        return out;
    }

    // Opens "irc:nick@host:port#channel" and returns its server window (the
    // one whose server box holds "host:port").
    TForm* connect(const QString& nick, const QString& host, const QString& channel)
    {
        const QString server = QStringLiteral("%1:%2").arg(host).arg(ngircd_.port);
        ZentrelHarness::type(h_.browser(),
                             QStringLiteral("irc:%1@%2#%3").arg(nick, server, channel));
        TForm* found = nullptr;
        waitUntil(
            [&] {
                found = nullptr;
                for (TForm* w : h_.serverWindows())
                    if (w->findChild<QComboBox*>(QStringLiteral("ServerList"))->currentText() ==
                        server)
                        found = w;
                return found && chatWindow(*h_.main, '#' + channel) != nullptr;
            },
            20000);
        return found;
    }

private slots:
    void initTestCase()
    {
        receive_ = box_.filePath(QStringLiteral("recv"));
        files_ = h_.dir.filePath(QStringLiteral("files"));
        QVERIFY(QDir().mkpath(receive_) && QDir().mkpath(files_));
        QVERIFY(h_.setUp(MessageBoxService::IDOK, [&] {
            TRegistry reg;
            reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
            QVERIFY(reg.OpenKey(QStringLiteral("Software\\Talvik_Software\\Zentrel"), true));
            reg.WriteString(QStringLiteral("DCCDirectory"), receive_);
            reg.WriteString(QStringLiteral("DCCAutoReceive"), QStringLiteral("1"));
        }));

        QVERIFY2(ngircd_.start(false, 5), qPrintable(ngircd_.errorString()));
        zed_ = connect(QStringLiteral("zed"), QStringLiteral("127.0.0.1"), QStringLiteral("dcc"));
        QVERIFY(zed_);
        zoe_ = connect(QStringLiteral("zoe"), QStringLiteral("localhost"), QStringLiteral("evil"));
        QVERIFY(zoe_);
        QVERIFY(zed_ != zoe_);

        irssi_ = std::make_unique<Irssi>(irssiFolder_);
        QVERIFY(irssi_->start(ngircd_.port, QStringLiteral("ivan")));
        weechat_ = std::make_unique<Weechat>(weechatProcess_);
        QVERIFY2(weechat_->start(ngircd_.port, QStringLiteral("wendy")),
                 qPrintable(weechatProcess_.errorString()));
        QVERIFY(askUntil([&] { command(zed_, QStringLiteral("/ison ivan wendy")); },
                         [&] { return status(zed_).contains(QStringLiteral("ivan wendy")); }));
    }

    void cleanupTestCase()
    {
        h_.tearDown();
        hanging_.reset();
        weechat_.reset();
        irssi_.reset();
        ngircd_.stop();
    }

    // Offers from clients that mean harm, to zoe: names that reach out of
    // the receive folder or carry control characters, an existing file and
    // a link of an offered name, an address above 2^31, a size above 4 GiB,
    // a file named CHAT, more data than offered, RESUME and ACCEPT that
    // match nothing, and a flood. Nothing is written outside the receive
    // folder, nothing that was there changes, and zoe keeps answering the
    // server's PING.
    void hostilePeers()
    {
        const QString outside = box_.filePath(QStringLiteral("outside.txt"));
        QVERIFY(writeFile(outside, "outside"));
        QVERIFY(QFile::link(outside, receive_ + QStringLiteral("/x")));
        QVERIFY(writeFile(receive_ + QStringLiteral("/passwd"), "0123456789"));
        const QByteArray passwd = sha256(QStringLiteral("/etc/passwd"));

        IrcClient mal1, mal2, mal3, flood;
        QVERIFY(mal1.connect(ngircd_.port, "mal1"));
        QVERIFY(mal2.connect(ngircd_.port, "mal2"));
        QVERIFY(mal3.connect(ngircd_.port, "mal3"));
        QVERIFY(flood.connect(ngircd_.port, "flood"));
        auto offer = [](IrcClient& c, const QByteArray& text) {
            c.send("PRIVMSG zoe :" + c1 + "DCC " + text + c1);
        };
        auto at = [](const ScriptedSender& s) {
            return " 2130706433 " + QByteArray::number(s.port()) + ' ';
        };

        // "../x": the name x, beside the link of that name, and never more
        // than the 10 bytes offered.
        ScriptedSender dotdot;
        QVERIFY(dotdot.listen());
        offer(mal1, "SEND ../x" + at(dotdot) + "10");
        QVERIFY(dotdot.waitForPeer());
        dotdot.write(pattern(100, 1));
        QVERIFY(dotdot.waitForAck(10));
        QVERIFY(
            waitUntil([&] { return readFile(receive_ + QStringLiteral("/x (2)")).size() == 10; }));
        QCOMPARE(readFile(receive_ + QStringLiteral("/x (2)")), pattern(100, 1).left(10));
        // "/etc/passwd": the name passwd, already complete here.
        offer(mal1, "SEND /etc/passwd 2130706433 4321 5");
        QVERIFY(
            waitUntil([&] { return status(zoe_).contains(QStringLiteral("already complete")); }));

        // Control characters become "_" (a CR ends the line at the server).
        ScriptedSender control;
        QVERIFY(control.listen());
        offer(mal2, "SEND a\x02z\x1f"
                    "c.txt" +
                        at(control) + "4");
        QVERIFY(control.waitForPeer());
        control.write("abcd");
        QVERIFY(control.waitForAck(4));
        mal2.send("PRIVMSG zoe :" + c1 + "DCC SEND cr\rname.txt 2130706433 4000 4" + c1);
        // A size past 4 GiB: the transfer runs (and is still running when
        // the plug-in goes, at the end).
        hanging_ = std::make_unique<ScriptedSender>();
        QVERIFY(hanging_->listen());
        offer(mal2, "SEND huge.bin" + at(*hanging_) + "5000000000");
        QVERIFY(hanging_->waitForPeer());
        hanging_->write(pattern(3000, 2));
        QVERIFY(hanging_->waitForAck(3000));
        QVERIFY(waitUntil(
            [&] { return rows(zoe_).contains(QStringLiteral("<-- huge.bin|5000000000|0%")); }));

        // An address above 2^31 (the broadcast address): not taken by
        // itself, asked about (and here refused); and a file named CHAT.
        offer(mal3, "SEND high.bin 4294967295 4000 10");
        QVERIFY(waitUntil([] { return !forms(QStringLiteral("F_DCCSAve")).isEmpty(); }));
        QWidget* prompt = forms(QStringLiteral("F_DCCSAve")).first();
        QVERIFY(prompt->isVisible());
        QVERIFY(status(zoe_).contains(QStringLiteral(
            "*** DCC SEND of high.bin from mal3 not received automatically: broadcast address "
            "255.255.255.255")));
        QTest::mouseClick(prompt->findChild<QPushButton*>(QStringLiteral("Button3")),
                          Qt::LeftButton);
        QVERIFY(waitUntil([] { return forms(QStringLiteral("F_DCCSAve")).isEmpty(); }));
        ScriptedSender chat;
        QVERIFY(chat.listen());
        offer(mal3, "SEND CHAT" + at(chat) + "4");
        QVERIFY(chat.waitForPeer());
        chat.write("chat");
        QVERIFY(chat.waitForAck(4));
        QVERIFY(waitUntil([&] { return readFile(receive_ + QStringLiteral("/CHAT")) == "chat"; }));

        // RESUME and ACCEPT that match nothing: port 0, a finished
        // transfer's port.
        offer(mal1, "RESUME x 0 5");
        offer(mal1, "RESUME x " + QByteArray::number(dotdot.port()) + " 5");
        offer(mal1, "ACCEPT x " + QByteArray::number(dotdot.port()) + " 0");
        QVERIFY(waitUntil([&] {
            return status(zoe_).contains(QStringLiteral("DCC RESUME from mal1 refused: port 0")) &&
                   status(zoe_).contains(
                       QStringLiteral("DCC RESUME from mal1 refused: no transfer")) &&
                   status(zoe_).contains(QStringLiteral("DCC ACCEPT from mal1 refused"));
        }));

        // A flood: every offer past the limit is refused, none opens a
        // window.
        const int windows = forms(QStringLiteral("F_DCC")).size();
        for (int i = 0; i < 10; ++i)
            offer(flood, "SEND flood" + QByteArray::number(i) + ".bin 2130706433 4000 10");
        QVERIFY(waitUntil(
            [&] { return status(zoe_).count(QStringLiteral("refused: too many offers")) == 10; },
            20000));
        QCOMPARE(forms(QStringLiteral("F_DCC")).size(), windows);

        // What is in the box: the receive folder's files and nothing else.
        QCOMPARE(tree(), (QStringList{"outside.txt", "recv", "recv/CHAT", "recv/a_z_c.txt",
                                      "recv/huge.bin", "recv/passwd", "recv/x", "recv/x (2)"}));
        QCOMPARE(readFile(outside), QByteArray("outside"));
        QCOMPARE(readFile(receive_ + QStringLiteral("/passwd")), QByteArray("0123456789"));
        QCOMPARE(readFile(receive_ + QStringLiteral("/a_z_c.txt")), QByteArray("abcd"));
        QCOMPARE(sha256(QStringLiteral("/etc/passwd")), passwd);
    }

    // irssi's and weechat's files taken by themselves: 2500 bytes, several
    // MiB with blanks in the name, 0 bytes, and (in a third window, whose
    // offers count apart) a resume of a file whose first MiB a reception
    // of ours got before it was cut off.
    void filesFromIrssiAndWeechat()
    {
        const QString small = file(QStringLiteral("small.bin"), 2500, 3);
        const QString big = file(QStringLiteral("big one.bin"), kBig, 4);
        const QString empty = file(QStringLiteral("empty.bin"), 0, 5);
        const QString resume = file(QStringLiteral("resume.bin"), kBig, 6);
        // (Another name of the same server: a window of its own.)
        QPointer<TForm> zack =
            connect(QStringLiteral("zack"), QStringLiteral("127.1"), QStringLiteral("dcc2"));
        QVERIFY(zack);
        {
            IrcClient cut;
            QVERIFY(cut.connect(ngircd_.port, "cut"));
            ScriptedSender sender;
            QVERIFY(sender.listen());
            cut.send("PRIVMSG zack :" + c1 + "DCC SEND resume.bin 2130706433 " +
                     QByteArray::number(sender.port()) + ' ' + QByteArray::number(kBig) + c1);
            QVERIFY2(sender.waitForPeer(), qPrintable(status(zack)));
            sender.write(pattern(kBig, 6).left(1 << 20));
            QVERIFY(sender.waitForAck(1 << 20, 30000));
            sender.peer->abort();
            QVERIFY(waitUntil([&] {
                return status(zack).contains(
                    QStringLiteral("DCC receive of resume.bin from cut failed"));
            }));
        }
        QCOMPARE(QFileInfo(receive_ + QStringLiteral("/resume.bin")).size(), 1 << 20);
        irssi_->type(QStringLiteral("/dcc send zed ") + small);
        irssi_->type(QStringLiteral("/dcc send zed \"%1\"").arg(big));
        QVERIFY(weechat_->command(QStringLiteral("irc.server.test"),
                                  QStringLiteral("/dcc send zed ") + empty));
        QVERIFY(weechat_->command(QStringLiteral("irc.server.test"),
                                  QStringLiteral("/dcc send zack ") + resume));
        QVERIFY2(waitForSameFile(small, receive_ + QStringLiteral("/small.bin")),
                 qPrintable(status(zed_)));
        QVERIFY2(waitForSameFile(big, receive_ + QStringLiteral("/big one.bin")),
                 qPrintable(irssi_->screen() + status(zed_)));
        QVERIFY2(waitForSameFile(resume, receive_ + QStringLiteral("/resume.bin")),
                 qPrintable(weechat_->coreLog() + status(zed_)));
        QVERIFY(
            waitUntil([&] { return QFileInfo::exists(receive_ + QStringLiteral("/empty.bin")); }));
        QVERIFY(raw(zack).contains(QStringLiteral("DCC RESUME resume.bin")));
        QVERIFY(waitUntil([&] {
            const QStringList r = rows(zed_);
            return r.contains(QStringLiteral("<-- small.bin|2500|100%")) &&
                   r.contains(QStringLiteral("<-- big one.bin|%1|100%").arg(kBig)) &&
                   r.contains(QStringLiteral("<-- empty.bin|0|100%"));
        }));
        QVERIFY(waitUntil([&] {
            return rows(zack).contains(QStringLiteral("<-- resume.bin|%1|100%").arg(kBig));
        }));
        QVERIFY(!status(zed_).contains(QStringLiteral("failed")));
        QCOMPARE(status(zack).count(QStringLiteral("failed")), 1); // the one cut off
        zack->Close();
        QTRY_VERIFY(!zack);
    }

    // With auto-receive off (through the settings dialog), an offer of a
    // partly received file (a reception the sender cut off after 1200
    // bytes) shows the prompt; its resume button sends the RESUME and the
    // rest arrives after the ACCEPT.
    void promptResumes()
    {
        OnModal([](QWidget* modal) {
            modal->findChild<QCheckBox*>(QStringLiteral("ChB_DCCAutoReceive"))->setChecked(false);
            QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("Button1")),
                              Qt::LeftButton);
        });
        h_.pluginMenuItem(QStringLiteral("Setup"))->trigger();

        const QByteArray data = pattern(5000, 7);
        IrcClient pete;
        QVERIFY(pete.connect(ngircd_.port, "pete"));
        {
            ScriptedSender cut;
            QVERIFY(cut.listen());
            pete.send("PRIVMSG zed :" + c1 + "DCC SEND prompt.bin 2130706433 " +
                      QByteArray::number(cut.port()) + " 5000" + c1);
            QVERIFY(waitUntil([] { return !forms(QStringLiteral("F_DCCSAve")).isEmpty(); }));
            QWidget* first = forms(QStringLiteral("F_DCCSAve")).first();
            QVERIFY(!first->findChild<QPushButton*>(QStringLiteral("B_Resume"))->isEnabled());
            QTest::mouseClick(first->findChild<QPushButton*>(QStringLiteral("B_recv")),
                              Qt::LeftButton);
            QVERIFY(cut.waitForPeer());
            cut.write(data.left(1200));
            QVERIFY(cut.waitForAck(1200));
            cut.peer->abort();
            QVERIFY(waitUntil([&] {
                return status(zed_).contains(
                    QStringLiteral("DCC receive of prompt.bin from pete failed"));
            }));
            QVERIFY(waitUntil([] { return forms(QStringLiteral("F_DCCSAve")).isEmpty(); }));
        }
        ScriptedSender sender;
        QVERIFY(sender.listen());
        const QByteArray port = QByteArray::number(sender.port());
        pete.send("PRIVMSG zed :" + c1 + "DCC SEND prompt.bin 2130706433 " + port + " 5000" + c1);
        QVERIFY(waitUntil([] { return !forms(QStringLiteral("F_DCCSAve")).isEmpty(); }));
        QWidget* prompt = forms(QStringLiteral("F_DCCSAve")).first();
        QVERIFY(prompt->isVisible());
        auto* resume = prompt->findChild<QPushButton*>(QStringLiteral("B_Resume"));
        QVERIFY(resume && resume->isEnabled());
        QTest::mouseClick(resume, Qt::LeftButton);
        QVERIFY(pete.waitFor("DCC RESUME prompt.bin " + port + " 1200"));
        pete.send("PRIVMSG zed :" + c1 + "DCC ACCEPT prompt.bin " + port + " 1200" + c1);
        QVERIFY(sender.waitForPeer());
        sender.write(data.mid(1200));
        QVERIFY(sender.waitForAck(5000));
        QVERIFY(
            waitUntil([&] { return readFile(receive_ + QStringLiteral("/prompt.bin")) == data; }));

        // One more, left unanswered: its prompt is open when the plug-in
        // goes.
        pete.send("PRIVMSG zed :" + c1 + "DCC SEND left.bin 2130706433 " + port + " 10" + c1);
        QVERIFY(waitUntil([] { return !forms(QStringLiteral("F_DCCSAve")).isEmpty(); }));
    }

    // Unloading with a transfer running and a prompt open: Done ends the
    // transfer (the peer sees its connection close) and frees every window;
    // zoe answered the server's PING all along.
    void unloadMidTransfer()
    {
        // ngircd asks after 5 idle seconds.
        QVERIFY(waitUntil([&] { return raw(zoe_).contains(QStringLiteral("PONG")); }, 15000));
        QVERIFY(!status(zoe_).contains(QStringLiteral("Disconnected")));
        QVERIFY(hanging_ && hanging_->peer &&
                hanging_->peer->state() == QAbstractSocket::ConnectedState);
        QVERIFY(!forms(QStringLiteral("F_DCC")).isEmpty());
        h_.stop();
        QVERIFY2(ZentrelHarness::zentrelWidgets().isEmpty(),
                 qPrintable(QString::number(ZentrelHarness::zentrelWidgets().size())));
        QVERIFY(
            waitUntil([&] { return hanging_->peer->state() != QAbstractSocket::ConnectedState; }));
        QCOMPARE(QFileInfo(receive_ + QStringLiteral("/huge.bin")).size(), 3000);
    }
};

BREVANT_ENGINE_TEST_MAIN(TestPluginDcc)
#include "plugin_dcc.moc"
