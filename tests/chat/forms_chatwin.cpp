// The chat windows driven directly, with a server window connected over a
// real loopback socket to a fake IRC server of the test's own: the command
// line, the nick pop-up menu, the activity icon, copy on release, link
// clicks, the colour button, the DCC chat prompt and both directions of a
// DCC chat, and windows and prompts that go while they are in use.
#include "DocumentParagraphs.h"
#include "IrcPeers.h"
#include "MdiMainForm.h"
#include "ModalWindow.h"

#include "chat/U_GlobalConfig.h"
#include "chat/plugin/FrmChildWin.h"
#include "chat/plugin/FrmColor.h"
#include "chat/plugin/FrmDCC.h"
#include "chat/plugin/FrmDCCChat.h"
#include "chat/plugin/FrmMDIServer.h"
#include "chat/plugin/ZentrelPlugin.h"

#include "platform/Cp874.h"
#include "richtext/RichEditStrings.h"
#include "richtext/RxRichEd.h"
#include "toolkit/ColorGrid.h"
#include "toolkit/Controls.h"
#include "toolkit/Graphics.h"
#include "toolkit/ListBox.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

using namespace Zentrel;
using IrcPeers::c1;
using IrcPeers::ScriptedIrc;

namespace {

// What the plug-in told its host.
struct HostLog
{
    QList<QPair<QObject*, bool>> icons; // form, busy
    QList<QObject*> activated;
    QList<QByteArray> urls;
    void clear() { *this = HostLog(); }
    // The last icon call for a form: 1 busy, 0 idle, -1 none.
    int lastIcon(QObject* form) const
    {
        for (auto it = icons.rbegin(); it != icons.rend(); ++it)
            if (it->first == form)
                return it->second ? 1 : 0;
        return -1;
    }
};
HostLog& hostLog()
{
    static HostLog log;
    return log;
}

void installHost()
{
    THostCallbacks cb;
    cb.PluginSetBusyIcon = [](TPluginForm f) {
        hostLog().icons << qMakePair(static_cast<QObject*>(static_cast<TForm*>(f)), true);
    };
    cb.PluginSetIdleIcon = [](TPluginForm f) {
        hostLog().icons << qMakePair(static_cast<QObject*>(static_cast<TForm*>(f)), false);
    };
    cb.PluginActivateWindow = [](TPluginForm f) {
        hostLog().activated << static_cast<QObject*>(static_cast<TForm*>(f));
    };
    cb.PluginOpenURL = [](const char* address) { hostLog().urls << QByteArray(address); };
    HostCallbacks() = cb;
}

QString conversation(TMDIChild* w)
{
    return w->R_Chat->toPlainText();
}

void type(TMDIChild* w, const QString& text)
{
    w->edtInputText->setFocus();
    w->edtInputText->setText(text);
    QTest::keyClick(w->edtInputText, Qt::Key_Return);
}

void select(TMDIChild* w, const QStringList& entries)
{
    w->lstNameList->clearSelection();
    for (const QString& e : entries) {
        const int i = w->lstNameList->IndexOf(e);
        QVERIFY2(i >= 0, qPrintable(e));
        w->lstNameList->SetSelected(i, true);
    }
}

// Reads from a socket until what it sent holds the text.
bool readUntil(QTcpSocket* socket, QByteArray& seen, const QByteArray& text)
{
    return QTest::qWaitFor(
        [&] {
            socket->waitForReadyRead(20);
            seen += socket->readAll();
            return seen.contains(text);
        },
        5000);
}

// The widget of the application's modal window of a class, once shown.
template <typename T> T* waitModal()
{
    T* found = nullptr;
    QTest::qWaitFor(
        [&] { return (found = qobject_cast<T*>(QApplication::activeModalWidget())) != nullptr; },
        5000);
    return found;
}

} // namespace

