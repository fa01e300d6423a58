// Tables of the terminal's keyboard side: the three key maps, our
// translation of Qt key events into scan codes, the letter and dead-key
// rules and the key-definition text.
#include "telnet/EmulvtKeys.h"

#include <QTest>

Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

class TestEmulvtKeys : public QObject
{
    Q_OBJECT
private slots:
    void keyMaps_data();
    void keyMaps();
    void mapSizes();
    void fromQt_data();
    void fromQt();
    void letters_data();
    void letters();
    void deadKeyChoice();
    void definitionText_data();
    void definitionText();
};

void TestEmulvtKeys::keyMaps_data()
{
    QTest::addColumn<int>("fkeys");
    QTest::addColumn<int>("scan");
    QTest::addColumn<int>("shift");
    QTest::addColumn<bool>("extended");
    // Null when the map has no entry; empty when it has an empty one.
    QTest::addColumn<QByteArray>("text");

    const QByteArray none;
    QTest::newRow("1 grey up") << 1 << 0x48 << 0 << true << QByteArray("\x1b[A");
    QTest::newRow("1 keypad up is not grey") << 1 << 0x48 << 0 << false << none;
    QTest::newRow("1 grey left") << 1 << 0x4B << 0 << true << QByteArray("\x1b[D");
    QTest::newRow("1 page up") << 1 << 0x49 << 0 << true << QByteArray("\x1b[5~");
    QTest::newRow("1 page down") << 1 << 0x51 << 0 << true << QByteArray("\x1b[6~");
    QTest::newRow("1 insert") << 1 << 0x52 << 0 << true << QByteArray("\x1b[2~");
    QTest::newRow("1 delete") << 1 << 0x53 << 0 << true << QByteArray("\x7f");
    QTest::newRow("1 F1") << 1 << 0x3B << 0 << false << QByteArray("\x1bOP");
    QTest::newRow("1 F4") << 1 << 0x3E << 0 << false << QByteArray("\x1bOS");
    QTest::newRow("1 F5 has none") << 1 << 0x3F << 0 << false << none;
    QTest::newRow("1 F11") << 1 << 0x57 << 0 << false << QByteArray("\x1b[28~");
    QTest::newRow("1 F12") << 1 << 0x58 << 0 << false << QByteArray("\x1b[29~");
    QTest::newRow("1 shift F1 has none") << 1 << 0x3B << 1 << false << none;
    QTest::newRow("1 home has none") << 1 << 0x47 << 0 << true << none;
    QTest::newRow("7 is the default map") << 7 << 0x3B << 0 << false << QByteArray("\x1bOP");
    QTest::newRow("-1 is the default map") << -1 << 0x57 << 0 << false << QByteArray("\x1b[28~");

    QTest::newRow("2 page up") << 2 << 0x49 << 0 << true << QByteArray("\x1b-");
    QTest::newRow("2 page down") << 2 << 0x51 << 0 << true << QByteArray("\x1b+");
    QTest::newRow("2 home") << 2 << 0x47 << 0 << true << QByteArray("\x1bH");
    QTest::newRow("2 ctrl home") << 2 << 0x47 << 4 << true << QByteArray("\x1b\x43");
    QTest::newRow("2 end") << 2 << 0x4F << 0 << true << QByteArray("\x1bR");
    QTest::newRow("2 insert") << 2 << 0x52 << 0 << true << QByteArray("\x1bI");
    QTest::newRow("2 ctrl insert") << 2 << 0x52 << 4 << true << QByteArray("\x1bL");
    QTest::newRow("2 delete") << 2 << 0x53 << 0 << true << QByteArray("\x7f");
    QTest::newRow("2 ctrl delete") << 2 << 0x53 << 4 << true << QByteArray("\x1b\x44");
    QTest::newRow("2 F9") << 2 << 0x43 << 0 << false << QByteArray("\x1bOP");
    QTest::newRow("2 F10 sends nothing") << 2 << 0x44 << 0 << false << QByteArray("");
    QTest::newRow("2 F11") << 2 << 0x57 << 0 << false << QByteArray("\x1bOQ");
    QTest::newRow("2 F12") << 2 << 0x58 << 0 << false << QByteArray("\x1bOS");
    QTest::newRow("2 tab") << 2 << 0x0F << 0 << false << QByteArray("\x1bZ");
    QTest::newRow("2 grey tab does not match") << 2 << 0x0F << 0 << true << none;
    QTest::newRow("2 F6") << 2 << 0x40 << 0 << false << QByteArray("\x1bK");

    QTest::newRow("0 grey up") << 0 << 0x48 << 0 << true << QByteArray("\x1b[A");
    QTest::newRow("0 page up") << 0 << 0x49 << 0 << true << QByteArray("\x1b[I");
    QTest::newRow("0 page down") << 0 << 0x51 << 0 << true << QByteArray("\x1b[G");
    QTest::newRow("0 home") << 0 << 0x47 << 0 << true << QByteArray("\x1b[H");
    QTest::newRow("0 end") << 0 << 0x4F << 0 << true << QByteArray("\x1b[F");
    QTest::newRow("0 insert") << 0 << 0x52 << 0 << true << QByteArray("\x1b[L");
    QTest::newRow("0 tab") << 0 << 0x0F << 0 << false << QByteArray("\x1b[Z");
    QTest::newRow("0 F1") << 0 << 0x3B << 0 << false << QByteArray("\x1b[M");
    QTest::newRow("0 F10") << 0 << 0x44 << 0 << false << QByteArray("\x1b[V");
    QTest::newRow("0 shift F1") << 0 << 0x3B << 1 << false << QByteArray("\x1b[V");
    QTest::newRow("0 shift F2") << 0 << 0x3C << 1 << false << QByteArray("\x1b[Z");
    QTest::newRow("0 shift F10") << 0 << 0x44 << 1 << false << QByteArray("\x1b[h");
    QTest::newRow("0 ctrl F1") << 0 << 0x3B << 4 << false << QByteArray("\x1b[k");
    QTest::newRow("0 ctrl F10") << 0 << 0x44 << 4 << false << QByteArray("\x1b[t");
    QTest::newRow("0 ctrl shift F1 has none") << 0 << 0x3B << 5 << false << none;
    QTest::newRow("0 firmware F11") << 0 << 0x85 << 0 << false << QByteArray("\x1b[W");
    QTest::newRow("0 firmware shift F12") << 0 << 0x86 << 1 << false << QByteArray("\x1b[j");
    QTest::newRow("0 firmware ctrl F12") << 0 << 0x86 << 4 << false << QByteArray("\x1b[v");
    QTest::newRow("0 F11 as this platform numbers it") << 0 << 0x57 << 0 << false << none;
    QTest::newRow("scan code 0 never matches") << 0 << 0 << 0 << false << none;
}

