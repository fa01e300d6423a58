#include "chat/DccFiles.h"
#include "chat/DccListen.h"
#include "chat/DccOffer.h"
#include "chat/DccTransfer.h"

#include "platform/Cp874.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Zentrel;

namespace {

const QByteArray c1 = "\x01";

QByteArray describe(const TDccParse& p)
{
    if (!p.Offer)
        return "refused " + p.Kind + ": " + p.Reason;
    const TDccOffer& o = *p.Offer;
    switch (o.Kind) {
    case TDccKind::Chat:
        return "chat " + QByteArray::number(o.Address) + ' ' + QByteArray::number(o.Port);
    case TDccKind::Send:
        return "send [" + o.FileName + "] " + QByteArray::number(o.Address) + ' ' +
               QByteArray::number(o.Port) + ' ' +
               (o.HasSize ? QByteArray::number(o.Size) : QByteArray("-"));
    case TDccKind::Resume:
    case TDccKind::Accept:
        return QByteArray(o.Kind == TDccKind::Resume ? "resume [" : "accept [") + o.FileName +
               "] " + QByteArray::number(o.Port) + ' ' + QByteArray::number(o.Position);
    }
    return {};
}

void touch(const QString& path, qint64 size)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'x'));
}

} // namespace

class TestDcc : public QObject
{
    Q_OBJECT

private slots:
    void parseOffer_data()
    {
        QTest::addColumn<QByteArray>("arguments");
        QTest::addColumn<QByteArray>("offer");

        QTest::newRow("send") << QByteArray("SEND file.txt 2130706433 4000 2500")
                              << QByteArray("send [file.txt] 2130706433 4000 2500");
        QTest::newRow("send without size") << QByteArray("SEND file.txt 2130706433 4000")
                                           << QByteArray("send [file.txt] 2130706433 4000 -");
        QTest::newRow("send, lower case, extra words")
            << QByteArray("send  a  1  2  3 token") << QByteArray("send [a] 1 2 3");
        QTest::newRow("quoted name with blanks")
            << QByteArray("SEND \"my file.txt\" 3232235777 4000 10")
            << QByteArray("send [my file.txt] 3232235777 4000 10");
        QTest::newRow("address above 2^31, size above 4 GiB")
            << QByteArray("SEND big 4294967295 65535 9223372036854775807")
            << QByteArray("send [big] 4294967295 65535 9223372036854775807");
        QTest::newRow("a file named CHAT")
            << QByteArray("SEND CHAT 1 4000 5") << QByteArray("send [CHAT] 1 4000 5");
        QTest::newRow("a file named SEND offered as chat")
            << QByteArray("CHAT chat 1 4000 SEND") << QByteArray("chat 1 4000");
        QTest::newRow("chat") << QByteArray("CHAT chat 2130706433 4001")
                              << QByteArray("chat 2130706433 4001");
        QTest::newRow("resume") << QByteArray("RESUME file.txt 4000 300")
                                << QByteArray("resume [file.txt] 4000 300");
        QTest::newRow("accept with two blanks")
            << QByteArray("ACCEPT file.ext  4000 300") << QByteArray("accept [file.ext] 4000 300");
        QTest::newRow("resume of a quoted name")
            << QByteArray("RESUME \"a b\" 4000 1") << QByteArray("resume [a b] 4000 1");

        QTest::newRow("nothing") << QByteArray("  ") << QByteArray("refused : no request");
        QTest::newRow("unknown") << QByteArray("XMIT a 1 2")
                                 << QByteArray("refused XMIT: unknown request");
        QTest::newRow("address too big")
            << QByteArray("SEND a 4294967296 4000") << QByteArray("refused SEND: bad address");
        QTest::newRow("negative address")
            << QByteArray("SEND a -1 4000") << QByteArray("refused SEND: bad address");
        QTest::newRow("address 0")
            << QByteArray("SEND a 0 4000") << QByteArray("refused SEND: address 0");
        QTest::newRow("dotted address")
            << QByteArray("CHAT chat 127.0.0.1 4000") << QByteArray("refused CHAT: bad address");
        QTest::newRow("port 0") << QByteArray("SEND a 1 0 5 77")
                                << QByteArray(
                                       "refused SEND: port 0 (passive DCC is not supported)");
        QTest::newRow("port too big")
            << QByteArray("SEND a 1 65536") << QByteArray("refused SEND: bad port");
        QTest::newRow("no port") << QByteArray("SEND a 1") << QByteArray("refused SEND: no port");
        QTest::newRow("bad size") << QByteArray("SEND a 1 4000 12k")
                                  << QByteArray("refused SEND: bad size");
        QTest::newRow("size beyond 63 bits") << QByteArray("SEND a 1 4000 9223372036854775808")
                                             << QByteArray("refused SEND: bad size");
        QTest::newRow("hex number")
            << QByteArray("SEND a 0x7f000001 4000") << QByteArray("refused SEND: bad address");
        QTest::newRow("unclosed quote")
            << QByteArray("SEND \"a b 1 4000") << QByteArray("refused SEND: bad quoted file name");
        QTest::newRow("quote glued to a word")
            << QByteArray("SEND \"a\"b 1 4000") << QByteArray("refused SEND: bad quoted file name");
        QTest::newRow("empty quoted name")
            << QByteArray("SEND \"\" 1 4000") << QByteArray("refused SEND: empty file name");
        QTest::newRow("no file") << QByteArray("SEND") << QByteArray("refused SEND: no file name");
        QTest::newRow("chat without address")
            << QByteArray("CHAT chat") << QByteArray("refused CHAT: no address");
        QTest::newRow("chat without protocol")
            << QByteArray("CHAT") << QByteArray("refused CHAT: no protocol");
        QTest::newRow("resume without position")
            << QByteArray("RESUME f 4000") << QByteArray("refused RESUME: no position");
        QTest::newRow("resume with a negative position")
            << QByteArray("RESUME f 4000 -5") << QByteArray("refused RESUME: bad position");
    }
    void parseOffer()
    {
        QFETCH(QByteArray, arguments);
        QFETCH(QByteArray, offer);
        QCOMPARE(describe(ParseDccOffer(arguments)), offer);
    }

