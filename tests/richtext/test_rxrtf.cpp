#include "richtext/RxRtf.h"

#include <QtTest>

using namespace RxFormat;

namespace {

QString runColors(const RxRtf::Document& doc)
{
    QStringList out;
    for (const RxRtf::Paragraph& p : doc.paragraphs)
        for (const RxRtf::Run& r : p.runs)
            out << QStringLiteral("%1:%2").arg(r.text,
                                               (r.format.dwEffects & CFE_AUTOCOLOR)
                                                   ? QStringLiteral("auto")
                                                   : QString::number(r.format.crTextColor, 16));
    return out.join(QLatin1Char('|'));
}

using Indents = QList<QPair<int, int>>;

} // namespace

class TestRxRtf : public QObject
{
    Q_OBJECT

private slots:
    void reads_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text"); // paragraphs joined by CR

        QTest::newRow("plain") << QByteArray("{\\rtf1 Hello}") << "Hello";
        QTest::newRow("paragraphs") << QByteArray("{\\rtf1 a\\par b\\par }") << "a\rb\r";
        QTest::newRow("escapes") << QByteArray("{\\rtf1 \\{x\\} \\\\ a\\tab b\\line c}")
                                 << QString("{x} \\ a\tb") + QChar(0x2028) + "c";
        QTest::newRow("Thai by font charset")
            << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset222 Tahoma;}}\\f0 \\'a1\\'d2}")
            << QString::fromUtf8("กา");
        QTest::newRow("Thai by default code page")
            << QByteArray("{\\rtf1\\ansi \\'a1}") << QString::fromUtf8("ก");
        QTest::newRow("Western code page")
            << QByteArray("{\\rtf1\\ansi\\ansicpg1252 \\'93q\\'94 \\'e9}")
            << QString::fromUtf8("“q” é");
        QTest::newRow("unicode with fallback") << QByteArray("{\\rtf1\\uc1 \\u3585\\'a1\\u-3? x}")
                                               << QString::fromUtf8("ก") + QChar(0xFFFD) + " x";
        QTest::newRow("fallback of two")
            << QByteArray("{\\rtf1\\uc2 \\u3585??x}") << QString::fromUtf8("กx");
        QTest::newRow("huge fallback stops at the group")
            << QByteArray("{\\rtf1 {\\uc999999 \\u3585 eaten text}kept}")
            << QString::fromUtf8("กkept");
        QTest::newRow("unknown destination skipped")
            << QByteArray("{\\rtf1 a{\\*\\foo {nested {deeper}} skip}b}") << "ab";
        QTest::newRow("known destinations skipped")
            << QByteArray("{\\rtf1{\\info{\\title t}}{\\stylesheet{\\s0 Normal;}}a{\\pict 0102}b}")
            << "ab";
        QTest::newRow("field shows its result")
            << QByteArray("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}}")
            << "link";
        QTest::newRow("binary data skipped") << QByteArray("{\\rtf1 a\\bin3 {}\\b}") << "ab";
        QTest::newRow("after the last brace") << QByteArray("{\\rtf1 a}} trailing {") << "a";
        QTest::newRow("source line ends") << QByteArray("{\\rtf1 a\r\nb}") << "ab";
        QTest::newRow("byte-order mark first") << QByteArray("\xEF\xBB\xBF{\\rtf1 x}") << "x";
        QTest::newRow("blanks first") << QByteArray(" \r\n\t {\\rtf1 x}") << "x";
        QTest::newRow("mark and blanks") << QByteArray("\xEF\xBB\xBF\r\n{\\rtf1 x}") << "x";
        QTest::newRow("control symbol line end") << QByteArray("{\\rtf1 a\\\nb}") << "a\rb";
        QTest::newRow("special characters")
            << QByteArray("{\\rtf1 \\~\\_\\emdash\\bullet\\lquote\\rdblquote}")
            << QString(QChar(0xA0)) + QChar(0x2011) + QChar(0x2014) + QChar(0x2022) +
                   QChar(0x2018) + QChar(0x201D);
    }
    void reads()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        RxRtf::Document doc;
        QString error;
        QVERIFY2(RxRtf::Read(rtf, doc, &error), qPrintable(error));
        QCOMPARE(doc.plainText(), text);
    }

    void refusesBrokenRtf_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::newRow("not rtf") << QByteArray("Hello {\\rtf1 x}");
        QTest::newRow("mark alone") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("mark of another encoding") << QByteArray("\xFF\xFE{\\rtf1 x}");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("unclosed") << QByteArray("{\\rtf1 abc");
        QTest::newRow("unclosed inner") << QByteArray("{\\rtf1 {\\b abc}");
        QTest::newRow("bin past the end") << QByteArray("{\\rtf1 \\bin99999 x}");
        QTest::newRow("negative bin") << QByteArray("{\\rtf1 \\bin-5 x}");
        QTest::newRow("hex past the end") << QByteArray("{\\rtf1 \\'4");
        QTest::newRow("bad hex") << QByteArray("{\\rtf1 \\'zz}");
        QTest::newRow("backslash at the end") << QByteArray("{\\rtf1 \\");
        QTest::newRow("number too long") << QByteArray("{\\rtf1 \\u99999999999 x}");
        QTest::newRow("word too long")
            << QByteArray("{\\rtf1 \\") + QByteArray(40, 'a') + QByteArray(" x}");
        QTest::newRow("too deep") << QByteArray("{\\rtf1 ") + QByteArray(RxRtf::MaxDepth + 5, '{') +
                                         QByteArray(RxRtf::MaxDepth + 5, '}') + QByteArray("}");
    }
    void refusesBrokenRtf()
    {
        QFETCH(QByteArray, rtf);
        RxRtf::Document doc;
        QString error;
        QVERIFY(!RxRtf::Read(rtf, doc, &error));
        QVERIFY(!error.isEmpty());
    }

    void deepButWithinTheLimit()
    {
        const QByteArray rtf = QByteArray("{\\rtf1 ") + QByteArray(RxRtf::MaxDepth - 2, '{') + "x" +
                               QByteArray(RxRtf::MaxDepth - 2, '}') + "}";
        RxRtf::Document doc;
        QVERIFY(RxRtf::Read(rtf, doc));
        QCOMPARE(doc.plainText(), QStringLiteral("x"));
    }

    void tablesAndFormats()
    {
        const QByteArray rtf =
            "{\\rtf1\\deff1{\\fonttbl{\\f0\\fnil Courier New;}{\\f1\\fswiss\\fcharset222\\fprq2 "
            "Tahoma;}}"
            "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
            "a\\f0\\fs20\\b\\i\\ul\\strike\\cf1\\highlight2 b\\plain c\\cf9\\cb7 d\\f5 e}";
        RxRtf::Document doc;
        QVERIFY(RxRtf::Read(rtf, doc));
        const QList<RxRtf::Run>& runs = doc.paragraphs.first().runs;
        QCOMPARE(runs.size(), 3);
        // "a": the default font, 12 points, automatic colours.
        QCOMPARE(runs[0].text, QStringLiteral("a"));
        QCOMPARE(runs[0].format.szFaceName, QStringLiteral("Tahoma"));
        QCOMPARE(int(runs[0].format.bCharSet), 222);
        QCOMPARE(int(runs[0].format.bPitchAndFamily), int(VARIABLE_PITCH));
        QCOMPARE(runs[0].format.yHeight, 240);
        QVERIFY(runs[0].format.dwEffects & CFE_AUTOCOLOR);
        // "b": everything set.
        QCOMPARE(runs[1].format.szFaceName, QStringLiteral("Courier New"));
        QCOMPARE(runs[1].format.yHeight, 200);
        QCOMPARE(runs[1].format.dwEffects & 0xF,
                 CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE | CFE_STRIKEOUT);
        QCOMPARE(runs[1].format.crTextColor, 0x0000FFu);
        QCOMPARE(runs[1].format.crBackColor, 0xFF0000u);
        QVERIFY(!(runs[1].format.dwEffects & (CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR)));
        // "cde": plain again; colour and font numbers past their tables are
        // ignored.
        QCOMPARE(runs[2].text, QStringLiteral("cde"));
        QVERIFY(runs[2].format.dwEffects & CFE_AUTOCOLOR);
        QVERIFY(runs[2].format.dwEffects & CFE_AUTOBACKCOLOR);
        QCOMPARE(runs[2].format.szFaceName, QStringLiteral("Tahoma"));
    }

    void paragraphFormats()
    {
        const QByteArray rtf = "{\\rtf1 \\pard\\qc\\fi-360\\li720\\ri100\\tx1440\\tx2880 a\\par"
                               "\\pard{\\*\\pn\\pnlvlbody\\pndec\\pnindent0}\\qj b\\par"
                               "\\pard{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}} c}";
        RxRtf::Document doc;
        QVERIFY(RxRtf::Read(rtf, doc));
        QCOMPARE(doc.paragraphs.size(), 3);
        const TParaFormat& a = doc.paragraphs[0].format;
        QCOMPARE(int(a.wAlignment), int(PFA_CENTER));
        QCOMPARE(a.dxStartIndent, 360);
        QCOMPARE(a.dxOffset, 360);
        QCOMPARE(a.dxRightIndent, 100);
        QCOMPARE(int(a.cTabCount), 2);
        QCOMPARE(a.rgxTabs[1], 2880);
        QCOMPARE(int(doc.paragraphs[1].format.wNumbering), int(PFN_ARABIC));
        QCOMPARE(int(doc.paragraphs[1].format.wAlignment), int(PFA_JUSTIFY));
        QCOMPARE(int(doc.paragraphs[2].format.wNumbering), int(PFN_BULLET));
        QCOMPARE(doc.paragraphs[2].runs.first().text, QStringLiteral(" c"));
    }

    // Indents are paragraph properties: \pard resets them, a group's end
    // restores them, and without \pard they go on to the next paragraph.
    void indentsBelongToTheirParagraph_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        // Per paragraph: start indent, offset (twips).
        QTest::addColumn<Indents>("indents");
        using I = Indents;
        QTest::newRow("left, then first line")
            << QByteArray("{\\rtf1 \\pard\\li720 a\\par\\pard\\fi360 b\\par\\pard c}")
            << I{{720, 0}, {360, -360}, {0, 0}};
        QTest::newRow("hanging, then left")
            << QByteArray("{\\rtf1 \\pard\\fi-360\\li720 a\\par\\pard\\li200 b}")
            << I{{360, 360}, {200, 0}};
        QTest::newRow("group end restores")
            << QByteArray("{\\rtf1 {\\pard\\li720 a\\par}b\\par\\fi100 c}")
            << I{{720, 0}, {0, 0}, {100, -100}};
        QTest::newRow("without pard they go on")
            << QByteArray("{\\rtf1 \\li720 a\\par\\fi360 b}") << I{{720, 0}, {1080, -360}};
    }
    void indentsBelongToTheirParagraph()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(Indents, indents);
        RxRtf::Document doc;
        QVERIFY(RxRtf::Read(rtf, doc));
        Indents read;
        for (const RxRtf::Paragraph& p : doc.paragraphs)
            read.append({p.format.dxStartIndent, p.format.dxOffset});
        QCOMPARE(read, indents);
        // And the writer brings them back.
        RxRtf::Document back;
        QVERIFY(RxRtf::Read(RxRtf::Write(doc), back));
        for (qsizetype i = 0; i < doc.paragraphs.size(); ++i)
            QCOMPARE(back.paragraphs[i].format, doc.paragraphs[i].format);
    }

    // Font names take their characters as the text does: \uN with its
    // fallback count, \'hh in the font's character set or the document's
    // code page.
    void fontNames_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("name");
        const QString thai = QString::fromUtf8("ไทย");
        const auto table = [](const QByteArray& header, const QByteArray& font) {
            return "{\\rtf1" + header + "{\\fonttbl{\\f0" + font + ";}}\\f0 x}";
        };
        QTest::newRow("by number, one fallback")
            << table("", "\\fcharset222 \\u3652\\'e4\\u3607\\'b7\\u3618\\'c2") << thai;
        QTest::newRow("by number, no fallback")
            << table("", "\\fcharset0 \\uc0\\u3652\\u3607\\u3618") << thai;
        QTest::newRow("by number, two fallbacks")
            << table("\\uc2", "\\fcharset0 \\u3652??\\u3607??\\u3618??") << thai;
        QTest::newRow("fallback count ends with its group")
            << table("", "{\\uc2}\\fcharset0 \\u3652?x") << QString::fromUtf8("ไx");
        QTest::newRow("hex in the Thai set") << table("", "\\fcharset222 \\'e4\\'b7\\'c2") << thai;
        QTest::newRow("raw bytes in the Thai set")
            << table("", "\\fcharset222 \xe4\xb7\xc2") << thai;
        QTest::newRow("hex in the document's Thai code page")
            << table("\\ansi\\ansicpg874", "\\fcharset0 \\'e4\\'b7\\'c2") << thai;
        QTest::newRow("hex in the default set")
            << table("\\ansi", "\\fcharset1 \\'e4\\'b7\\'c2") << thai;
        QTest::newRow("hex in the document's Western code page")
            << table("\\ansi\\ansicpg1252", "\\fcharset0 Caf\\'e9") << QString::fromUtf8("Café");
        QTest::newRow("Western set in a Thai document")
            << table("\\ansi\\ansicpg874", "\\fcharset238 Caf\\'e9") << QString::fromUtf8("Café");
        QTest::newRow("escaped semicolon by number")
            << table("", "\\fcharset0 a\\u59?b") << QStringLiteral("a;b");
    }
    void fontNames()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, name);
        RxRtf::Document doc;
        QVERIFY(RxRtf::Read(rtf, doc));
        QCOMPARE(doc.paragraphs.first().runs.first().format.szFaceName, name);
        // The writer's form reads back the same.
        RxRtf::Document back;
        QVERIFY(RxRtf::Read(RxRtf::Write(doc), back));
        QCOMPARE(back.paragraphs.first().runs.first().format,
                 doc.paragraphs.first().runs.first().format);
    }

    void boundedDocuments_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<bool>("fits");
        // Limits of 3 paragraphs, 4 runs and 4 bytes of object data.
        QTest::newRow("3 paragraphs") << QByteArray("{\\rtf1 a\\par b\\par c}") << true;
        QTest::newRow("4 paragraphs") << QByteArray("{\\rtf1 a\\par b\\par c\\par}") << false;
        QTest::newRow("4 runs") << QByteArray("{\\rtf1 a{\\b b}c{\\i d}}") << true;
        QTest::newRow("5 runs") << QByteArray("{\\rtf1 a{\\b b}c{\\i d}e}") << false;
        QTest::newRow("runs over paragraphs")
            << QByteArray("{\\rtf1 a{\\b b}\\par c{\\i d}\\par e}") << false;
        QTest::newRow("4 bytes of objects")
            << QByteArray("{\\rtf1 {\\object{\\*\\objclass A}{\\*\\objdata 010203}}"
                          "{\\object{\\*\\objclass A}{\\*\\objdata 04}}}")
            << true;
        QTest::newRow("5 bytes of objects")
            << QByteArray("{\\rtf1 {\\object{\\*\\objclass A}{\\*\\objdata 010203}}"
                          "{\\object{\\*\\objclass A}{\\*\\objdata 0405}}}")
            << false;
    }
    void boundedDocuments()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(bool, fits);
        RxRtf::Limits limits;
        limits.paragraphs = 3;
        limits.runs = 4;
        limits.objectBytes = 4;
        RxRtf::Document doc;
        doc.paragraphs.append(RxRtf::Paragraph{});
        QString error;
        QCOMPARE(RxRtf::Read(rtf, doc, &error, limits), fits);
        QCOMPARE(error.isEmpty(), fits);
        if (!fits)
            QCOMPARE(doc.paragraphs.size(), 1); // the document given is left alone
        // Within the standing limits all of them fit.
        QVERIFY(RxRtf::Read(rtf, doc));
    }

    void objects()
    {
        const QByteArray rtf = "{\\rtf1 a{\\object\\objemb{\\*\\objclass Image}\\objw300\\objh150"
                               "{\\*\\objdata 0102ff}{\\result{\\pict x}}}b"
                               "{\\object{\\*\\objdata 00}}c}";
        RxRtf::Document doc;
        QVERIFY(RxRtf::Read(rtf, doc));
        // The object without a class cannot be made again and goes.
        QCOMPARE(doc.plainText(), QString("a") + QChar(0xFFFC) + "bc");
        const RxRtf::Run& run = doc.paragraphs.first().runs[1];
        QCOMPARE(run.object, 0);
        QCOMPARE(doc.objects[0].className, QStringLiteral("Image"));
        QCOMPARE(doc.objects[0].data, QByteArray::fromHex("0102ff"));
        QCOMPARE(doc.objects[0].width, 300);
        QCOMPARE(doc.objects[0].height, 150);
    }

    void writesWhatItReads()
    {
        // A coloured document of Thai and Latin text.
        RxRtf::Document doc;
        const auto run = [](const QString& text, std::uint32_t color, std::uint32_t effects,
                            const QString& face, int charset) {
            RxRtf::Run r;
            r.text = text;
            r.format.dwMask = CFM_ALL & ~CFM_WEIGHT;
            r.format.dwEffects = effects | CFE_AUTOBACKCOLOR;
            r.format.crTextColor = color;
            r.format.yHeight = 200;
            r.format.szFaceName = face;
            r.format.bCharSet = std::uint8_t(charset);
            return r;
        };
        RxRtf::Paragraph first;
        first.format.dwMask = PFM_ALL;
        first.format.wAlignment = PFA_LEFT;
        first.runs << run(QStringLiteral("<nick> "), 0x0000FF, CFE_BOLD, "Tahoma", 222)
                   << run(QString::fromUtf8("สวัสดี {hi} \\ "), 0x008000, 0, "Tahoma", 222)
                   << run(QStringLiteral("http:#chan"), 0, CFE_AUTOCOLOR | CFE_UNDERLINE,
                          "Courier New", 0);
        RxRtf::Paragraph second = first;
        second.format.wAlignment = PFA_RIGHT;
        second.format.dxStartIndent = 200;
        second.format.dxOffset = 100;
        second.format.wNumbering = PFN_BULLET;
        second.runs = {run(QString::fromUtf8("ไทย") + QChar(0xD83D) + QChar(0xDE00) + "\tx",
                           0xFF0000, CFE_ITALIC | CFE_STRIKEOUT, "DejaVu Sans", 1)};
        RxRtf::Paragraph empty;
        empty.format = first.format;
        doc.paragraphs << first << second << empty;

        const QByteArray rtf = RxRtf::Write(doc);
        QVERIFY(rtf.startsWith("{\\rtf1"));
        // Readers that know no \u see the Thai code page's bytes.
        QVERIFY(rtf.contains("\\u3626\\'ca"));
        RxRtf::Document back;
        QVERIFY(RxRtf::Read(rtf, back));
        QCOMPARE(back.paragraphs.size(), 3);
        QCOMPARE(back.plainText(), doc.plainText());
        QCOMPARE(runColors(back), runColors(doc));
        for (int p = 0; p < 3; ++p) {
            QCOMPARE(back.paragraphs[p].format, doc.paragraphs[p].format);
            QCOMPARE(back.paragraphs[p].runs, doc.paragraphs[p].runs);
        }
    }

    void objectsLeftOutOnRequest()
    {
        RxRtf::Document doc;
        RxRtf::Paragraph p;
        RxRtf::Run text;
        text.text = QStringLiteral("x");
        RxRtf::Run object;
        object.text = QString(QChar(0xFFFC));
        object.object = 0;
        p.runs << text << object;
        doc.paragraphs << p;
        doc.objects << RxRtf::Object{QStringLiteral("Image"), QByteArray("png"), 10, 10};
        QVERIFY(RxRtf::Write(doc, true).contains("\\objclass Image"));
        const QByteArray without = RxRtf::Write(doc, false);
        QVERIFY(!without.contains("object"));
        RxRtf::Document back;
        QVERIFY(RxRtf::Read(without, back));
        QCOMPARE(back.plainText(), QStringLiteral("x"));
    }
};

QTEST_APPLESS_MAIN(TestRxRtf)
#include "test_rxrtf.moc"