void TestEmulvtKeys::keyMaps()
{
    QFETCH(int, fkeys);
    QFETCH(int, scan);
    QFETCH(int, shift);
    QFETCH(bool, extended);
    QFETCH(QByteArray, text);
    const auto found = FindKeyMapEntry(fkeys, uint8_t(scan), TShiftState(shift), extended);
    QCOMPARE(found.has_value(), !text.isNull());
    if (found)
        QCOMPARE(QByteArray(found->data(), qsizetype(found->size())), text);
}

void TestEmulvtKeys::mapSizes()
{
    // The maps hold 47, 14 and 23 keys; the rest of their 64 entries are
    // empty, and no key is listed twice.
    const int expected[3] = {47, 14, 23};
    for (int fkeys = 0; fkeys < 3; ++fkeys) {
        const TKeyMap& map = KeyMapFor(fkeys);
        int used = 0;
        for (int i = 0; i < kKeyMapSize; ++i) {
            if (map[i].ScanCode == 0)
                continue;
            ++used;
            for (int j = 0; j < i; ++j)
                QVERIFY2(!(map[j].ScanCode == map[i].ScanCode && map[j].Shift == map[i].Shift &&
                           map[j].Extended == map[i].Extended),
                         qPrintable(QStringLiteral("map %1 entry %2").arg(fkeys).arg(i)));
        }
        QCOMPARE(used, expected[fkeys]);
    }
}