class TestFormsChatWin : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<TMainForm> main_;
    IrcPeers::ScriptedIrc irc_;
    QPointer<TMDIServer> server_;

    TMDIChild* window(const QByteArray& name) const
    {
        if (!server_)
            return nullptr;
        const int id = server_->Session().FindWindow(name);
        return id ? server_->ChildWindow(id) : nullptr;
    }
    TMDIChild* channel() const { return window("#chan"); }
    // The DCC chat windows, found by what they are (no name reaches them).
    QList<TMDIChild*> dccChats() const
    {
        QList<TMDIChild*> out;
        if (server_)
            for (const int id : server_->Session().ChildIds())
                if (server_->Session().Child(id)->Kind == TWindowKind::DccChat)
                    if (TMDIChild* w = server_->ChildWindow(id))
                        out << w;
        return out;
    }
    TMDIChild* dccChat() const { return dccChats().value(0); }

    // The server window's connection taken, welcomed and joined to #chan,
    // whose names the server then lists.
    bool welcome(const QByteArray& names)
    {
        if (!irc_.waitForClient() || !irc_.waitFor("USER "))
            return false;
        irc_.send(":srv 001 me :Welcome");
        irc_.send(":me!u@h JOIN :#chan");
        irc_.send(":srv 353 me = #chan :" + names);
        return true;
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        qputenv("BREVANT_HOME", dir_.filePath(QStringLiteral("home")).toUtf8());
        qputenv("BREVANT_REGISTRY", dir_.filePath(QStringLiteral("registry.reg")).toUtf8());
        installHost();
        main_ = std::make_unique<TMainForm>();
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
        QVERIFY(irc_.listen());
        server_ = new TMDIServer();
        server_->SetServerText(QStringLiteral("127.0.0.1:%1").arg(irc_.port()));
        server_->SetNick(QStringLiteral("me"));
        server_->show();
        server_->B_ConnectClick();
        // Operators, then voiced users, then the rest, without regard to case.
        QVERIFY(welcome("c +v @me b A d e f"));
        irc_.send(":srv 366 me #chan :End of NAMES list");
        QTRY_VERIFY(channel());
        QTRY_COMPARE(channel()->lstNameList->AllItems(),
                     (QStringList{"@me", "+v", "A", "b", "c", "d", "e", "f"}));
        irc_.take();
    }

    void cleanupTestCase()
    {
        delete server_.data();
        main_.reset();
        HostCallbacks() = THostCallbacks();
    }

    void aChannelWindowHasItsControls()
    {
        TMDIChild* w = channel();
        QCOMPARE(w->Kind(), TWindowKind::Channel);
        QVERIFY(w->R_Chat->ReadOnly());
        QVERIFY(!w->lstNameList->isHidden());
        QVERIFY(w->lstNameList->MultiSelect());
        QCOMPARE(w->R_Chat->PopupMenu(), static_cast<QMenu*>(w->PopupMenu2));
        QVERIFY(w->btnSend->isHidden());
        QCOMPARE(w->T_Offtimer->interval(), 500);
        QCOMPARE(w->edtInputText->x(), 25);
        QCOMPARE(w->Panel1->width() - w->edtInputText->width(), 29);
        QCOMPARE(w->edtInputText->y(), 2);
        QCOMPARE(w->Panel1->height(), w->edtInputText->height() + 4);
        // The menu's items and their captions; the encrypted mode's is hidden.
        const QList<QPair<TMenuItem*, QString>> items{
            {w->N1, QStringLiteral("&ดูข้อมูล")},
            {w->N2, QStringLiteral("คุย&กระซิบส่วนตัว")},
            {w->N3, QStringLiteral("คุยแบบเข้าร&หัส **")},
            {w->N11, QStringLiteral("จับเวลาการตอบรับ")},
            {w->N12, QStringLiteral("ขอดูชื่อโปรแกรมที่ใช้")},
            {w->N13, QStringLiteral("ขอดูเวลา")},
            {w->SEND1, QStringLiteral("SEND")},
            {w->CHATUnavailablenow1, QStringLiteral("CHAT")},
            {w->N6, QStringLiteral("ให้สิทธิดูแลห้อง")},
            {w->N7, QStringLiteral("ยึดสิทธิดูแลห้อง")},
            {w->N8, QStringLiteral("เตะออกจากห้อง")}};
        for (const auto& [item, caption] : items) {
            QCOMPARE(item->Caption(), caption);
            QCOMPARE(item->isVisible(), item != w->N3);
        }
        // The nick list and the command line take the conversation's
        // colours, a system colour of the settings as well.
        {
            const TZentrelSettings saved = Settings();
            Settings().ChatBKColor = clBtnFace;
            Settings().ChatFontColor = clHighlight;
            auto* other = new TMDIChild(0, "#colours", TWindowKind::Channel);
            Settings() = saved;
            for (QWidget* part : {static_cast<QWidget*>(other->lstNameList),
                                  static_cast<QWidget*>(other->edtInputText)}) {
                QCOMPARE(part->palette().color(QPalette::Base), ColorToQColor(clBtnFace));
                QCOMPARE(part->palette().color(QPalette::Text), ColorToQColor(clHighlight));
            }
            delete other;
        }
        // A query has no nick list and no menu on its text.
        irc_.send(":bob!b@h PRIVMSG me :hello there");
        QTRY_VERIFY(window("bob"));
        QVERIFY(window("bob")->lstNameList->isHidden());
        QVERIFY(!window("bob")->R_Chat->PopupMenu());
        QTRY_VERIFY(conversation(window("bob")).contains(QStringLiteral("<bob> hello there")));
    }

    void theCommandLineSendsAndShows()
    {
        TMDIChild* w = channel();
        irc_.take();
        type(w, QStringLiteral("hello all"));
        QVERIFY(irc_.waitFor("PRIVMSG #chan :hello all\r\n"));
        QTRY_VERIFY(conversation(w).contains(QStringLiteral("<me> hello all")));
        QVERIFY(w->edtInputText->text().isEmpty());
        QVERIFY(w->edtInputText->hasFocus());
        type(w, QStringLiteral("/me waves"));
        QVERIFY(irc_.waitFor("PRIVMSG #chan :" + c1 + "ACTION waves" + c1 + "\r\n"));
        QVERIFY(conversation(w).contains(QStringLiteral("* me waves")));
        type(w, QStringLiteral("/kick"));
        QVERIFY(irc_.waitFor("KICK\r\n"));
        QVERIFY(
            conversation(w).contains(QStringLiteral("*** USAGE: /KICK <channel> <nick> <reason>")));
        // Thai text goes out in code page 874.
        type(w, QStringLiteral("สวัสดี"));
        QVERIFY(irc_.waitFor("PRIVMSG #chan :" + Cp874::fromUnicode(QStringLiteral("สวัสดี"))));
        // Nothing for an empty line.
        irc_.take();
        type(w, QString());
        QCOMPARE(irc_.take(), QList<QByteArray>{});
        // The server window's own command line.
        server_->edtInputText->setText(QStringLiteral("/whois  bob   "));
        QTest::keyClick(server_->edtInputText, Qt::Key_Return);
        QVERIFY(irc_.waitFor("WHOIS  bob\r\n"));
        server_->edtInputText->setText(QStringLiteral("just text"));
        QTest::keyClick(server_->edtInputText, Qt::Key_Return);
        QTRY_VERIFY(server_->redShowText->toPlainText().endsWith(
            QStringLiteral("*** You are not on any channel!")));
    }

    void theNickMenuActsOnTheSelectedNicks()
    {
        TMDIChild* w = channel();
        irc_.take();
        // Six nicks: two MODE lines, four and two.
        select(w, {"A", "b", "c", "d", "e", "f"});
        w->N6->trigger();
        QVERIFY(irc_.waitFor("MODE #chan +oo e f\r\n"));
        QCOMPARE(irc_.take(),
                 (QList<QByteArray>{"MODE #chan +oooo A b c d", "MODE #chan +oo e f"}));
        QVERIFY(w->edtInputText->hasFocus());
        select(w, {"@me", "+v"});
        w->N7->trigger();
        QVERIFY(irc_.waitFor("MODE #chan -oo me v\r\n"));
        irc_.take();
        w->N1->trigger();
        QVERIFY(irc_.waitFor("WHOIS  v\r\n"));
        QCOMPARE(irc_.take(), (QList<QByteArray>{"WHOIS  me", "WHOIS  v"}));
        select(w, {"b"});
        w->N12->trigger();
        w->N13->trigger();
        w->N11->trigger();
        QVERIFY(irc_.waitFor("PRIVMSG b :" + c1 + "PING "));
        QVERIFY(irc_.waitFor(c1 + "\r\n"));
        const QList<QByteArray> ctcp = irc_.take();
        QCOMPARE(ctcp.size(), 3);
        QCOMPARE(ctcp[0], "PRIVMSG b :" + c1 + "VERSION" + c1);
        QCOMPARE(ctcp[1], "PRIVMSG b :" + c1 + "TIME" + c1);
        QVERIFY2(QRegularExpression(QStringLiteral("^PRIVMSG b :\\x01PING \\d+\\x01$"))
                     .match(QString::fromLatin1(ctcp[2]))
                     .hasMatch(),
                 ctcp[2].constData());
        // Queries, from the menu and by double click.
        select(w, {"A", "c"});
        w->N2->trigger();
        QTRY_VERIFY(window("A") && window("c"));
        const QRect d = w->lstNameList->visualItemRect(
            w->lstNameList->item(w->lstNameList->IndexOf(QStringLiteral("d"))));
        QTest::mouseDClick(w->lstNameList->viewport(), Qt::LeftButton, {}, d.center());
        QTRY_VERIFY(window("d"));
        // The hidden encrypted mode still works as it always did.
        select(w, {"e"});
        w->N3->trigger();
        QVERIFY(irc_.waitFor("PRIVMSG e :" + c1 + "PUBKEYREQ" + c1));
        QTRY_VERIFY(window("$e"));
        QCOMPARE(window("$e")->Kind(), TWindowKind::Encrypted);
        // SEND asks for a file and offers it to the nick.
        select(w, {"+v"});
        const QString file = dir_.filePath(QStringLiteral("offered.txt"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("offered");
        }
        // The dialog may still be reading its folder at first: answered
        // again until it closes.
        OnModal([file](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            dialog->selectFile(file);
            static_cast<QDialog*>(dialog)->accept(); // public there
        });
        w->SEND1->trigger();
        QVERIFY(irc_.waitFor("PRIVMSG v :" + c1 + "DCC SEND offered.txt "));
        EndDccTransfers();
    }

    void kickAsksForAReasonPerNick()
    {
        TMDIChild* w = channel();
        irc_.take();
        select(w, {"+v", "f"});
        w->N8->trigger();
        auto* first = waitModal<QInputDialog>();
        QVERIFY(first);
        QCOMPARE(first->windowTitle(), QStringLiteral("Message"));
        QCOMPARE(first->labelText(), QStringLiteral("เหตุผลที่ kick"));
        first->setTextValue(QStringLiteral("ไม่สุภาพ"));
        first->accept();
        QVERIFY(irc_.waitFor("KICK #chan v :" + Cp874::fromUnicode(QStringLiteral("ไม่สุภาพ"))));
        QPointer<QInputDialog> second;
        QTRY_VERIFY((second = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) &&
                    second != first);
        second->accept();
        QVERIFY(irc_.waitFor("KICK #chan f :No reason given\r\n"));
        // A prompt cancelled sends nothing.
        select(w, {"f"});
        w->N8->trigger();
        auto* third = waitModal<QInputDialog>();
        QVERIFY(third);
        third->reject();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        irc_.take();
        QCOMPARE(irc_.take(), QList<QByteArray>{});
    }

    void theActivityIconFollowsNewText()
    {
        TMDIChild* chan = channel();
        TMDIChild* query = window("bob");
        QVERIFY(chan && query);
        chan->BringToFront();
        QTRY_VERIFY(chan->IsActive());
        QVERIFY(!query->IsActive());
        // A channel: busy, then idle after 500 ms.
        hostLog().clear();
        chan->AddLine("line");
        QCOMPARE(hostLog().lastIcon(chan), 1);
        QVERIFY(chan->T_Offtimer->isActive());
        QTRY_COMPARE(hostLog().lastIcon(chan), 0);
        // A query in the background stays busy until it is activated.
        query->AddLine("psst");
        QCOMPARE(hostLog().lastIcon(query), 1);
        QVERIFY(!query->T_Offtimer->isActive());
        query->BringToFront();
        QTRY_VERIFY(query->IsActive());
        QCOMPARE(hostLog().lastIcon(query), 0);
        QVERIFY(hostLog().activated.contains(query));
        QTRY_VERIFY(query->edtInputText->hasFocus());
        QVERIFY(!chan->IsActive());
        // The active query goes idle on its own after new text.
        query->AddLine("again");
        QVERIFY(query->T_Offtimer->isActive());
        QTRY_COMPARE(hostLog().lastIcon(query), 0);
        chan->BringToFront();
        QTRY_VERIFY(chan->IsActive());
    }

    void theConversationKeepsItsLastLines()
    {
        TMDIChild* w = window("A");
        QVERIFY(w);
        w->R_Chat->Clear();
        for (int i = 1; i <= 150; ++i)
            w->AddLine("line " + QByteArray::number(i));
        QCOMPARE(w->R_Chat->Lines()->Count(), 150);
        w->AddLine("line 151");
        QCOMPARE(w->R_Chat->Lines()->Count(), 101);
        QCOMPARE(w->R_Chat->Lines()->Strings(0), QStringLiteral("line 51"));
        QTRY_COMPARE(w->R_Chat->verticalScrollBar()->value(),
                     w->R_Chat->verticalScrollBar()->maximum());
    }

    void aBurstShowsWhatLinesOneByOneShow()
    {
        // Coloured, styled, in other faces, with links and Thai text: 400
        // lines in one turn of the event loop, as a flood brings them, and
        // the same lines one per turn, into two windows of the same size.
        QList<QByteArray> lines;
        for (int i = 0; i < 400; ++i)
            lines << "<n" + QByteArray::number(i % 59) + "> line " + QByteArray::number(i) +
                         " \x03"
                         "04red\x03 \x02"
                         "bold\x02 \x1f"
                         "under\x16lined\x1f \x11"
                         "fixed\x11 http://example.th/" +
                         QByteArray::number(i) +
                         " http:#chan \xCA\xC7\xD1\xCA\xB4\xD5 \x03"
                         "12,8coloured\x03"
                         "3 and the rest";
        auto* burst = new TMDIChild(0, "#burst", TWindowKind::Channel);
        auto* single = new TMDIChild(0, "#single", TWindowKind::Channel);
        for (TMDIChild* w : {burst, single})
            w->show();
        QTRY_VERIFY(burst->isVisible() && single->isVisible());
        for (const QByteArray& line : lines)
            burst->AddLine(line);
        for (const QByteArray& line : lines) {
            single->AddLine(line);
            QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        QCOMPARE(burst->R_Chat->Lines()->Count(), single->R_Chat->Lines()->Count());
        QCOMPARE(DocumentParagraphs(*burst->R_Chat->document()),
                 DocumentParagraphs(*single->R_Chat->document()));
        QVERIFY(burst->R_Chat->Lines()->Count() <= 150);
        QCOMPARE(burst->R_Chat->Lines()->Strings(burst->R_Chat->Lines()->Count() - 1),
                 QString::fromUtf8("<n45> line 399 red bold underlined fixed "
                                   "http://example.th/399 http:#chan สวัสดี coloured and the rest"));
        // Each scrolled to its end, and looking the same there.
        QImage looks[2];
        for (int k = 0; k < 2; ++k) {
            TMDIChild* w = k ? single : burst;
            w->BringToFront();
            QTRY_VERIFY(w->IsActive());
            QScrollBar* bar = w->R_Chat->verticalScrollBar();
            QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
            looks[k] = w->R_Chat->viewport()->grab().toImage();
        }
        QCOMPARE(looks[0], looks[1]);
        delete burst;
        delete single;
        QTRY_VERIFY(channel());
        channel()->BringToFront();
        QTRY_VERIFY(channel()->IsActive());
    }

    void incomingLinesLeaveTheSelectionAlone()
    {
        TMDIChild* w = channel();
        irc_.send(":bob!b@h PRIVMSG #chan :pick this word");
        QTRY_VERIFY(conversation(w).contains(QStringLiteral("<bob> pick this word")));
        // Selected, the mouse still down (its release copies and drops the
        // selection).
        const int line = w->R_Chat->Lines()->Count() - 1;
        const int start = w->R_Chat->GetLineStart(line) + 11;
        w->R_Chat->SetSelection(start, start + 4, false);
        QCOMPARE(w->R_Chat->SelText(), QStringLiteral("this"));
        for (int i = 0; i < 30; ++i)
            irc_.send(":bob!b@h PRIVMSG #chan :\x03"
                      "4more\x03 " +
                      QByteArray::number(i));
        QTRY_VERIFY(conversation(w).contains(QStringLiteral("<bob> more 29")));
        QCOMPARE(w->R_Chat->SelText(), QStringLiteral("this"));
        // The view still follows the newest line.
        QScrollBar* bar = w->R_Chat->verticalScrollBar();
        QTRY_COMPARE(bar->value(), bar->maximum());
        w->R_Chat->SetSelectionStart(w->R_Chat->GetTextLength());
    }

    void releasingTheMouseCopiesTheSelection()
    {
        TMDIChild* w = channel();
        w->AddLine("copy \x02this\x02 part");
        const int line = w->R_Chat->Lines()->Count() - 1;
        const int start = w->R_Chat->GetLineStart(line) + 5;
        w->R_Chat->SetSelection(start, start + 4, false);
        QApplication::clipboard()->clear();
        QTest::mouseRelease(w->R_Chat->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QTRY_COMPARE(QApplication::clipboard()->text(), QStringLiteral("this"));
        QCOMPARE(w->R_Chat->SelLength(), 0);
    }

    void linksJoinChannelsOrOpenInTheBrowser()
    {
        TMDIChild* w = channel();
        // The server window turns channel names into links.
        irc_.send(":bob!b@h PRIVMSG #chan :come to #other or see http://example.org/x");
        QTRY_VERIFY(conversation(w).contains(QStringLiteral("http:#other")));
        auto click = [&](const QString& text) {
            const QString all = w->R_Chat->toPlainText();
            const int at = all.lastIndexOf(text) + 2;
            QTextCursor c(w->R_Chat->document());
            c.setPosition(at);
            w->R_Chat->FlushLayout();
            QTest::mouseClick(w->R_Chat->viewport(), Qt::LeftButton, {},
                              w->R_Chat->cursorRect(c).center());
        };
        irc_.take();
        hostLog().clear();
        click(QStringLiteral("http:#other"));
        QVERIFY(irc_.waitFor("JOIN #other\r\n"));
        // The channel of a link ends at its comma: "#a,0" would join #a and
        // then part every channel.
        irc_.send(":bob!b@h PRIVMSG #chan :all of #a,0 now");
        QTRY_VERIFY(conversation(w).contains(QStringLiteral("http:#a,0")));
        irc_.take();
        click(QStringLiteral("http:#a,0"));
        QVERIFY(irc_.waitFor("JOIN #"));
        QTest::qWait(100);
        QCOMPARE(irc_.take(), QList<QByteArray>{"JOIN #a"});
        click(QStringLiteral("http://example.org/x"));
        QTRY_COMPARE(hostLog().urls, QList<QByteArray>{"http://example.org/x"});
    }

    void theColourButtonSendsCodedText()
    {
        TMDIChild* w = channel();
        irc_.take();
        QTest::mouseClick(w->SpeedButton1, Qt::LeftButton);
        auto* dialog = waitModal<TF_Color>();
        QVERIFY(dialog);
        dialog->R_Edit->SetText(QStringLiteral("red"));
        dialog->R_Edit->SetSelection(0, -1, false);
        dialog->CG_Color->SetForegroundColor(ColorPalette[4]);
        dialog->CG_Color->SetBackgroundColor(ColorPalette[8]);
        dialog->ApplyColors();
        QTest::mouseClick(dialog->BitBtn1, Qt::LeftButton);
        QVERIFY(irc_.waitFor("PRIVMSG #chan :\x03"
                             "4,8red\r\n"));
        QVERIFY(w->edtInputText->text().isEmpty());
        // Closed without OK: nothing is sent and the typed text stays.
        w->edtInputText->setText(QStringLiteral("typed"));
        QTest::mouseClick(w->SpeedButton1, Qt::LeftButton);
        dialog = waitModal<TF_Color>();
        QVERIFY(dialog);
        dialog->Close();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(w->edtInputText->text(), QStringLiteral("typed"));
        w->edtInputText->clear();
    }

    void aDccChatRequestIsAskedAboutWhileTheLinesWait()
    {
        QTcpServer partner;
        QVERIFY(partner.listen(QHostAddress::LocalHost));
        const QByteArray offer = ":bob!b@h PRIVMSG me :" + c1 + "DCC CHAT chat 2130706433 " +
                                 QByteArray::number(partner.serverPort()) + c1;
        // A PING in the same read as the request is answered at once.
        irc_.take();
        irc_.send(offer + "\r\nPING :same-read");
        QTRY_VERIFY(server_->DccChatPrompt());
        QPointer<TF_DccChat> prompt = server_->DccChatPrompt();
        QCOMPARE(prompt->Caption(), QStringLiteral("DCC Chat Request"));
        QCOMPARE(prompt->Label5->Caption(), QStringLiteral("Request DCC chat with you"));
        QCOMPARE(prompt->L_Name->Caption(), QStringLiteral("bob"));
        QCOMPARE(prompt->L_IP->Caption(), QStringLiteral("127.0.0.1:%1").arg(partner.serverPort()));
        QCOMPARE(prompt->BitBtn1->Caption(), QStringLiteral("Accept"));
        QCOMPARE(prompt->BitBtn2->Caption(), QStringLiteral("Discard"));
        QCOMPARE(QApplication::activeModalWidget(), prompt.data());
        QVERIFY(irc_.waitFor("PONG :same-read\r\n", 3000));
        // Meanwhile the server's lines are read and held, in order, for
        // when the request is answered; its PING is answered at once.
        irc_.send(":zed!z@h PRIVMSG me :first while asked");
        irc_.send("PING :while-asked");
        irc_.send(":zed!z@h PRIVMSG me :second while asked");
        QVERIFY(irc_.waitFor("PONG :while-asked\r\n", 3000));
        QTest::qWait(300);
        QVERIFY(!window("zed"));
        QCOMPARE(QApplication::activeModalWidget(), prompt.data());
        QTest::mouseClick(prompt->BitBtn1, Qt::LeftButton);
        QTRY_VERIFY(!prompt);
        QTRY_VERIFY(window("zed"));
        QTRY_VERIFY(
            conversation(window("zed"))
                .contains(QStringLiteral("<zed> first while asked\n<zed> second while asked")));
        // Each PING answered once.
        QTest::qWait(300);
        const QList<QByteArray> sent = irc_.take();
        QCOMPARE(sent.count("PONG :while-asked"), 1);
        QCOMPARE(sent.count("PONG :same-read"), 1);
        QTRY_VERIFY(dccChat());
        TMDIChild* chat = dccChat();
        QCOMPARE(chat->Kind(), TWindowKind::DccChat);
        QCOMPARE(chat->CaptionBytes(), QByteArray("DCC-CHAT (bob)"));
        QVERIFY(chat->IsDcc() && chat->IsDccClient());
        QCOMPARE(chat->DccPeer(), QByteArray("bob"));
        QVERIFY(chat->lstNameList->isHidden());
        QTRY_VERIFY(partner.hasPendingConnections());
        QTcpSocket* bob = partner.nextPendingConnection();
        QTRY_VERIFY(conversation(chat).contains(
            QStringLiteral("*** Established DCC Chat Connection *** \n*** Connection to IP "
                           "127.0.0.1 ***")));
        bob->write("hi there\r\nsecond ");
        bob->write("line\n");
        QTRY_VERIFY(
            conversation(chat).contains(QStringLiteral("<bob> hi there\n<bob> second line")));
        bob->write(c1 + "ACTION waves" + c1 + "\r\n");
        QTRY_VERIFY(conversation(chat).contains(QStringLiteral("\n* bob waves")));
        type(chat, QStringLiteral("back at you"));
        QByteArray seen;
        QVERIFY(readUntil(bob, seen, "\n"));
        QCOMPARE(seen, QByteArray("back at you\r\n"));
        QVERIFY(conversation(chat).contains(QStringLiteral("<me> back at you")));

        // Another request asked about while the chat runs: the partner's
        // lines show meanwhile (they do not pile up behind the prompt).
        // Discarded: no window and no connection.
        irc_.send(":carol!c@h PRIVMSG me :" + c1 + "DCC CHAT chat 2130706433 " +
                  QByteArray::number(partner.serverPort()) + c1);
        QTRY_VERIFY(server_->DccChatPrompt());
        bob->write("while carol is asked\r\n");
        QTRY_VERIFY(conversation(chat).contains(QStringLiteral("<bob> while carol is asked")));
        QVERIFY(server_->DccChatPrompt());
        QTest::mouseClick(server_->DccChatPrompt()->BitBtn2, Qt::LeftButton);
        QTRY_VERIFY(!server_->DccChatPrompt());
        QTest::qWait(300);
        QVERIFY(!partner.hasPendingConnections());
        QCOMPARE(dccChats(), QList<TMDIChild*>{chat});
        bob->close();
        QTRY_VERIFY2(
            conversation(chat).trimmed().endsWith(QStringLiteral("*** DCC Connection Closed ***")),
            qPrintable(conversation(chat)));
        // Typed after the end: refused, not shown as sent.
        type(chat, QStringLiteral("into the closed chat"));
        QTRY_VERIFY(conversation(chat).trimmed().endsWith(
            QStringLiteral("*** Not sent: the DCC chat is not connected")));
        QVERIFY(!conversation(chat).contains(QStringLiteral("into the closed chat")));
        chat->Close();
        QTRY_VERIFY(!dccChat());
    }

    // A nick that takes the name of the DCC chat windows gets a query of
    // its own; when it changes its nick only that query follows, and what
    // the user types in the chat still goes to the partner only.
    void aNickNamedLikeTheChatTakesNothingOfIt()
    {
        QTcpServer partner;
        QVERIFY(partner.listen(QHostAddress::LocalHost));
        irc_.ctcp("bob", "me",
                  "DCC CHAT chat 2130706433 " + QByteArray::number(partner.serverPort()));
        QTRY_VERIFY(server_->DccChatPrompt());
        QTest::mouseClick(server_->DccChatPrompt()->BitBtn1, Qt::LeftButton);
        QTRY_VERIFY(partner.hasPendingConnections());
        QTcpSocket* bob = partner.nextPendingConnection();
        QTRY_VERIFY(dccChat() && conversation(dccChat()).contains(QStringLiteral("Established")));
        TMDIChild* chat = dccChat();
        irc_.send(":DCC-CHAT!x@h PRIVMSG me :psst");
        irc_.send(":eve!e@h TOPIC DCC-CHAT :taken");
        irc_.send(":srv 332 me DCC-CHAT :taken too");
        QTRY_VERIFY(window("DCC-CHAT"));
        TMDIChild* query = window("DCC-CHAT");
        QVERIFY(query != chat);
        QCOMPARE(query->Kind(), TWindowKind::Query);
        QTRY_VERIFY(conversation(query).contains(QStringLiteral("<DCC-CHAT> psst")));
        irc_.send(":DCC-CHAT!x@h NICK :eve");
        QTRY_COMPARE(query->CaptionBytes(), QByteArray("eve"));
        QCOMPARE(chat->CaptionBytes(), QByteArray("DCC-CHAT (bob)"));
        QVERIFY(!conversation(chat).contains(QStringLiteral("psst")));
        QVERIFY(!conversation(chat).contains(QStringLiteral("eve")));
        irc_.take();
        type(chat, QStringLiteral("for bob only"));
        QByteArray seen;
        QVERIFY(readUntil(bob, seen, "\n"));
        QCOMPARE(seen, QByteArray("for bob only\r\n"));
        QTest::qWait(200);
        for (const QByteArray& line : irc_.take())
            QVERIFY2(!line.contains("for bob only"), line.constData());
        // Opening a query of that name makes a query, not the chat.
        server_->OpenQueryWindow("dcc-chat");
        QTRY_VERIFY(window("dcc-chat"));
        QVERIFY(window("dcc-chat") != chat);
        window("dcc-chat")->Close();
        query->Close();
        chat->Close();
        QTRY_VERIFY(!dccChat());
    }

    // The connection closes while a DCC chat request is asked about: the
    // lines that came before the close are all handled after the answer,
    // then the close; the accepted chat opens no window and the status log
    // says why.
    void aCloseDuringTheRequestComesAfterItsLines()
    {
        ScriptedIrc irc;
        QVERIFY(irc.listen());
        QPointer<TMDIServer> w = new TMDIServer();
        w->SetServerText(QStringLiteral("127.0.0.1:%1").arg(irc.port()));
        w->SetNick(QStringLiteral("me"));
        w->show();
        w->B_ConnectClick();
        QVERIFY(irc.waitForClient() && irc.waitFor("USER "));
        irc.send(":srv 001 me :Welcome");
        QTcpServer partner;
        QVERIFY(partner.listen(QHostAddress::LocalHost));
        irc.ctcp("bob", "me",
                 "DCC CHAT chat 2130706433 " + QByteArray::number(partner.serverPort()));
        QTRY_VERIFY(w->DccChatPrompt());
        irc.send(":srv NOTICE me :*** held one");
        irc.send(":srv NOTICE me :*** held two");
        irc.client->disconnectFromHost();
        QTest::qWait(500);
        const QString before = w->redShowText->toPlainText();
        QVERIFY(!before.contains(QStringLiteral("held one")));
        QVERIFY(!before.contains(QStringLiteral("Disconnected")));
        QTest::mouseClick(w->DccChatPrompt()->BitBtn1, Qt::LeftButton);
        QTRY_VERIFY(w->redShowText->toPlainText().contains(QStringLiteral("Disconnected")));
        const QString after = w->redShowText->toPlainText().mid(before.size());
        QVERIFY2(after.contains(QRegularExpression(
                     QStringLiteral("\\*\\*\\* DCC CHAT with bob not opened: the connection to "
                                    "the server closed\n\\*\\*\\* held one\n\\*\\*\\* held "
                                    "two\nDisconnected"))),
                 qPrintable(after));
        QVERIFY(w->Session().ChildIds().isEmpty());
        QTest::qWait(300);
        QVERIFY(!partner.hasPendingConnections());
        QVERIFY(!w->IsConnected());
        delete w.data();
    }

    // The ident responder, shared by two windows that register at once:
    // each port pair of ours is answered with its own window's nick (as
    // the nick box has it, renamed by a 433), any other pair with
    // NO-USER; it stops when no connection registers any more.
    void identNamesOnlyOurRegisteringConnections()
    {
        ScriptedIrc one;
        ScriptedIrc two;
        QVERIFY(one.listen() && two.listen());
        auto open = [&](ScriptedIrc& irc, const QString& nick) {
            auto* w = new TMDIServer();
            w->SetServerText(QStringLiteral("127.0.0.1:%1").arg(irc.port()));
            w->SetNick(nick);
            w->B_ConnectClick();
            return QPointer<TMDIServer>(w);
        };
        QPointer<TMDIServer> ann = open(one, QStringLiteral("ann"));
        QPointer<TMDIServer> ben = open(two, QStringLiteral("ben"));
        QVERIFY(one.waitForClient() && one.waitFor("USER "));
        QVERIFY(two.waitForClient() && two.waitFor("USER "));
        QVERIFY(!ann->redShowText->toPlainText().contains(QStringLiteral("Ident")));
        QVERIFY(!ben->redShowText->toPlainText().contains(QStringLiteral("Ident")));
        auto pair = [](ScriptedIrc& irc) {
            return QByteArray::number(irc.client->peerPort()) + " , " +
                   QByteArray::number(irc.port());
        };
        auto ask = [](const QByteArray& query) -> QByteArray {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, 113);
            if (!s.waitForConnected(3000))
                return "no responder";
            s.write(query + "\r\n");
            QByteArray got;
            QTest::qWaitFor(
                [&] {
                    s.waitForReadyRead(20);
                    got += s.readAll();
                    return got.contains('\n') || s.state() != QAbstractSocket::ConnectedState;
                },
                3000);
            return got;
        };
        QCOMPARE(ask(pair(one)), pair(one) + ":USERID:UNIX:ann\r\n");
        QCOMPARE(ask(pair(two)), pair(two) + ":USERID:UNIX:ben\r\n");
        const QByteArray crossed =
            QByteArray::number(one.client->peerPort()) + "," + QByteArray::number(two.port());
        QCOMPARE(ask(crossed), crossed + ":ERROR:NO-USER\r\n");
        // The connection of the fixture's window registered long ago.
        const QByteArray done =
            QByteArray::number(irc_.client->peerPort()) + "," + QByteArray::number(irc_.port());
        QCOMPARE(ask(done), done + ":ERROR:NO-USER\r\n");
        QCOMPARE(ask("not a query"), QByteArray());
        // Renamed while registering: the reply follows the nick box.
        one.send(":srv 433 * ann :Nickname is already in use");
        QTRY_VERIFY(ann->edtNick->text() != QStringLiteral("ann"));
        QCOMPARE(ask(pair(one)),
                 pair(one) + ":USERID:UNIX:" + ann->edtNick->text().toLatin1() + "\r\n");
        // Registered: no longer named; the other still is.
        one.send(":srv 001 ann :Welcome");
        QTRY_VERIFY(ann->redShowText->toPlainText().contains(QStringLiteral("Welcome")));
        QCOMPARE(ask(pair(one)), pair(one) + ":ERROR:NO-USER\r\n");
        QCOMPARE(ask(pair(two)), pair(two) + ":USERID:UNIX:ben\r\n");
        // The last one gone: nothing listens.
        delete ben.data();
        QCOMPARE(ask(pair(one)), QByteArray("no responder"));
        delete ann.data();
    }

    void aDccChatOfferListensForOnePartner()
    {
        TMDIChild* w = channel();
        irc_.take();
        select(w, {"@me"});
        w->CHATUnavailablenow1->trigger();
        QTRY_VERIFY(dccChat());
        TMDIChild* chat = dccChat();
        QVERIFY(chat->IsDcc() && !chat->IsDccClient());
        QTRY_VERIFY(
            conversation(chat).contains(QStringLiteral("*** Waiting for connection from me ***")));
        QVERIFY(irc_.waitFor(c1 + "\r\n"));
        const QByteArray line = irc_.take().last();
        const QRegularExpressionMatch m =
            QRegularExpression(
                QStringLiteral("^PRIVMSG me :\\x01DCC CHAT chat 2130706433 (\\d+)\\x01$"))
                .match(QString::fromLatin1(line));
        QVERIFY2(m.hasMatch(), line.constData());
        const quint16 port = quint16(m.captured(1).toUInt());
        QVERIFY(port >= 4000);
        QTcpSocket partner;
        partner.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(partner.waitForConnected(5000));
        QByteArray seen;
        QVERIFY(readUntil(&partner, seen, "\n"));
        QCOMPARE(seen, QByteArray("Welcome to Quennet\r\n"));
        QTRY_VERIFY(conversation(chat).contains(
            QStringLiteral("*** DCC CHAT established ***\n*** Connection from IP 127.0.0.1 ***")));
        // A second partner is turned away.
        QTcpSocket intruder;
        intruder.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(!intruder.waitForConnected(3000));
        partner.write("from the partner\r\n");
        QTRY_VERIFY(conversation(chat).contains(QStringLiteral("<me> from the partner")));
        type(chat, QStringLiteral("/me waves"));
        seen.clear();
        QVERIFY(readUntil(&partner, seen, "\n"));
        QCOMPARE(seen, c1 + "ACTION waves" + c1 + "\r\n");
        // Closed while connected: the partner sees the end.
        chat->Close();
        QVERIFY(QTest::qWaitFor(
            [&] {
                partner.waitForReadyRead(20);
                return partner.state() == QAbstractSocket::UnconnectedState;
            },
            5000));
    }

    void promptsAndWindowsGoSafely()
    {
        // A window freed by its server while its own command is running: the
        // server's end of the connection is gone, so the lines typed make
        // the send fail and the connection close under the window.
        TMDIChild* w = channel();
        QPointer<TMDIChild> guard(w);
        // A line the server's end never reads: it resets the connection.
        type(w, QStringLiteral("unread"));
        irc_.client->abort();
        // The send that finds the connection reset ends it at once: the
        // window is let go while its own handler runs, and freed after.
        for (int typed = 0; typed < 5 && w->Server(); ++typed)
            type(w, QStringLiteral("into the void"));
        QVERIFY(guard);
        QVERIFY(!w->Server());
        QVERIFY(server_->redShowText->toPlainText().contains(QStringLiteral("Disconnected")));
        QTRY_VERIFY(!guard);

        // Connected again; a DCC chat, a DCC chat request, a kick prompt and
        // the colour dialog are up when the plug-in goes.
        irc_.received.clear();
        server_->B_ConnectClick();
        QVERIFY(welcome("@me x"));
        QTRY_VERIFY(channel() && channel()->lstNameList->Count() == 2);
        TMDIChild* again = channel();
        // A chat window closed while it is still connecting.
        irc_.send(":eve!e@h PRIVMSG me :" + c1 + "DCC CHAT chat 184549121 9" + c1);
        QTRY_VERIFY(server_->DccChatPrompt());
        server_->DccChatPrompt()->BitBtn1Click();
        QTRY_VERIFY(dccChat());
        // Typed before it is connected: refused, not shown as sent.
        type(dccChat(), QStringLiteral("too early"));
        QVERIFY(conversation(dccChat()).contains(
            QStringLiteral("*** Not sent: the DCC chat is not connected")));
        QVERIFY(!conversation(dccChat()).contains(QStringLiteral("too early")));
        dccChat()->Close();
        QTRY_VERIFY(!dccChat());
        // A chat that is connected.
        QTcpServer partner;
        QVERIFY(partner.listen(QHostAddress::LocalHost));
        irc_.send(":bob!b@h PRIVMSG me :" + c1 + "DCC CHAT chat 2130706433 " +
                  QByteArray::number(partner.serverPort()) + c1);
        QTRY_VERIFY(server_->DccChatPrompt());
        server_->DccChatPrompt()->BitBtn1Click();
        QTRY_VERIFY(partner.hasPendingConnections());
        QTcpSocket* bob = partner.nextPendingConnection();
        QTRY_VERIFY(dccChat() && conversation(dccChat()).contains(QStringLiteral("Established")));
        select(again, {"x"});
        again->N8->trigger();
        QPointer<QInputDialog> kick = waitModal<QInputDialog>();
        QVERIFY(kick);
        QTest::mouseClick(again->SpeedButton1, Qt::LeftButton);
        irc_.send(":carl!c@h PRIVMSG me :" + c1 + "DCC CHAT chat 2130706433 4999" + c1);
        QTRY_VERIFY(server_->DccChatPrompt());
        QPointer<TF_DccChat> prompt = server_->DccChatPrompt();
        ServerWindows().append(server_);
        PluginDone();
        QVERIFY(!server_);
        QVERIFY(!prompt);
        QVERIFY(!kick);
        QVERIFY(TZentrelForm::LiveForms().isEmpty());
        // The DCC chat and the connection to the server end with it.
        QVERIFY(QTest::qWaitFor(
            [&] {
                bob->waitForReadyRead(20);
                return bob->state() == QAbstractSocket::UnconnectedState;
            },
            5000));
        QVERIFY(QTest::qWaitFor(
            [&] {
                irc_.client->waitForReadyRead(20);
                return irc_.client->state() == QAbstractSocket::UnconnectedState;
            },
            5000));
        installHost();
    }
};

QTEST_MAIN(TestFormsChatWin)
#include "forms_chatwin.moc"