    void outgoingTexts()
    {
        QCOMPARE(DottedAddress(3232235777u), QByteArray("192.168.1.1"));
        QCOMPARE(ParseDottedAddress("192.168.1.1"), std::optional<quint32>(3232235777u));
        QCOMPARE(ParseDottedAddress("1.2.3"), std::nullopt);
        QCOMPARE(ParseDottedAddress("1.2.3.256"), std::nullopt);
        QCOMPARE(SpacesToUnderscores("a b  c"), QByteArray("a_b__c"));
        QCOMPARE(DccChatOfferLine("bob", 2130706433, 4000),
                 "PRIVMSG bob :" + c1 + "DCC CHAT chat 2130706433 4000" + c1);
        QCOMPARE(DccSendNoticeLine("bob", "my file.txt", 2130706433),
                 QByteArray("NOTICE bob :DCC Send my file.txt (127.0.0.1)"));
        QCOMPARE(DccSendOfferLine("bob", "my file\x01.txt", 3232235777u, 4000, 5000000000ull),
                 "PRIVMSG bob :" + c1 + "DCC SEND my_file_.txt 3232235777 4000 5000000000" + c1);
        QCOMPARE(OfferFileName(QStringLiteral("/home/u/Docs/เอกสาร 1.txt")),
                 Cp874::fromUnicode(QStringLiteral("เอกสาร 1.txt")));
        QCOMPARE(DccResumeLine(" bob ", "a b.txt", 4000, 300),
                 "PRIVMSG bob :" + c1 + "DCC RESUME \"a b.txt\" 4000 300" + c1);
        QCOMPARE(DccAcceptLine("bob", 4000, 300),
                 "PRIVMSG bob :" + c1 + "DCC ACCEPT file.ext  4000 300" + c1);
        QCOMPARE(DccChatTexts::Received("bob", " hi \r"), QByteArray("<bob> hi"));
        // An action inside the chat shows as one.
        QCOMPARE(DccChatTexts::Received("bob", c1 + "ACTION waves" + c1 + "\r"),
                 QByteArray("* bob waves"));
        QCOMPARE(DccChatTexts::Received("bob", " " + c1 + "action waves"),
                 QByteArray("* bob waves"));
        QCOMPARE(DccChatTexts::Received("bob", c1 + "ACTION" + c1), QByteArray("* bob"));
        QCOMPARE(DccChatTexts::Received("bob", "ACTION waves"), QByteArray("<bob> ACTION waves"));
        QCOMPARE(DccChatTexts::Received("bob", c1 + "VERSION" + c1), QByteArray("<bob> VERSION"));
        QCOMPARE(DccChatTexts::Received("bob", "x " + c1 + "ACTION y" + c1),
                 "<bob> x " + c1 + "ACTION y");
    }