void TestEmulvtKeys::fromQt_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("mods");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("vk");
    QTest::addColumn<int>("shift");
    QTest::addColumn<bool>("caps");
    QTest::addColumn<int>("scan");
    QTest::addColumn<bool>("extended");

    const Qt::KeyboardModifiers no = Qt::NoModifier;
    const Qt::KeyboardModifiers kp = Qt::KeypadModifier;
    QTest::newRow("F1") << int(Qt::Key_F1) << no << "" << 112 << 0 << false << 0x3B << false;
    QTest::newRow("F10") << int(Qt::Key_F10) << no << "" << 121 << 0 << false << 0x44 << false;
    QTest::newRow("F11") << int(Qt::Key_F11) << no << "" << 122 << 0 << false << 0x57 << false;
    QTest::newRow("F12") << int(Qt::Key_F12) << no << "" << 123 << 0 << false << 0x58 << false;
    QTest::newRow("grey up") << int(Qt::Key_Up) << no << "" << 38 << 0 << false << 0x48 << true;
    QTest::newRow("keypad up") << int(Qt::Key_Up) << kp << "" << 38 << 0 << false << 0x48 << false;
    QTest::newRow("grey home") << int(Qt::Key_Home) << no << "" << 36 << 0 << false << 0x47 << true;
    QTest::newRow("keypad 7") << int(Qt::Key_7) << kp << "7" << 103 << 0 << false << 0x47 << false;
    QTest::newRow("grey page down")
        << int(Qt::Key_PageDown) << no << "" << 34 << 0 << false << 0x51 << true;
    QTest::newRow("grey delete") << int(Qt::Key_Delete) << no << "" << 46 << 0 << false << 0x53
                                 << true;
    QTest::newRow("keypad delete")
        << int(Qt::Key_Delete) << kp << "" << 46 << 0 << false << 0x53 << false;
    QTest::newRow("keypad star") << int(Qt::Key_Asterisk) << kp << "*" << 106 << 0 << false << 0x37
                                 << false;
    QTest::newRow("ctrl alt keypad star")
        << int(Qt::Key_Asterisk) << (kp | Qt::ControlModifier | Qt::AltModifier) << "" << 106 << 6
        << false << 0x37 << false;
    QTest::newRow("shifted 8 is not the keypad star")
        << int(Qt::Key_Asterisk) << Qt::KeyboardModifiers(Qt::ShiftModifier) << "*" << int('8') << 1
        << false << 0x09 << false;
    QTest::newRow("print screen") << int(Qt::Key_Print) << no << "" << 44 << 0 << false << 0x37
                                  << true;
    QTest::newRow("keypad enter") << int(Qt::Key_Enter) << kp << "\r" << 13 << 0 << false << 0x1C
                                  << true;
    QTest::newRow("return") << int(Qt::Key_Return) << no << "\r" << 13 << 0 << false << 0x1C
                            << false;
    QTest::newRow("tab") << int(Qt::Key_Tab) << no << "\t" << 9 << 0 << false << 0x0F << false;
    QTest::newRow("backtab") << int(Qt::Key_Backtab) << Qt::KeyboardModifiers(Qt::ShiftModifier)
                             << "" << 9 << 1 << false << 0x0F << false;
    QTest::newRow("backtab without shift reported")
        << int(Qt::Key_Backtab) << no << "" << 9 << 1 << false << 0x0F << false;
    QTest::newRow("escape") << int(Qt::Key_Escape) << no << "\x1b" << 27 << 0 << false << 0x01
                            << false;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << no << "\b" << 8 << 0 << false << 0x0E
                               << false;
    QTest::newRow("a") << int(Qt::Key_A) << no << "a" << 65 << 0 << false << 0x1E << false;
    QTest::newRow("shift a") << int(Qt::Key_A) << Qt::KeyboardModifiers(Qt::ShiftModifier) << "A"
                             << 65 << 1 << false << 0x1E << false;
    QTest::newRow("a with caps lock")
        << int(Qt::Key_A) << no << "A" << 65 << 0 << true << 0x1E << false;
    QTest::newRow("shift a with caps lock")
        << int(Qt::Key_A) << Qt::KeyboardModifiers(Qt::ShiftModifier) << "a" << 65 << 1 << true
        << 0x1E << false;
    QTest::newRow("ctrl c") << int(Qt::Key_C) << Qt::KeyboardModifiers(Qt::ControlModifier)
                            << "\x03" << 67 << 4 << false << 0x2E << false;
    QTest::newRow("z") << int(Qt::Key_Z) << no << "z" << 90 << 0 << false << 0x2C << false;
    QTest::newRow("dead circumflex")
        << int(Qt::Key_Dead_Circumflex) << no << "" << 221 << 0 << false << 0x1B << false;
    QTest::newRow("dead diaeresis")
        << int(Qt::Key_Dead_Diaeresis) << Qt::KeyboardModifiers(Qt::ShiftModifier) << "" << 221 << 1
        << false << 0x1B << false;
    QTest::newRow("bracket right types its character")
        << int(Qt::Key_BracketRight) << no << "]" << 0 << 0 << false << 0x1B << false;
    QTest::newRow("shift") << int(Qt::Key_Shift) << Qt::KeyboardModifiers(Qt::ShiftModifier) << ""
                           << 16 << 1 << false << 0x2A << false;
    QTest::newRow("thai letter") << 0x0E01 << no << QString(QChar(0x0E01)) << 0 << 0 << false << 0
                                 << false;
}

