#include "chat/PluginAddress.h"
#include "chat/U_GlobalConfig.h"

#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Zentrel;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString file_;

    TRegistry zentrelKey()
    {
        TRegistry reg(file_);
        reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
        if (!reg.OpenKey(QStringLiteral("Software\\Talvik_Software\\Zentrel"), true))
            qFatal("cannot open the key");
        return reg;
    }

private slots:
    void init()
    {
        file_ = dir_.filePath(QStringLiteral("registry.reg"));
        QFile::remove(file_);
    }

    void withoutTalvikSoftwareNothingIsReadOrWritten()
    {
        {
            // Another program's key exists; ours does not.
            TRegistry reg(file_);
            reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
            QVERIFY(reg.OpenKey(QStringLiteral("Software\\Other"), true));
            reg.WriteString(QStringLiteral("x"), QStringLiteral("1"));
        }
        const QByteArray before = readAll(file_);
        TZentrelSettings s;
        s.IRCPort = QStringLiteral("7000");
        TRegistry reg(file_);
        QVERIFY(!LoadConfig(s, reg));
        QCOMPARE(s.IRCPort, QStringLiteral("7000"));
        QString error;
        // Nothing to write, and nothing to tell the user.
        QCOMPARE(SaveConfig(s, reg, &error), TSaveResult::NoKey);
        QVERIFY(error.isEmpty());
        QCOMPARE(readAll(file_), before);
    }

    void anEmptyKeyKeepsTheDefaults()
    {
        {
            TRegistry reg(file_);
            reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
            QVERIFY(reg.OpenKey(QStringLiteral("Software\\Talvik_Software"), true));
        }
        TZentrelSettings s;
        TRegistry reg(file_);
        QVERIFY(LoadConfig(s, reg));
        QCOMPARE(s, TZentrelSettings());
        QCOMPARE(s.IRCPort, QStringLiteral("6667"));
        QCOMPARE(s.ChatBKColor, TColor(0xFFFFFF));
        QCOMPARE(s.ChatFontName, QStringLiteral("Ms Sans Serif"));
        QCOMPARE(s.DCCBlock, 1024);
        // "Zentrel" was made below it.
        TRegistry check(file_);
        check.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
        QVERIFY(check.KeyExists(QStringLiteral("\\Software\\Talvik_Software\\Zentrel")));
    }

    void valuesAreRead()
    {
        {
            TRegistry reg = zentrelKey();
            const QList<std::pair<const char*, const char*>> values = {
                {"IRCPort", "7000"},      {"UseSock", "1"},         {"SockLevel", "1"},
                {"Sock5User", "user"},    {"Sock5PW", "pass word"}, {"Sock5Address", "127.0.0.1"},
                {"SockPort", "1080"},     {"ChatBKColor", "0"},     {"ChatFontName", "Tahoma"},
                {"ChatFontColor", "255"}, {"chatwordwrap", "1"},    {"DCCDirectory", "/tmp/dcc"},
                {"DCCBlock", "4096"},     {"DCCAutoReceive", "1"},
            };
            for (const auto& [name, value] : values)
                reg.WriteString(QLatin1String(name), QLatin1String(value));
        }
        TZentrelSettings s;
        TRegistry reg(file_);
        QVERIFY(LoadConfig(s, reg));
        TZentrelSettings expected;
        expected.IRCPort = QStringLiteral("7000");
        expected.UseSock = true;
        expected.SockLevel = 1;
        expected.Sock5User = QStringLiteral("user");
        expected.Sock5PW = QStringLiteral("pass word");
        expected.Sock5Address = QStringLiteral("127.0.0.1");
        expected.SockPort = QStringLiteral("1080");
        expected.ChatBKColor = 0;
        expected.ChatFontName = QStringLiteral("Tahoma");
        expected.ChatFontColor = 255;
        expected.ChatWordWrap = true;
        expected.DCCDirectory = QStringLiteral("/tmp/dcc");
        expected.DCCBlock = 4096;
        expected.DCCAutoReceive = true;
        QCOMPARE(s, expected);
    }

    void badValuesKeepTheirDefaults_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("dccBlock"); // the DCCBlock then held
        QTest::newRow("hex number") << "SockLevel"
                                    << "$1" << 1024;
        QTest::newRow("text for a colour") << "ChatBKColor"
                                           << "white" << 1024;
        QTest::newRow("colour past 32 bits") << "ChatFontColor"
                                             << "99999999999" << 1024;
        QTest::newRow("block size 0 is clamped") << "DCCBlock"
                                                 << "0" << 1;
        QTest::newRow("negative block size") << "DCCBlock"
                                             << "-5" << 1;
        QTest::newRow("huge block size") << "DCCBlock"
                                         << "1000000000000" << 65536;
        QTest::newRow("block size as text") << "DCCBlock"
                                            << "big" << 1024;
        QTest::newRow("Boolean other than 1") << "UseSock"
                                              << "yes" << 1024;
    }
    void badValuesKeepTheirDefaults()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(int, dccBlock);
        {
            TRegistry reg = zentrelKey();
            reg.WriteString(name, value);
            reg.WriteInteger(QStringLiteral("IRCPort"), 7000); // a value of another type
        }
        TZentrelSettings s;
        TRegistry reg(file_);
        QVERIFY(LoadConfig(s, reg));
        TZentrelSettings expected;
        expected.DCCBlock = dccBlock;
        QCOMPARE(s, expected);
    }

    void saveWritesAllFourteenAsText()
    {
        {
            TRegistry reg(file_);
            reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
            QVERIFY(reg.OpenKey(QStringLiteral("Software\\Talvik_Software"), true));
        }
        TZentrelSettings s;
        s.UseSock = true;
        s.Sock5PW = QStringLiteral("รหัส");
        s.ChatBKColor = clWindow;
        s.DCCDirectory = QStringLiteral("/home/u/DCCReceived");
        s.DCCBlock = 0; // never stored out of range
        TRegistry reg(file_);
        QString error;
        QVERIFY2(SaveConfig(s, reg, &error) == TSaveResult::Written, qPrintable(error));
        TRegistry check = zentrelKey();
        QCOMPARE(check.GetValueNames().size(), 14);
        QCOMPARE(check.ReadString(QStringLiteral("UseSock")), QStringLiteral("1"));
        QCOMPARE(check.ReadString(QStringLiteral("ChatWordWrap")), QStringLiteral("0"));
        QCOMPARE(check.ReadString(QStringLiteral("DCCBlock")), QStringLiteral("1"));
        QCOMPARE(check.GetDataType(QStringLiteral("SockLevel")), RegDataType::rdString);
        TZentrelSettings back;
        QVERIFY(LoadConfig(back, check));
        s.DCCBlock = 1;
        QCOMPARE(back, s);
        // The password is plain text in the file: only its owner may read it.
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(file_).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
    }

    // The file may not grow past a limit that a few of the fourteen values
    // fit in: the save fails as a whole, and the file keeps every old value.
    void aFailedSaveWritesNoneOfTheValues()
    {
        // A file of its own: the registry keeps the failed change for this
        // file's next write, which no other test makes.
        const QString file = dir_.filePath(QStringLiteral("limited.reg"));
        {
            TRegistry reg(file);
            reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
            QVERIFY(reg.OpenKey(QStringLiteral("Software\\Talvik_Software"), true));
        }
        TRegistry reg(file);
        QCOMPARE(SaveConfig(TZentrelSettings(), reg), TSaveResult::Written);
        const QByteArray before = readAll(file);
        TZentrelSettings next;
        next.IRCPort = QStringLiteral("7000"); // the same length: it would fit
        next.UseSock = true;
        next.Sock5Address = QString(400, u'a'); // does not fit
        QString error;
        TSaveResult result;
        {
            rlimit saved{};
            QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
            const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
            rlimit limited = saved;
            limited.rlim_cur = rlim_t(before.size() + 100);
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
            result = SaveConfig(next, reg, &error);
            ::setrlimit(RLIMIT_FSIZE, &saved);
            ::signal(SIGXFSZ, oldHandler);
        }
        QCOMPARE(result, TSaveResult::Failed);
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(file), before);
    }

    void dccBlockFromTheDialog()
    {
        int block = 7;
        QVERIFY(!DCCBlockFromText(QStringLiteral("1k"), &block));
        QVERIFY(!DCCBlockFromText(QString(), &block));
        QCOMPARE(block, 7);
        QVERIFY(DCCBlockFromText(QStringLiteral(" 4096 "), &block));
        QCOMPARE(block, 4096);
        QVERIFY(DCCBlockFromText(QStringLiteral("0"), &block));
        QCOMPARE(block, 1);
        QVERIFY(DCCBlockFromText(QStringLiteral("99999999"), &block));
        QCOMPARE(block, 65536);
    }

    void fileSizeByName()
    {
        const QString path = dir_.filePath(QStringLiteral("sized"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(300, 'x'));
        f.close();
        QCOMPARE(FileSizeByName(path), qint64(300));
        QCOMPARE(FileSizeByName(dir_.filePath(QStringLiteral("missing"))), qint64(-1));
        QCOMPARE(FileSizeByName(dir_.path()), qint64(-1));
    }

    void dccDirectoryDefault()
    {
        QTemporaryDir home;
        qputenv("BREVANT_HOME", home.path().toUtf8());
        TZentrelSettings s;
        ApplyDCCDirectoryDefault(s);
        QCOMPARE(s.DCCDirectory, home.path() + QStringLiteral("/DCCReceived"));
        QVERIFY(QFileInfo(s.DCCDirectory).isDir());
        ApplyDCCDirectoryDefault(s); // exists already: fine
        TZentrelSettings stored;
        stored.DCCDirectory = home.path() + QStringLiteral("/elsewhere");
        ApplyDCCDirectoryDefault(stored);
        QCOMPARE(stored.DCCDirectory, home.path() + QStringLiteral("/elsewhere"));
        QVERIFY(!QFileInfo::exists(stored.DCCDirectory));
        qunsetenv("BREVANT_HOME");
    }

    void receiveFolderIsNeverTheRoot()
    {
        QTemporaryDir home;
        qputenv("BREVANT_HOME", home.path().toUtf8());
        TZentrelSettings s;
        const QString fallback = home.path() + QStringLiteral("/DCCReceived");
        // Emptied in the settings dialog after Init: the default folder.
        for (const QString& empty : {QString(), QStringLiteral("  ")}) {
            s.DCCDirectory = empty;
            QCOMPARE(DccReceiveFolder(s), fallback);
            QVERIFY(QFileInfo(fallback).isDir());
        }
        s.DCCDirectory = QStringLiteral("in/here/");
        QCOMPARE(DccReceiveFolder(s), home.path() + QStringLiteral("/in/here"));
        s.DCCDirectory = QStringLiteral("/srv/dcc/");
        QCOMPARE(DccReceiveFolder(s), QStringLiteral("/srv/dcc"));
        qunsetenv("BREVANT_HOME");
    }

    void pluginName()
    {
        const QByteArray name = PluginNameBytes();
        QCOMPARE(name.size(), 32);
        QCOMPARE(int(name[0]), 31);
        QCOMPARE(name.mid(1), QByteArray("IRC Plugin 0.98 BETA (20010428)"));
        unsigned char buffer[256];
        std::memset(buffer, 0xEE, sizeof buffer);
        WritePluginName(buffer);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 32), name);
        QCOMPARE(buffer[32], 0xEE); // nothing past the 32 bytes
    }

    void isNavigate_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("claimed");
        QTest::newRow("scheme") << "irc:host" << true;
        QTest::newRow("upper case") << "IRC://host/#c" << true;
        QTest::newRow("mixed case anywhere") << "http://x/?go=iRc:host" << true;
        QTest::newRow("web page") << "http://irc.example/" << false;
        QTest::newRow("no colon") << "irc" << false;
    }
    void isNavigate()
    {
        QFETCH(QString, address);
        QFETCH(bool, claimed);
        QCOMPARE(ISNavigate(address), claimed);
    }

    void navigate_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("split"); // claimed, nick, server, channel, host, port
        QTest::newRow("irc: alone") << "irc:" << QStringList{"1", "", "", "", "", ""};
        QTest::newRow("server only")
            << "irc:irc.test" << QStringList{"1", "", "irc.test", "", "irc.test", ""};
        QTest::newRow("nick, server, port, channel")
            << "irc:Nick@127.0.0.1:6668#Chan"
            << QStringList{"1", "Nick", "127.0.0.1:6668", "Chan", "127.0.0.1", "6668"};
        QTest::newRow("server and channel")
            << "IRC:irc.test#chan" << QStringList{"1", "", "irc.test", "chan", "irc.test", ""};
        QTest::newRow("url form") << "irc://irc.test/#chan"
                                  << QStringList{"1", "", "irc.test", "chan", "irc.test", ""};
        QTest::newRow("url form with nick and port")
            << "irc://me@irc.test:6697/#Chan"
            << QStringList{"1", "me", "irc.test:6697", "Chan", "irc.test", "6697"};
        QTest::newRow("url form without channel")
            << "irc://irc.test/" << QStringList{"1", "", "irc.test", "", "irc.test", ""};
        QTest::newRow("channel after the first #")
            << "irc:h#a#b" << QStringList{"1", "", "h", "a#b", "h", ""};
        QTest::newRow("colon at the end names no port")
            << "irc:host:" << QStringList{"1", "", "host:", "", "host", ""};
        QTest::newRow("no scheme") << "http://h/#c" << QStringList{"0", "", "", "c", "", ""};
    }
    void navigate()
    {
        QFETCH(QString, address);
        QFETCH(QStringList, split);
        const TNavigateAddress a = SplitNavigateAddress(address);
        QCOMPARE((QStringList{a.Claimed ? "1" : "0", a.Nick, a.Server, a.Channel, a.Host, a.Port}),
                 split);
    }

    void serverText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("setting");   // the IRCPort setting
        QTest::addColumn<QStringList>("split"); // host, port, valid
        const QString dflt = QStringLiteral("6667");
        QTest::newRow("host") << "irc.test" << dflt << QStringList{"irc.test", "6667", "1"};
        QTest::newRow("host and port")
            << "irc.test:7000" << dflt << QStringList{"irc.test", "7000", "1"};
        QTest::newRow("colon last") << "irc.test:" << dflt << QStringList{"irc.test", "6667", "1"};
        QTest::newRow("colon first") << ":7000" << dflt << QStringList{"", "6667", "1"};
        QTest::newRow("bad port") << "irc.test:abc" << dflt << QStringList{"irc.test", "abc", "0"};
        QTest::newRow("port too big")
            << "irc.test:70000" << dflt << QStringList{"irc.test", "70000", "0"};
        // An emptied setting is a bad port, not port 0.
        QTest::newRow("empty setting") << "irc.test"
                                       << "" << QStringList{"irc.test", "", "0"};
        QTest::newRow("empty setting, colon last") << "irc.test:"
                                                   << "" << QStringList{"irc.test", "", "0"};
        QTest::newRow("empty setting, port named") << "irc.test:7000"
                                                   << "" << QStringList{"irc.test", "7000", "1"};
        QTest::newRow("setting of spaces") << "irc.test"
                                           << "  " << QStringList{"irc.test", "  ", "0"};
    }
    void serverText()
    {
        QFETCH(QString, text);
        QFETCH(QString, setting);
        QFETCH(QStringList, split);
        const TServerText t = SplitServerText(text, setting);
        QCOMPARE((QStringList{t.Host, t.Port, t.PortValid ? "1" : "0"}), split);
    }
};

QTEST_APPLESS_MAIN(TestConfig)
#include "test_config.moc"
