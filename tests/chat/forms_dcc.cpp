// The DCC file transfer window and the offer prompt, driven directly over
// real loopback sockets: a server window connected to an IRC server the
// test plays, and the other end of each DCC connection played by the test
// byte by byte (blocks and acknowledgements, resume, data beyond the
// offered size, a write error, lifetimes).
#include "DccPeers.h"
#include "ModalWindow.h"

#include "chat/DccTransfer.h"
#include "chat/U_GlobalConfig.h"
#include "chat/plugin/FrmDCC.h"
#include "chat/plugin/FrmDCCSave.h"
#include "chat/plugin/FrmMDIServer.h"
#include "chat/plugin/ZentrelPlugin.h"

#include "platform/Cp874.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/Controls.h"

#include <QApplication>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace Zentrel;
using namespace IrcPeers;
using namespace DccPeers;

class TestFormsDcc : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString receive_;  // the receive folder
    qint64 clock_ = 0; // the server window's monotonic clock (offers are rate-limited)
    ScriptedIrc irc_;
    QPointer<TMDIServer> server_;

    QString status() const { return server_->redShowText->toPlainText(); }
    QStringList row(int index) const
    {
        QTreeWidgetItem* item = server_->LV_DCC->topLevelItem(index);
        return item ? QStringList{item->text(0), item->text(1), item->text(2)} : QStringList();
    }
    QStringList lastRow() const { return row(server_->LV_DCC->topLevelItemCount() - 1); }

    // A file to send, in the test's folder.
    QString source(const QString& name, const QByteArray& data) const
    {
        const QString path = dir_.filePath(name);
        writeFile(path, data);
        return path;
    }

    // An offer from bob as the IRC server passes it on.
    void offer(const QByteArray& name, quint16 port, qint64 size)
    {
        clock_ += 60000;
        irc_.ctcp("bob", "me",
                  "DCC SEND " + name + " 2130706433 " + QByteArray::number(port) +
                      (size >= 0 ? ' ' + QByteArray::number(size) : QByteArray()));
    }

    TF_DCC* onlyTransfer() const
    {
        const QList<TF_DCC*> all = TF_DCC::Windows();
        return all.size() == 1 ? all.first() : nullptr;
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        receive_ = dir_.filePath(QStringLiteral("DCCReceived"));
        QVERIFY(QDir().mkpath(receive_));
        Settings() = TZentrelSettings();
        Settings().DCCDirectory = receive_;
        QVERIFY(irc_.listen());
        server_ = new TMDIServer;
        server_->SetServerText(QStringLiteral("127.0.0.1:%1").arg(irc_.port()));
        server_->SetNick(QStringLiteral("me"));
        server_->Session().MonotonicMs = [this] { return clock_; };
        server_->B_ConnectClick();
        QVERIFY(irc_.waitForClient());
        QVERIFY(!irc_.takeLine("USER ").isEmpty());
        irc_.send(":irc.test 001 me :Welcome");
        QVERIFY(waitUntil([&] { return status().contains(QStringLiteral("Welcome")); }));
    }

    void cleanupTestCase()
    {
        EndDccTransfers();
        delete server_.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void init()
    {
        Settings().DCCBlock = 1024;
        Settings().DCCAutoReceive = false;
    }

    void cleanup()
    {
        EndDccTransfers();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(DCCTransfers().Count(), 0);
    }

    // 2500 bytes in blocks of 1024 go as 1024, 1024 and 452, each after the
    // acknowledgement of the one before; an acknowledgement split 1 + 3
    // counts once whole; a second peer is turned away; the window closes
    // after the acknowledgement of 2500.
    void sendsOneBlockPerAcknowledgement()
    {
        const QByteArray data = pattern(2500);
        QPointer<TF_DCC> w =
            StartDccSend(server_, "bob", source(QStringLiteral("my file.bin"), data));
        QVERIFY(w);
        const QByteArray notice = irc_.takeLine("NOTICE bob");
        QCOMPARE(notice, QByteArray("NOTICE bob :DCC Send my file.bin (127.0.0.1)"));
        const auto o = parseOfferLine(irc_.takeLine("PRIVMSG bob :" + c1 + "DCC SEND"));
        QVERIFY(o);
        QCOMPARE(o->name, QByteArray("my_file.bin"));
        QCOMPARE(o->address, 2130706433u);
        QCOMPARE(o->size, quint64(2500));
        QVERIFY(o->port >= 4000);
        QCOMPARE(w->Caption(), QStringLiteral("DCC Transfer Module (Send)"));
        QCOMPARE(w->L_FileName->Caption(), QStringLiteral("my file.bin"));
        QCOMPARE(w->L_ByteRecv->Caption(), QStringLiteral("0/2500"));
        QCOMPARE(w->L_Address->Caption(), QStringLiteral("127.0.0.1:%1").arg(o->port));
        QCOMPARE(w->L_BlockSize->Caption(), QStringLiteral("1024"));
        QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(lastRow(), (QStringList{"--> my file.bin", "2500", "0%"}));

        ScriptedReceiver peer;
        QVERIFY(peer.connectTo(o->port));
        QVERIFY(peer.waitFor(1024));
        // Nothing more before the acknowledgement.
        QTest::qWait(200);
        peer.data += peer.socket.readAll();
        QCOMPARE(peer.data.size(), 1024);

        // Anyone else who connects now is refused.
        QTcpSocket other;
        other.connectToHost(QHostAddress::LocalHost, o->port);
        QVERIFY(waitUntil([&] {
            return other.state() == QAbstractSocket::UnconnectedState ||
                   other.error() != QAbstractSocket::UnknownSocketError;
        }));

        peer.write(ack(1024).left(1));
        QTest::qWait(100);
        peer.write(ack(1024).mid(1));
        QVERIFY(peer.waitFor(2048));
        QTest::qWait(100);
        peer.data += peer.socket.readAll();
        QCOMPARE(peer.data.size(), 2048);
        peer.write(ack(2048));
        QVERIFY(peer.waitFor(2500));
        QTRY_COMPARE(w->L_ByteRecv->Caption(), QStringLiteral("2048/2500"));
        peer.write(ack(2500));
        QVERIFY(peer.closedByPeer());
        QCOMPARE(peer.data, data);
        QTRY_VERIFY(!w);
        QCOMPARE(lastRow().at(2), QStringLiteral("100%"));
        QVERIFY(!status().contains(QStringLiteral("failed")));
    }

    // A RESUME for our offer: the ACCEPT goes back with the literal
    // "file.ext" and two blanks, and the data starts at the position asked.
    // A RESUME beyond the file, on port 0 and after data began finds
    // nothing.
    void sendsFromTheResumedPosition()
    {
        const QByteArray data = pattern(2500, 2);
        QPointer<TF_DCC> w = StartDccSend(server_, "bob", source(QStringLiteral("r.bin"), data));
        QVERIFY(w);
        const auto o = parseOfferLine(irc_.takeLine("DCC SEND r.bin"));
        QVERIFY(o);
        irc_.ctcp("bob", "me", "DCC RESUME r.bin " + QByteArray::number(o->port) + " 2501");
        QVERIFY(waitUntil([&] { return status().contains(QStringLiteral("beyond the end")); }));
        irc_.ctcp("bob", "me", "DCC RESUME r.bin 0 300");
        irc_.ctcp("eve", "me", "DCC RESUME r.bin " + QByteArray::number(o->port) + " 300");
        irc_.ctcp("bob", "me", "DCC RESUME r.bin " + QByteArray::number(o->port) + " 300");
        QCOMPARE(irc_.takeLine("DCC ACCEPT"), "PRIVMSG bob :" + c1 + "DCC ACCEPT file.ext  " +
                                                  QByteArray::number(o->port) + " 300" + c1);
        QCOMPARE(w->L_ByteRecv->Caption(), QStringLiteral("300/2500"));
        // Matched once.
        irc_.ctcp("bob", "me", "DCC RESUME r.bin " + QByteArray::number(o->port) + " 400");
        ScriptedReceiver peer;
        QVERIFY(peer.connectTo(o->port));
        QVERIFY(peer.waitFor(1024));
        QCOMPARE(peer.data, data.mid(300, 1024));
        peer.write(ack(1324));
        QVERIFY(peer.waitFor(2048));
        peer.write(ack(2348));
        QVERIFY(peer.waitFor(2200));
        peer.write(ack(2500));
        QVERIFY(peer.closedByPeer());
        QCOMPARE(peer.data, data.mid(300));
        QVERIFY(irc_.takeLine("DCC ACCEPT", 300).isEmpty());
        QVERIFY(status().contains(QStringLiteral("DCC RESUME from eve refused")));
        QVERIFY(status().contains(QStringLiteral("DCC RESUME from bob refused: bad port")) ||
                status().contains(QStringLiteral("port 0")));
    }

    // The ACCEPT goes only once the file stands at the position asked for:
    // a seek that fails ends the transfer, says why, and answers nothing.
    void aFailedSeekSendsNoAccept()
    {
        QPointer<TF_DCC> w =
            StartDccSend(server_, "bob", source(QStringLiteral("seek.bin"), pattern(2500, 13)));
        QVERIFY(w);
        const auto o = parseOfferLine(irc_.takeLine("DCC SEND seek.bin"));
        QVERIFY(o);
        w->File().FailNextSeek(EIO);
        irc_.ctcp("bob", "me", "DCC RESUME seek.bin " + QByteArray::number(o->port) + " 300");
        QVERIFY(waitUntil([&] {
            return status().contains(
                QStringLiteral("DCC send of seek.bin to bob failed: cannot seek: ") +
                QString::fromLocal8Bit(std::strerror(EIO)));
        }));
        QTRY_VERIFY(!w);
        QVERIFY(irc_.takeLine("DCC ACCEPT", 500).isEmpty());
    }

    // Receiving into a folder that holds the first 300 bytes: the prompt
    // offers to resume, the RESUME asks for 300, the ACCEPT connects, the
    // display starts at 300/2500 and the first acknowledgement is 300 plus
    // the first burst.
    void resumesAPartialFile()
    {
        const QByteArray data = pattern(2500, 3);
        QVERIFY(writeFile(receive_ + QStringLiteral("/part.bin"), data.left(300)));
        ScriptedSender sender;
        QVERIFY(sender.listen());
        offer("part.bin", sender.port(), 2500);
        QVERIFY(waitUntil([] { return !TF_DCCSAve::Prompts().isEmpty(); }));
        TF_DCCSAve* prompt = TF_DCCSAve::Prompts().first();
        QVERIFY(prompt->isVisible());
        QCOMPARE(prompt->Caption(), QStringLiteral("DCC Save Dialog"));
        QCOMPARE(prompt->L_FileName->Caption(), QStringLiteral("part.bin"));
        QVERIFY(prompt->B_Resume->isEnabled());
        QPointer<TF_DCC> w = prompt->Transfer();
        QVERIFY(w && !w->isVisible());
        QTest::mouseClick(prompt->B_Resume, Qt::LeftButton);
        QCOMPARE(irc_.takeLine("DCC RESUME"), "PRIVMSG bob :" + c1 + "DCC RESUME part.bin " +
                                                  QByteArray::number(sender.port()) + " 300" + c1);
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->L_ByteRecv->Caption(), QStringLiteral("300/2500"));
        QCOMPARE(w->Caption(), QStringLiteral("12% DCC Transfer Module"));
        QCOMPARE(lastRow(), (QStringList{"<-- part.bin", "2500", "12%"}));
        // An ACCEPT for another position is refused; the right one connects.
        irc_.ctcp("bob", "me", "DCC ACCEPT part.bin " + QByteArray::number(sender.port()) + " 299");
        irc_.ctcp("bob", "me",
                  "DCC ACCEPT file.ext  " + QByteArray::number(sender.port()) + " 300");
        QVERIFY(sender.waitForPeer());
        QVERIFY(status().contains(QStringLiteral("not the position asked for")));
        sender.write(data.mid(300, 700));
        QVERIFY(sender.waitForAck(1000));
        // 300 and the first burst (all 700 bytes, unless they came in pieces).
        QVERIFY(sender.ackValues().first() > 300 && sender.ackValues().first() <= 1000);
        sender.write(data.mid(1000));
        QVERIFY(sender.waitForAck(2500));
        QTRY_VERIFY(!w);
        QCOMPARE(readFile(receive_ + QStringLiteral("/part.bin")), data);
        QCOMPARE(lastRow().at(2), QStringLiteral("100%"));
    }

    // An offer of 1000 bytes followed by 3000: the file holds the 1000, the
    // acknowledgements never pass 1000, the last one goes out before the
    // window closes. Receiving never touches a file of that name, nor a
    // link: the new file gets a free name.
    void writesNoMoreThanTheOfferedSize()
    {
        const QString existing = receive_ + QStringLiteral("/big.bin");
        const QByteArray kept = pattern(2000, 9);
        QVERIFY(writeFile(existing, kept));
        const QString outside = dir_.filePath(QStringLiteral("outside.bin"));
        QVERIFY(writeFile(outside, "outside"));
        QVERIFY(QFile::link(outside, receive_ + QStringLiteral("/big (2).bin")));
        ScriptedSender sender;
        QVERIFY(sender.listen());
        offer("../big.bin", sender.port(), 1000);
        QVERIFY(waitUntil([] { return !TF_DCCSAve::Prompts().isEmpty(); }));
        TF_DCCSAve* prompt = TF_DCCSAve::Prompts().first();
        QVERIFY(!prompt->B_Resume->isEnabled()); // larger than the offer: complete
        QPointer<TF_DCC> w = prompt->Transfer();
        QTest::mouseClick(prompt->B_recv, Qt::LeftButton);
        QVERIFY(sender.waitForPeer());
        const QByteArray data = pattern(3000, 4);
        sender.write(data);
        QVERIFY(sender.waitForAck(1000));
        QVERIFY(waitUntil([&] { return sender.peer->state() != QAbstractSocket::ConnectedState; }));
        for (quint32 a : sender.ackValues())
            QVERIFY(a <= 1000);
        QTRY_VERIFY(!w);
        QCOMPARE(readFile(receive_ + QStringLiteral("/big (3).bin")), data.left(1000));
        QCOMPARE(readFile(existing), kept);
        QCOMPARE(readFile(outside), QByteArray("outside"));
    }

    // An offer without a size is asked about even with auto-receive (it
    // ends only when the sender closes); a file that cannot be read is not
    // offered, and says why.
    void anOfferWithoutSizeEndsWhenThePeerCloses()
    {
        ScriptedSender sender;
        QVERIFY(sender.listen());
        Settings().DCCAutoReceive = true;
        offer("nosize.bin", sender.port(), -1);
        QVERIFY(waitUntil([] { return !TF_DCCSAve::Prompts().isEmpty(); }));
        TF_DCCSAve* prompt = TF_DCCSAve::Prompts().first();
        QVERIFY(prompt->isVisible());
        prompt->B_recv->click();
        QVERIFY(sender.waitForPeer());
        QPointer<TF_DCC> w = onlyTransfer();
        QVERIFY(w);
        // Without a size there is no percentage to show.
        QCOMPARE(w->Caption(), QStringLiteral("DCC Transfer Module"));
        const QByteArray data = pattern(1500, 10);
        sender.write(data);
        QVERIFY(sender.waitForAck(1500));
        sender.peer->disconnectFromHost();
        QTRY_VERIFY(!w);
        QCOMPARE(readFile(receive_ + QStringLiteral("/nosize.bin")), data);
        QCOMPARE(lastRow(), (QStringList{"<-- nosize.bin", "0", "100%"}));

        QVERIFY(!StartDccSend(server_, "bob", dir_.filePath(QStringLiteral("missing.bin"))));
        QVERIFY(status().contains(
            QStringLiteral("DCC SEND of missing.bin to bob not offered: cannot open")));
        QVERIFY(TF_DCC::Windows().isEmpty());
        QVERIFY(irc_.takeLine("missing.bin", 300).isEmpty());
    }

    // The open dialog of the nick menu's SEND: the chosen file is offered.
    void theOpenDialogOffersTheChosenFile()
    {
        const QString path = source(QStringLiteral("chosen.bin"), pattern(10, 11));
        // Right after it opens, the dialog may still be reading its folder and
        // take no file: the answer is given again until it closes.
        OnModal([path](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            QVERIFY(dialog->nameFilters().join(u';').contains(QStringLiteral("All")));
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept(); // public there
        });
        StartDccSendOffer(server_, "bob");
        const auto o = parseOfferLine(irc_.takeLine("DCC SEND chosen.bin"));
        QVERIFY(o);
        QCOMPARE(o->size, quint64(10));
        QVERIFY(onlyTransfer());
    }

    // A write error (here the file size limit) closes the transfer and says
    // so in its row and the status log.
    void aWriteErrorClosesTheTransfer()
    {
        ScriptedSender sender;
        QVERIFY(sender.listen());
        Settings().DCCAutoReceive = true;
        offer("limited.bin", sender.port(), 100000);
        QVERIFY(sender.waitForPeer());
        QPointer<TF_DCC> w = onlyTransfer();
        QVERIFY(w);
        rlimit old;
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 5000;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        sender.write(pattern(20000, 5));
        const bool closed = waitUntil([&] { return !w; });
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(closed);
        QVERIFY2(status().contains(QStringLiteral("DCC receive of limited.bin from bob failed: "
                                                  "cannot write")),
                 qPrintable(status()));
        QVERIFY(lastRow().at(2).contains(QStringLiteral("failed: cannot write")));
        QVERIFY(waitUntil([&] { return sender.peer->state() != QAbstractSocket::ConnectedState; }));
        QVERIFY(QFileInfo(receive_ + QStringLiteral("/limited.bin")).size() <= 5000);
    }

    // The prompt's choices: resume only for a non-empty local file smaller
    // than a sized offer; a closed prompt frees its hidden transfer window;
    // auto-receive resumes without showing anything.
    void promptChoices()
    {
        QVERIFY(writeFile(receive_ + QStringLiteral("/p.bin"), "12345"));
        QVERIFY(writeFile(receive_ + QStringLiteral("/empty.bin"), ""));
        auto prompt = [&](const QByteArray& name, qint64 size) -> TF_DCCSAve* {
            offer(name, 4999, size);
            if (!waitUntil([] { return !TF_DCCSAve::Prompts().isEmpty(); }))
                return nullptr;
            return TF_DCCSAve::Prompts().last();
        };
        TF_DCCSAve* p = prompt("p.bin", -1); // no size
        QVERIFY(p && !p->B_Resume->isEnabled());
        QPointer<TF_DCC> hidden = p->Transfer();
        QVERIFY(hidden);
        p->Close(); // the window border: no choice
        QTRY_VERIFY(!hidden);
        QTRY_VERIFY(TF_DCCSAve::Prompts().isEmpty());

        p = prompt("empty.bin", 100);
        QVERIFY(p && !p->B_Resume->isEnabled());
        hidden = p->Transfer();
        QTest::mouseClick(p->Button3, Qt::LeftButton);
        QTRY_VERIFY(!hidden);
        QTRY_VERIFY(TF_DCCSAve::Prompts().isEmpty());

        p = prompt("p.bin", 100);
        QVERIFY(p && p->B_Resume->isEnabled());
        p->Close();
        QTRY_VERIFY(TF_DCCSAve::Prompts().isEmpty());

        // Auto-receive with a partial file this run did not leave: nothing
        // is shown, nothing is resumed; the offer goes to a new file beside
        // it.
        Settings().DCCAutoReceive = true;
        ScriptedSender fresh;
        QVERIFY(fresh.listen());
        offer("p.bin", fresh.port(), 100);
        QVERIFY(fresh.waitForPeer());
        QTRY_VERIFY(TF_DCCSAve::Prompts().isEmpty());
        QVERIFY(irc_.takeLine("DCC RESUME", 300).isEmpty());
        fresh.write(pattern(100, 14));
        QVERIFY(fresh.waitForAck(100));
        QTRY_VERIFY(TF_DCC::Windows().isEmpty());
        QCOMPARE(readFile(receive_ + QStringLiteral("/p (2).bin")), pattern(100, 14));
        QCOMPARE(readFile(receive_ + QStringLiteral("/p.bin")), QByteArray("12345"));
        // As large as the offer: complete, nothing received.
        offer("p.bin", 4997, 5);
        QVERIFY(waitUntil([&] { return status().contains(QStringLiteral("already complete")); }));
        QTRY_VERIFY(TF_DCC::Windows().isEmpty());
        QCOMPARE(readFile(receive_ + QStringLiteral("/p.bin")), QByteArray("12345"));
    }

    // Auto-receive resumes only a reception of this run that did not
    // complete, in the file that reception wrote ("again (2).bin", beside
    // the user's own "again.bin"); while a reception still writes a file, a
    // second offer of it goes to another file.
    void autoReceiveResumesOnlyItsOwnUnfinishedReception()
    {
        Settings().DCCAutoReceive = true;
        const QByteArray data = pattern(3000, 15);
        QVERIFY(writeFile(receive_ + QStringLiteral("/again.bin"), "the user's own"));
        ScriptedSender first;
        QVERIFY(first.listen());
        offer("again.bin", first.port(), 3000);
        QVERIFY(first.waitForPeer());
        first.write(data.left(1000));
        QVERIFY(first.waitForAck(1000));
        QPointer<TF_DCC> writing = onlyTransfer();
        QVERIFY(writing);
        QCOMPARE(writing->LocalPath(), receive_ + QStringLiteral("/again (2).bin"));
        ScriptedSender second;
        QVERIFY(second.listen());
        offer("again.bin", second.port(), 3000);
        QVERIFY(second.waitForPeer());
        QVERIFY(irc_.takeLine("DCC RESUME", 300).isEmpty());
        QTRY_COMPARE(TF_DCC::Windows().size(), 2);
        QCOMPARE(TF_DCC::Windows().last()->LocalPath(),
                 receive_ + QStringLiteral("/again (3).bin"));
        // Both cut off: the first after 1000 bytes, the second before any.
        first.peer->abort();
        second.peer->abort();
        QTRY_VERIFY(TF_DCC::Windows().isEmpty());
        QVERIFY(status().contains(
            QStringLiteral("DCC receive of again (2).bin from bob failed: the connection closed "
                           "at 1000/3000")));
        // Offered again: resumed where the first stopped.
        ScriptedSender third;
        QVERIFY(third.listen());
        offer("again.bin", third.port(), 3000);
        QCOMPARE(irc_.takeLine("DCC RESUME"), "PRIVMSG bob :" + c1 + "DCC RESUME again.bin " +
                                                  QByteArray::number(third.port()) + " 1000" + c1);
        irc_.ctcp("bob", "me",
                  "DCC ACCEPT file.ext  " + QByteArray::number(third.port()) + " 1000");
        QVERIFY(third.waitForPeer());
        third.write(data.mid(1000));
        QVERIFY(third.waitForAck(3000));
        QTRY_VERIFY(TF_DCC::Windows().isEmpty());
        QCOMPARE(readFile(receive_ + QStringLiteral("/again (2).bin")), data);
        QCOMPARE(readFile(receive_ + QStringLiteral("/again.bin")), QByteArray("the user's own"));
        // Complete: nothing of it is resumed any more.
        QCOMPARE(DccUnfinished().Resumable("again.bin", 3000).size(), 1); // the empty (3)
    }

    // Auto-receive connects to no multicast, broadcast or 0.0.0.0/8
    // address nor below port 1024: such an offer is asked about, and the
    // status log says why.
    void autoReceiveAsksAboutOffersThatPointElsewhere()
    {
        Settings().DCCAutoReceive = true;
        const QList<QPair<QByteArray, QString>> offers{
            {"3758096385 5000", QStringLiteral("multicast address 224.0.0.1")},
            {"4294967295 5000", QStringLiteral("broadcast address 255.255.255.255")},
            {"66051 5000", QStringLiteral("address 0.1.2.3 in 0.0.0.0/8")},
            {"2130706433 80", QStringLiteral("port 80 below 1024")}};
        for (const auto& [where, why] : offers) {
            clock_ += 60000;
            irc_.ctcp("bob", "me", "DCC SEND far.bin " + where + " 10");
            QVERIFY(waitUntil([] { return !TF_DCCSAve::Prompts().isEmpty(); }));
            TF_DCCSAve* prompt = TF_DCCSAve::Prompts().first();
            QVERIFY(prompt->isVisible());
            QVERIFY2(
                status().contains(QStringLiteral("*** DCC SEND of far.bin from bob not received "
                                                 "automatically: ") +
                                  why),
                qPrintable(status().right(300)));
            QTest::mouseClick(prompt->Button3, Qt::LeftButton);
            QTRY_VERIFY(TF_DCCSAve::Prompts().isEmpty());
        }
        QVERIFY(TF_DCC::Windows().isEmpty());
        QVERIFY(!QFileInfo::exists(receive_ + QStringLiteral("/far.bin")));
    }

    // The offered name and the nick show as they are written: markup in
    // them is not rendered, so a name cannot stretch the window.
    void peerTextsShowAsWritten()
    {
        ScriptedSender sender;
        QVERIFY(sender.listen());
        const QByteArray name = "<img src=x width=4000 height=40>";
        auto* transfer = new TF_DCC;
        TDccIncoming in;
        in.Address = 2130706433;
        in.Port = sender.port();
        in.Size = 10;
        in.HasSize = true;
        in.Nick = "<b>bob";
        in.FileName = name;
        QVERIFY(
            transfer->StartReceive(server_, in, true, receive_ + u'/' + QString::fromLatin1(name)));
        QVERIFY(sender.waitForPeer());
        QCOMPARE(transfer->L_FileName->text(), QString::fromLatin1(name));
        QVERIFY2(transfer->L_FileName->sizeHint().width() < 1000,
                 qPrintable(QString::number(transfer->L_FileName->sizeHint().width())));
        QCOMPARE(transfer->L_Nick->text(), QStringLiteral("<b>bob"));
        QVERIFY(transfer->L_Nick->sizeHint().width() >=
                QFontMetrics(transfer->L_Nick->font()).horizontalAdvance(QStringLiteral("<b>bob")));
    }

    // A server window that goes mid-transfer: the transfer runs on without
    // it; ending every transfer mid-way closes the file and the sockets.
    void lifetimes()
    {
        QPointer<TMDIServer> second = new TMDIServer;
        ScriptedSender sender;
        QVERIFY(sender.listen());
        auto* transfer = new TF_DCC;
        TDccIncoming in;
        in.Address = 2130706433;
        in.Port = sender.port();
        in.Size = 4000;
        in.HasSize = true;
        in.Nick = "bob";
        in.FileName = "life.bin";
        QPointer<TF_DCC> w = transfer;
        QVERIFY(transfer->StartReceive(second, in, true, receive_ + QStringLiteral("/life.bin")));
        QCOMPARE(second->LV_DCC->topLevelItemCount(), 1);
        QVERIFY(sender.waitForPeer());
        sender.write(pattern(1000, 6));
        QVERIFY(sender.waitForAck(1000));
        second->B_ClearClick(); // the row goes: updates find nothing
        sender.write(pattern(1000, 7));
        QVERIFY(sender.waitForAck(2000));
        delete second.data();
        sender.write(pattern(1000, 8));
        QVERIFY(sender.waitForAck(3000));
        QVERIFY(w);
        EndDccTransfers();
        QVERIFY(!w);
        QVERIFY(waitUntil([&] { return sender.peer->state() != QAbstractSocket::ConnectedState; }));
        QCOMPARE(QFileInfo(receive_ + QStringLiteral("/life.bin")).size(), 3000);

        // A prompt whose server window has gone still receives when asked.
        QPointer<TMDIServer> third = new TMDIServer;
        ScriptedSender late;
        QVERIFY(late.listen());
        in.Port = late.port();
        in.FileName = "late.bin";
        ShowDccSendOffer(
            third, "bob",
            [&] {
                TDccOffer o;
                o.Kind = TDccKind::Send;
                o.Address = in.Address;
                o.Port = in.Port;
                o.Size = 4;
                o.HasSize = true;
                o.FileName = in.FileName;
                return o;
            }(),
            QStringLiteral("late.bin"));
        QCOMPARE(TF_DCCSAve::Prompts().size(), 1);
        delete third.data();
        QTest::mouseClick(TF_DCCSAve::Prompts().first()->B_recv, Qt::LeftButton);
        QVERIFY(late.waitForPeer());
        late.write("late");
        QVERIFY(late.waitForAck(4));
        QTRY_VERIFY(TF_DCC::Windows().isEmpty());
        QCOMPARE(readFile(receive_ + QStringLiteral("/late.bin")), QByteArray("late"));
    }
};

QTEST_MAIN(TestFormsDcc)
#include "forms_dcc.moc"