void TestEmulvtKeys::fromQt()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, mods);
    QFETCH(QString, text);
    const TKeyStroke k = KeyStrokeFromQt(key, mods, text);
    QTEST(int(k.VirtKey), "vk");
    QTEST(int(k.Shift), "shift");
    QTEST(k.CapsLock, "caps");
    QTEST(int(k.ScanCode), "scan");
    QTEST(k.Extended, "extended");
}

void TestEmulvtKeys::letters_data()
{
    QTest::addColumn<int>("vk");
    QTest::addColumn<int>("shift");
    QTest::addColumn<bool>("caps");
    QTest::addColumn<bool>("circumflex");
    QTest::addColumn<bool>("diaeresis");
    QTest::addColumn<int>("expected");

    QTest::newRow("a") << int('A') << 0 << false << false << false << int('a');
    QTest::newRow("shift A") << int('A') << 1 << false << false << false << int('A');
    QTest::newRow("caps A") << int('A') << 0 << true << false << false << int('A');
    QTest::newRow("caps and shift stay upper") << int('A') << 1 << true << false << false << int('A');
    QTest::newRow("ctrl c") << int('C') << 4 << false << false << false << 3;
    QTest::newRow("ctrl shift z") << int('Z') << 5 << false << false << false << 0x1A;
    QTest::newRow("alt a types a") << int('A') << 2 << false << false << false << int('a');
    QTest::newRow("circumflex a") << int('A') << 0 << false << true << false << 0xE2;
    QTest::newRow("circumflex e") << int('E') << 0 << false << true << false << 0xEA;
    QTest::newRow("circumflex i") << int('I') << 0 << false << true << false << 0xEE;
    QTest::newRow("circumflex o") << int('O') << 0 << false << true << false << 0xF4;
    QTest::newRow("circumflex u") << int('U') << 0 << false << true << false << 0xFB;
    QTest::newRow("diaeresis a") << int('A') << 0 << false << false << true << 0xE4;
    QTest::newRow("diaeresis e") << int('E') << 0 << false << false << true << 0xEB;
    QTest::newRow("diaeresis i") << int('I') << 0 << false << false << true << 0xEF;
    QTest::newRow("diaeresis o") << int('O') << 0 << false << false << true << 0xF6;
    QTest::newRow("diaeresis u") << int('U') << 0 << false << false << true << 0xFC;
    QTest::newRow("circumflex shift E stays E") << int('E') << 1 << false << true << false << int('E');
    QTest::newRow("circumflex on a consonant") << int('X') << 0 << false << true << false << int('x');
    QTest::newRow("both pending: circumflex wins") << int('E') << 0 << false << true << true << 0xEA;
    QTest::newRow("circumflex ctrl e") << int('E') << 4 << false << true << false << 5;
}