    // Where auto-receive connects without asking: not to multicast,
    // broadcast, reserved or 0.0.0.0/8 addresses, not below port 1024, and
    // to loopback only when the server is there too. LAN addresses stay.
    void autoConnectRefusal_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("serverOnLoopback");
        QTest::addColumn<QByteArray>("refusal");
        QTest::newRow("lan") << QByteArray("192.168.1.5") << 5000 << false << QByteArray();
        QTest::newRow("private 10/8") << QByteArray("10.1.2.3") << 1024 << false << QByteArray();
        QTest::newRow("public") << QByteArray("203.0.113.9") << 65535 << false << QByteArray();
        QTest::newRow("zero") << QByteArray("0.0.0.0") << 5000 << true
                              << QByteArray("address 0.0.0.0 in 0.0.0.0/8");
        QTest::newRow("0/8") << QByteArray("0.1.2.3") << 5000 << false
                             << QByteArray("address 0.1.2.3 in 0.0.0.0/8");
        QTest::newRow("multicast low") << QByteArray("224.0.0.1") << 5000 << false
                                       << QByteArray("multicast address 224.0.0.1");
        QTest::newRow("multicast high") << QByteArray("239.255.255.255") << 5000 << true
                                        << QByteArray("multicast address 239.255.255.255");
        QTest::newRow("broadcast") << QByteArray("255.255.255.255") << 5000 << true
                                   << QByteArray("broadcast address 255.255.255.255");
        QTest::newRow("reserved") << QByteArray("240.0.0.1") << 5000 << false
                                  << QByteArray("reserved address 240.0.0.1");
        QTest::newRow("loopback, server elsewhere")
            << QByteArray("127.0.0.1") << 5000 << false
            << QByteArray("loopback address 127.0.0.1 while the server is not on loopback");
        QTest::newRow("loopback 127/8, server elsewhere")
            << QByteArray("127.9.9.9") << 5000 << false
            << QByteArray("loopback address 127.9.9.9 while the server is not on loopback");
        QTest::newRow("loopback with the server")
            << QByteArray("127.0.0.1") << 5000 << true << QByteArray();
        QTest::newRow("low port") << QByteArray("192.168.1.5") << 1023 << false
                                  << QByteArray("port 1023 below 1024");
        QTest::newRow("port 22 on loopback")
            << QByteArray("127.0.0.1") << 22 << true << QByteArray("port 22 below 1024");
    }
    void autoConnectRefusal()
    {
        QFETCH(QByteArray, address);
        QFETCH(int, port);
        QFETCH(bool, serverOnLoopback);
        QFETCH(QByteArray, refusal);
        QCOMPARE(AutoConnectRefusal(*ParseDottedAddress(address), quint16(port), serverOnLoopback),
                 refusal);
    }

    void receivedFileName_data()
    {
        QTest::addColumn<QByteArray>("offered");
        QTest::addColumn<QString>("name"); // empty: refused
        QTest::newRow("plain") << QByteArray("file.txt") << "file.txt";
        QTest::newRow("parent folders") << QByteArray("../x") << "x";
        QTest::newRow("absolute") << QByteArray("/etc/passwd") << "passwd";
        QTest::newRow("backslashes") << QByteArray("..\\..\\boot.ini") << "boot.ini";
        QTest::newRow("leading dot") << QByteArray(".bashrc") << "_bashrc";
        QTest::newRow("control characters") << QByteArray("a\rb\x01"
                                                          "c\x7f")
                                            << "a_b_c_";
        QTest::newRow("thai") << Cp874::fromUnicode(QStringLiteral("ไฟล์.txt"))
                              << QStringLiteral("ไฟล์.txt");
        QTest::newRow("empty") << QByteArray("") << "";
        QTest::newRow("dot") << QByteArray(".") << "";
        QTest::newRow("dot dot") << QByteArray("..") << "";
        QTest::newRow("slash") << QByteArray("/") << "";
        QTest::newRow("backslash") << QByteArray("\\") << "";
        QTest::newRow("folder then dot dot") << QByteArray("a/..") << "";
    }
    void receivedFileName()
    {
        QFETCH(QByteArray, offered);
        QFETCH(QString, name);
        const TReceivedName r = ReceivedFileName(offered);
        QCOMPARE(r.Name, name);
        QCOMPARE(r.ok(), !name.isEmpty());
        QVERIFY(r.ok() || !r.Reason.isEmpty());
    }

    void longNamesAreCut()
    {
        const QString thai = QString(200, QChar(0x0E01)) + QStringLiteral(".txt");
        const TReceivedName r = ReceivedFileName(Cp874::fromUnicode(thai));
        QVERIFY(r.ok());
        QVERIFY(r.Name.toUtf8().size() <= 240);
        QVERIFY(r.Name.endsWith(QStringLiteral(".txt")));
    }

    void savePlanNeverOverwrites()
    {
        QTemporaryDir dir;
        const QString folder = dir.path();
        // Nothing there: receive under the offered name.
        const TDccUnfinished none;
        auto automatic = [&](const TDccSavePlan& p, const QByteArray& name, quint64 size) {
            return PlanAutoReceive(p, name, size, none).Choice;
        };
        TDccSavePlan plan = PlanDccSave(folder, QStringLiteral("new.bin"), 2500, none);
        QVERIFY(!plan.ResumeEnabled && !plan.Complete);
        QCOMPARE(plan.ReceivePath, folder + QStringLiteral("/new.bin"));
        QCOMPARE(automatic(plan, "new.bin", 2500), TDccAutoChoice::Receive);

        // A partial file: the prompt offers to resume at its size, or to
        // receive under a new name; auto-receive, which resumes only what it
        // left unfinished itself, takes the new name.
        touch(folder + QStringLiteral("/part.bin"), 300);
        plan = PlanDccSave(folder, QStringLiteral("part.bin"), 2500, none);
        QVERIFY(plan.ResumeEnabled);
        QCOMPARE(plan.ResumePosition, quint64(300));
        QCOMPARE(plan.ReceivePath, folder + QStringLiteral("/part (2).bin"));
        QCOMPARE(automatic(plan, "part.bin", 2500), TDccAutoChoice::Receive);
        QCOMPARE(PlanAutoReceive(plan, "part.bin", 2500, none).Path,
                 folder + QStringLiteral("/part (2).bin"));

        // An offer without size never resumes.
        plan = PlanDccSave(folder, QStringLiteral("part.bin"), 0, none);
        QVERIFY(!plan.ResumeEnabled && !plan.Complete);
        QCOMPARE(automatic(plan, "part.bin", 0), TDccAutoChoice::Receive);

        // An empty file does not resume either.
        touch(folder + QStringLiteral("/empty.bin"), 0);
        plan = PlanDccSave(folder, QStringLiteral("empty.bin"), 100);
        QVERIFY(!plan.ResumeEnabled);
        QCOMPARE(plan.ReceivePath, folder + QStringLiteral("/empty (2).bin"));

        // As large as the offer, or larger: complete, nothing to do.
        plan = PlanDccSave(folder, QStringLiteral("part.bin"), 300);
        QVERIFY(plan.Complete && !plan.ResumeEnabled);
        QCOMPARE(automatic(plan, "part.bin", 300), TDccAutoChoice::Skip);
        QCOMPARE(PlanAutoReceive(plan, "part.bin", 300, none).SkipReason,
                 QByteArray("the file is already complete"));
        plan = PlanDccSave(folder, QStringLiteral("part.bin"), 200);
        QVERIFY(plan.Complete);

        // A symbolic link, even a dangling one, is never written through.
        QVERIFY(QFile::link(folder + QStringLiteral("/nowhere"), folder + QStringLiteral("/link")));
        QVERIFY(PathOccupied(folder + QStringLiteral("/link")));
        plan = PlanDccSave(folder, QStringLiteral("link"), 100);
        QVERIFY(!plan.ResumeEnabled && !plan.Complete);
        QCOMPARE(plan.ReceivePath, folder + QStringLiteral("/link (2)"));

        // Names in use are skipped.
        touch(folder + QStringLiteral("/part (2).bin"), 1);
        QCOMPARE(UniqueFileName(folder, QStringLiteral("part.bin")),
                 QStringLiteral("part (3).bin"));
        QCOMPARE(UniqueFileName(folder, QStringLiteral("_bashrc")), QStringLiteral("_bashrc"));
        QDir().mkdir(folder + QStringLiteral("/dir"));
        QCOMPARE(UniqueFileName(folder, QStringLiteral("dir")), QStringLiteral("dir (2)"));
    }

    // Auto-receive resumes a reception of this run that did not complete,
    // in the file it wrote (here "part (2).bin"), for the same offered name
    // and size only, and never while a reception still writes the file;
    // the prompt never offers to resume a file that is being written.
    void autoReceiveResumesOnlyWhatThisRunLeftUnfinished()
    {
        QTemporaryDir dir;
        const QString folder = dir.path();
        touch(folder + QStringLiteral("/part.bin"), 100); // the user's own
        const QString ours = folder + QStringLiteral("/part (2).bin");
        TDccUnfinished table;
        table.Started("part.bin", 2500, ours);
        touch(ours, 700);
        const TDccSavePlan plan = PlanDccSave(folder, QStringLiteral("part.bin"), 2500, table);
        // Still being written: neither the prompt nor auto-receive resumes.
        QVERIFY(table.Writing(ours));
        QCOMPARE(PlanAutoReceive(plan, "part.bin", 2500, table).Choice, TDccAutoChoice::Receive);
        QCOMPARE(PlanAutoReceive(plan, "part.bin", 2500, table).Path,
                 folder + QStringLiteral("/part (3).bin"));
        table.Started("x.bin", 50, folder + QStringLiteral("/x.bin"));
        touch(folder + QStringLiteral("/x.bin"), 10);
        QVERIFY(!PlanDccSave(folder, QStringLiteral("x.bin"), 50, table).ResumeEnabled);
        table.Stopped(folder + QStringLiteral("/x.bin"));
        QVERIFY(PlanDccSave(folder, QStringLiteral("x.bin"), 50, table).ResumeEnabled);

        // Interrupted: resumed at its size, in its own file (a later try
        // that stopped before its first byte leaves nothing to resume).
        table.Stopped(ours);
        table.Started("part.bin", 2500, folder + QStringLiteral("/part (3).bin"));
        touch(folder + QStringLiteral("/part (3).bin"), 0);
        table.Stopped(folder + QStringLiteral("/part (3).bin"));
        TDccAutoPlan a = PlanAutoReceive(plan, "part.bin", 2500, table);
        QCOMPARE(a.Choice, TDccAutoChoice::Resume);
        QCOMPARE(a.Path, ours);
        QCOMPARE(a.ResumePosition, quint64(700));
        // Another size or another name is another file.
        QCOMPARE(PlanAutoReceive(plan, "part.bin", 2501, table).Choice, TDccAutoChoice::Receive);
        QCOMPARE(PlanAutoReceive(plan, "Part.bin", 2500, table).Choice, TDccAutoChoice::Receive);
        // The file gone, replaced by a link, or emptied: nothing to resume.
        QFile::remove(ours);
        QVERIFY(QFile::link(folder + QStringLiteral("/part.bin"), ours));
        QCOMPARE(PlanAutoReceive(plan, "part.bin", 2500, table).Choice, TDccAutoChoice::Receive);
        QFile::remove(ours);
        touch(ours, 0);
        QCOMPARE(PlanAutoReceive(plan, "part.bin", 2500, table).Choice, TDccAutoChoice::Receive);
        // Completed: the entry goes.
        touch(ours, 700);
        QVERIFY(PlanAutoReceive(plan, "part.bin", 2500, table).Choice == TDccAutoChoice::Resume);
        table.Completed(ours);
        QCOMPARE(PlanAutoReceive(plan, "part.bin", 2500, table).Choice, TDccAutoChoice::Receive);
        QCOMPARE(table.Count(), 2);
    }

    void transfersTable()
    {
        TDccTransfers t;
        const int send = t.Add(TDccTransfers::Role::Sending, 4000, "Bob", 2500);
        const int other = t.Add(TDccTransfers::Role::Sending, 4001, "carol", 100);
        QVERIFY(!t.MatchResume(4000, "eve", 10).ok());       // another nick
        QVERIFY(!t.MatchResume(4002, "bob", 10).ok());       // another port
        QVERIFY(!t.MatchResume(4000, "bob", 2501).ok());     // beyond the file
        QCOMPARE(t.MatchResume(4000, "BOB", 2500).Id, send); // the end is still in the file
        QVERIFY(!t.MatchResume(4000, "bob", 10).ok());       // matched once
        // Once data flows, a transfer no longer matches.
        t.StopMatching(other);
        QVERIFY(!t.MatchResume(4001, "carol", 10).ok());
        QVERIFY(!t.MatchResume(0, "carol", 10).ok());
        t.Finish(other);
        QVERIFY(!t.Find(other));
        QVERIFY(t.Find(send));

        const int recv = t.Add(TDccTransfers::Role::Receiving, 5000, "bob", 9000, 300);
        QVERIFY(!t.MatchResume(5000, "bob", 300).ok()); // a receiver is no sender
        QVERIFY(!t.MatchAccept(5000, "bob", 299).ok());
        QCOMPARE(t.MatchAccept(5000, "bob", 300).Id, recv);
        QVERIFY(!t.MatchAccept(5000, "bob", 300).ok());
        t.Clear();
        QCOMPARE(t.Count(), 0);
    }

    void acknowledgements()
    {
        QCOMPARE(DccAcknowledgement(1024), QByteArray("\0\0\x04\0", 4));
        QCOMPARE(DccAcknowledgement(0x1'0000'0010ull), QByteArray("\0\0\0\x10", 4));
        TDccAckReader reader;
        QCOMPARE(reader.Feed(QByteArray("\0", 1)), QList<quint32>{});
        QCOMPARE(reader.Pending(), 1);
        QCOMPARE(reader.Feed(QByteArray("\0\x04\0\0\0", 5)), QList<quint32>{1024});
        QCOMPARE(reader.Pending(), 2);
        QCOMPARE(reader.Feed(QByteArray("\x09\xc4\xff", 3)), (QList<quint32>{2500}));
        QCOMPARE(reader.Pending(), 1);
        // Modulo 2^32: the low bits of a count past 4 GiB.
        QCOMPARE(ExpandAcknowledgement(0x10, 0x1'0000'0010ull), 0x1'0000'0010ull);
        QCOMPARE(ExpandAcknowledgement(0xFFFFFFF0u, 0x1'0000'0010ull), 0xFFFFFFF0ull);
        QCOMPARE(ExpandAcknowledgement(5, 3), quint64(0)); // ahead of what was sent
        QCOMPARE(DccPercent(50, 0), 0);
        QCOMPARE(DccPercent(5'000'000'000ull, 10'000'000'000ull), 50);
        QCOMPARE(DccPercent(std::numeric_limits<qint64>::max() - 1,
                            quint64(std::numeric_limits<qint64>::max())),
                 99);
    }

    // 2500 bytes in blocks of 1024: 1024, 1024, 452, closed after the
    // acknowledgement of 2500.
    void senderSendsOneBlockPerAcknowledgement()
    {
        TDccSendProgress s(2500, 1024);
        QList<quint64> blocks;
        blocks << s.NextBlock();
        s.BlockSent(blocks.last());
        for (quint32 ack : {1024u, 2048u}) {
            const auto r = s.OnAck(ack);
            QVERIFY(r.SendNext && !r.Complete);
            blocks << s.NextBlock();
            s.BlockSent(blocks.last());
        }
        QCOMPARE(blocks, (QList<quint64>{1024, 1024, 452}));
        QCOMPARE(s.OnAck(2500).Complete, true);
        QCOMPARE(s.Percent(), 100);
        // Block sizes stay within 1-65536; a resume starts further on.
        QCOMPARE(TDccSendProgress(10, 0).BlockSize(), 1u);
        QCOMPARE(TDccSendProgress(10, 1u << 30).BlockSize(), 65536u);
        TDccSendProgress resumed(2500, 1024);
        resumed.Seek(2000);
        QCOMPARE(resumed.NextBlock(), quint64(500));
        resumed.Seek(9999);
        QCOMPARE(resumed.Sent(), quint64(2500));
    }

    // A peer that acknowledges in small pieces, or repeats an
    // acknowledgement, never gets more than two blocks ahead of it.
    void senderKeepsAtMostTwoBlocksInFlight()
    {
        TDccSendProgress s(100000, 1000);
        s.BlockSent(s.NextBlock());
        QVERIFY(!s.MaySend());
        auto r = s.OnAck(10); // a piece of the first block
        QVERIFY(r.SendNext);
        s.BlockSent(s.NextBlock());
        for (quint32 ack : {20u, 20u, 20u, 0u, 5000u /* ahead of what was sent */}) {
            r = s.OnAck(ack);
            QVERIFY2(!r.SendNext, QByteArray::number(ack));
            QCOMPARE(s.Sent(), quint64(2000));
        }
        QVERIFY(s.OnAck(1500).SendNext); // one block's worth caught up
    }

    void senderPastFourGibibytes()
    {
        const quint64 size = 0x1'0000'1000ull;
        TDccSendProgress s(size, 65536);
        s.Seek(size - 0x2000);
        s.BlockSent(s.NextBlock());
        auto r = s.OnAck(quint32(size - 0x1000));
        QCOMPARE(r.Acknowledged, size - 0x1000);
        QVERIFY(!r.SendNext && !r.Complete); // all sent, the last ack awaited
        QCOMPARE(s.NextBlock(), quint64(0));
        r = s.OnAck(quint32(size));
        QVERIFY(r.Complete);
    }

    void receiverNeverWritesBeyondTheOffer()
    {
        TDccReceiveProgress r(2500, 300); // resumed at 300
        QCOMPARE(r.Accept(1000), quint64(1000));
        QCOMPARE(r.Acknowledgement(), DccAcknowledgement(1300));
        QCOMPARE(r.Accept(5000), quint64(1200));
        QVERIFY(r.Complete());
        QCOMPARE(r.Excess(), quint64(3800));
        QCOMPARE(r.Accept(10), quint64(0));
        QCOMPARE(r.Transferred(), quint64(2500));
        TDccReceiveProgress unknown(0);
        QCOMPARE(unknown.Accept(1 << 20), quint64(1 << 20));
        QVERIFY(!unknown.Complete());
        QCOMPARE(unknown.Percent(), 0);
        // An offer of 0 bytes is complete at once and takes nothing.
        TDccReceiveProgress empty(0, 0, true);
        QVERIFY(empty.Complete());
        QCOMPARE(empty.Accept(100), quint64(0));
        QCOMPARE(empty.Acknowledgement(), DccAcknowledgement(0));
    }

    // The transfer's file never follows a link, never touches what exists,
    // and resumes only the very file the resume was asked for.
    void transferFiles()
    {
        QTemporaryDir dir;
        const QString folder = dir.path();
        const QString outside = folder + QStringLiteral("/outside");
        touch(outside, 7);
        QDir().mkdir(folder + QStringLiteral("/in"));
        const QString in = folder + QStringLiteral("/in");
        QVERIFY(QFile::link(outside, in + QStringLiteral("/link.bin")));
        touch(in + QStringLiteral("/old.bin"), 300);

        TDccFile f;
        QVERIFY(!f.CreateNew(in + QStringLiteral("/link.bin")));
        QVERIFY(!f.ErrorText().isEmpty());
        QVERIFY(!f.CreateNew(in + QStringLiteral("/old.bin")));
        QVERIFY(!f.OpenResume(in + QStringLiteral("/link.bin"), 7));
        QVERIFY(!f.OpenResume(in + QStringLiteral("/old.bin"), 299)); // not the size asked at
        QVERIFY(f.CreateUnique(in, QStringLiteral("link.bin")));
        QCOMPARE(f.Path(), in + QStringLiteral("/link (2).bin"));
        QVERIFY(f.Write("abc"));
        f.Close();
        QVERIFY(f.OpenResume(in + QStringLiteral("/old.bin"), 300));
        QVERIFY(f.Write("new"));
        f.Close();
        QCOMPARE(QFileInfo(outside).size(), 7);
        QCOMPARE(QFileInfo(in + QStringLiteral("/old.bin")).size(), 303);
        QFile old(in + QStringLiteral("/old.bin"));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray(300, 'x') + "new");

        // Sending reads plain files only (a FIFO would hold up the open).
        QVERIFY(f.OpenRead(in + QStringLiteral("/old.bin")));
        QCOMPARE(f.Size(), quint64(303));
        QVERIFY(f.Seek(300));
        char buffer[8];
        QCOMPARE(f.Read(buffer, sizeof buffer), qint64(3));
        QCOMPARE(f.Read(buffer, sizeof buffer), qint64(0));
        QVERIFY(!f.OpenRead(in));
        QVERIFY(::mkfifo(QFile::encodeName(folder + QStringLiteral("/fifo")).constData(), 0600) ==
                0);
        QVERIFY(!f.OpenRead(folder + QStringLiteral("/fifo")));
        // Nor is a FIFO resumed (found where the partial file was planned):
        // the open returns at once, without a reader.
        QVERIFY(!f.OpenResume(folder + QStringLiteral("/fifo"), 0));
        QVERIFY(!f.OpenRead(folder + QStringLiteral("/missing")));
        QVERIFY(f.ErrorText().contains("No such file"));
    }

    void localAddressIsAnInterfaceAddress()
    {
        // Whatever the machine, an IPv4 address in dotted form (loopback at
        // least), found without a name lookup.
        const QByteArray address = LocalAddress();
        QVERIFY(ParseDottedAddress(address).has_value());
    }

    void displayTexts()
    {
        QCOMPARE(DccByteText(300, 2500), QByteArray("300/2500"));
        QCOMPARE(DccRowCaption(true, "f"), QByteArray("<-- f"));
        QCOMPARE(DccRowCaption(false, "f"), QByteArray("--> f"));
        QCOMPARE(DccPercentText(42), QByteArray("42%"));
        QCOMPARE(DccWindowCaption(0), QByteArray("(uncount)% DCC Transfer Module"));
        QCOMPARE(DccWindowCaption(12), QByteArray("12% DCC Transfer Module"));
        QCOMPARE(DccSendCaption(), QByteArray("DCC Transfer Module (Send)"));
    }

    void probeSkipsTakenPorts()
    {
        // A port taken by a listener on loopback (the kernel picks it).
        const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        QCOMPARE(::bind(taken, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        QCOMPARE(::listen(taken, 1), 0);
        QCOMPARE(::getsockname(taken, reinterpret_cast<sockaddr*>(&sa), &len), 0);
        const quint16 port = ntohs(sa.sin_port);
        const quint16 probed = ProbeListenPort("127.0.0.1", port);
        ::close(taken);
        QVERIFY(probed > port);
        QCOMPARE(ProbeListenPort("not an address"), quint16(0));
        QCOMPARE(ProbeListenPort("127.0.0.1", 0), quint16(0));
    }
};

QTEST_APPLESS_MAIN(TestDcc)
#include "test_dcc.moc"