void TestEmulvtKeys::letters()
{
    QFETCH(int, vk);
    QFETCH(int, shift);
    QFETCH(bool, caps);
    QFETCH(bool, circumflex);
    QFETCH(bool, diaeresis);
    QFETCH(int, expected);
    TDeadKeys dead{circumflex, diaeresis};
    QCOMPARE(int(LetterKeyChar(uint16_t(vk), TShiftState(shift), caps, dead)), expected);
    // Both pending keys are used up by any letter.
    QVERIFY(!dead.Circumflex);
    QVERIFY(!dead.Diaeresis);
}

void TestEmulvtKeys::deadKeyChoice()
{
    TDeadKeys dead;
    PressDeadKey(0, dead);
    QVERIFY(dead.Circumflex && !dead.Diaeresis);
    // Circumflex, then Shift+E gives 'E', and the next 'e' is plain.
    QCOMPARE(int(LetterKeyChar('E', ssShift, false, dead)), int('E'));
    QCOMPARE(int(LetterKeyChar('E', 0, false, dead)), int('e'));
    PressDeadKey(ssShift, dead);
    QVERIFY(!dead.Circumflex && dead.Diaeresis);
    QCOMPARE(int(LetterKeyChar('U', 0, false, dead)), 0xFC);
}

void TestEmulvtKeys::definitionText_data()
{
    QTest::addColumn<int>("fkeys");
    QTest::addColumn<int>("scan");
    QTest::addColumn<int>("shift");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<QString>("text");

    QTest::newRow("F1") << 1 << 0x3B << 0 << false << R"(3B, ssNormal, FALSE, '\x1BOP')";
    QTest::newRow("grey up") << 1 << 0x48 << 0 << true << R"(48, ssNormal, TRUE, '\x1B[A')";
    QTest::newRow("delete") << 1 << 0x53 << 0 << true << R"(53, ssNormal, TRUE, '\x7F')";
    QTest::newRow("keypad up has no entry") << 1 << 0x48 << 0 << false << "48, ssNormal, FALSE";
    QTest::newRow("letter a") << 1 << 0x1E << 0 << false << "1E, ssNormal, FALSE";
    QTest::newRow("shift ctrl F3") << 0 << 0x3D << 5 << false << "3D, ssShift ssCtrl , FALSE";
    QTest::newRow("ctrl F3") << 0 << 0x3D << 4 << false << R"(3D, ssCtrl , FALSE, '\x1B[m')";
    QTest::newRow("F10 empty") << 2 << 0x44 << 0 << false << "44, ssNormal, FALSE, ''";
    QTest::newRow("ctrl home") << 2 << 0x47 << 4 << true << R"(47, ssCtrl , TRUE, '\x1BC')";
    QTest::newRow("all shift names")
        << 1 << 0x0A << 0x7F << false
        << "0A, ssShift ssAlt ssCtrl ssLeft ssRight ssMiddle ssDouble , FALSE";
}

void TestEmulvtKeys::definitionText()
{
    QFETCH(int, fkeys);
    QFETCH(int, scan);
    QFETCH(int, shift);
    QFETCH(bool, extended);
    QTEST(KeyDefinitionText(fkeys, uint8_t(scan), TShiftState(shift), extended), "text");
    QCOMPARE(KeyDefinitionCaption(fkeys),
             QStringLiteral("Key definition from rarove%1.cfg").arg(fkeys));
}

QTEST_APPLESS_MAIN(TestEmulvtKeys)
#include "test_emulvtkeys.moc"
