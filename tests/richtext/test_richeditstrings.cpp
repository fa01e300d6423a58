#include "richtext/RichEditStrings.h"
#include "richtext/RxRichEd.h"
#include "richtext/RxTextAttributes.h"

#include "VersionScope.h"

#include <QtTest>

// One step of a script run against the Lines of a control.
struct LinesStep
{
    char op; // 'a' Add, 'i' Insert, 'd' Delete, 'p' Put, 't' set the text
    int index;
    QString text;
};
Q_DECLARE_METATYPE(QList<LinesStep>)

class TestRichEditStrings : public QObject
{
    Q_OBJECT

private slots:
    void script_data()
    {
        QTest::addColumn<QList<LinesStep>>("steps");
        QTest::addColumn<QString>("text"); // the control's text afterwards
        QTest::addColumn<int>("count");

        QTest::newRow("add on an empty control") << QList<LinesStep>{{'a', 0, "one"}} << "one\r\n"
                                                 << 1;
        QTest::newRow("add twice")
            << QList<LinesStep>{{'a', 0, "one"}, {'a', 0, "two"}} << "one\r\ntwo\r\n"
            << 2;
        QTest::newRow("insert before")
            << QList<LinesStep>{{'a', 0, "b"}, {'i', 0, "a"}} << "a\r\nb\r\n"
            << 2;
        QTest::newRow("insert past the end after text")
            << QList<LinesStep>{{'t', 0, "abc"}, {'i', 1, "x"}} << "abc\r\nx" << 2;
        QTest::newRow("insert past the end after an empty line")
            << QList<LinesStep>{{'a', 0, "abc"}, {'i', 5, "x"}} << "abc\r\n"
            << 1;
        QTest::newRow("insert far past the end")
            << QList<LinesStep>{{'t', 0, "abc"}, {'i', 7, "x"}} << "abc" << 1;
        QTest::newRow("insert negative")
            << QList<LinesStep>{{'a', 0, "a"}, {'i', -1, "x"}} << "a\r\n"
            << 1;
        QTest::newRow("delete first")
            << QList<LinesStep>{{'a', 0, "a"}, {'a', 0, "b"}, {'a', 0, "c"}, {'d', 0, ""}}
            << "b\r\nc\r\n"
            << 2;
        QTest::newRow("delete last without break")
            << QList<LinesStep>{{'t', 0, "a\rb"}, {'d', 1, ""}} << "a\r\n"
            << 1;
        QTest::newRow("delete missing")
            << QList<LinesStep>{{'a', 0, "a"}, {'d', 4, ""}, {'d', -1, ""}} << "a\r\n"
            << 1;
        QTest::newRow("put") << QList<LinesStep>{{'a', 0, "a"}, {'a', 0, "b"}, {'p', 1, "bee"}}
                             << "a\r\nbee\r\n"
                             << 2;
        QTest::newRow("put missing")
            << QList<LinesStep>{{'a', 0, "a"}, {'p', 3, "x"}, {'p', -2, "x"}} << "a\r\n"
            << 1;
        QTest::newRow("empty lines count")
            << QList<LinesStep>{{'a', 0, ""}, {'a', 0, ""}, {'a', 0, "x"}} << "\r\n\r\nx\r\n"
            << 3;
        QTest::newRow("Thai") << QList<LinesStep>{{'a', 0, QString::fromUtf8("สวัสดี")}}
                              << QString::fromUtf8("สวัสดี\r\n") << 1;
    }
    void script()
    {
        QFETCH(QList<LinesStep>, steps);
        QFETCH(QString, text);
        QFETCH(int, count);
        TRxRichEdit edit;
        TRichEditStrings* lines = edit.Lines();
        for (const LinesStep& s : steps) {
            switch (s.op) {
            case 'a':
                lines->Add(s.text);
                break;
            case 'i':
                lines->Insert(s.index, s.text);
                break;
            case 'd':
                lines->Delete(s.index);
                break;
            case 'p':
                lines->Put(s.index, s.text);
                break;
            case 't':
                edit.SetText(s.text);
                break;
            }
        }
        QCOMPARE(edit.Text(), text);
        QCOMPARE(lines->Count(), count);
    }

    void addReturnsTheLineToColour()
    {
        TRxRichEdit edit;
        QCOMPARE(edit.Lines()->Count(), 0);
        QCOMPARE(edit.Lines()->Add(QStringLiteral("first")), 0);
        QCOMPARE(edit.Lines()->Add(QStringLiteral("second")), 1);
        QCOMPARE(edit.GetLineStart(1), 6);
    }

    void getReturnsTheWholeLine()
    {
        TRxRichEdit edit;
        const QString longLine = QString(10000, QLatin1Char('x')) + QStringLiteral("end");
        edit.Lines()->Add(longLine);
        QCOMPARE(edit.Lines()->Get(0), longLine);
        QCOMPARE(edit.Lines()->Get(1), QString());
        QCOMPARE(edit.Lines()->Get(-1), QString());
    }

    void textAndIndexOf()
    {
        TRxRichEdit edit;
        edit.Lines()->SetTextStr(QStringLiteral("one\r\ntwo\rthree\n"));
        QCOMPARE(edit.Lines()->Count(), 3);
        QCOMPARE(edit.Lines()->Text(), QStringLiteral("one\r\ntwo\r\nthree\r\n"));
        QCOMPARE(edit.Lines()->IndexOf(QStringLiteral("TWO")), 1);
        QCOMPARE(edit.Lines()->IndexOf(QStringLiteral("four")), -1);
        edit.Lines()->Assign({QStringLiteral("x"), QStringLiteral("y")});
        QCOMPARE(edit.Lines()->Text(), QStringLiteral("x\r\ny\r\n"));
        edit.SetLines({QStringLiteral("z")});
        QCOMPARE(edit.Lines()->Count(), 1);
    }

    void updateBracketsStopRepaints()
    {
        TRxRichEdit edit;
        edit.show();
        int changes = 0;
        edit.OnChange = [&](QObject*) { ++changes; };
        edit.Lines()->BeginUpdate();
        edit.Lines()->BeginUpdate();
        QVERIFY(!edit.viewport()->updatesEnabled());
        edit.Lines()->EndUpdate();
        QVERIFY(!edit.viewport()->updatesEnabled());
        QCOMPARE(changes, 0);
        // The end of the outer bracket reports the change once.
        edit.Lines()->EndUpdate();
        QVERIFY(edit.viewport()->updatesEnabled());
        QCOMPARE(changes, 1);
    }

    void versionOneReportsAnInsertionCut()
    {
        VersionScope version(1);
        TRxRichEdit edit;
        edit.SetMaxLength(6);
        edit.Lines()->Add(QStringLiteral("abc"));
        QCOMPARE(edit.Text(), QStringLiteral("abc\r\n"));
        QVERIFY_THROWS_EXCEPTION(EOutOfResources, edit.Lines()->Add(QStringLiteral("defg")));
        // A later generation leaves the cut text in without a word.
        RichLibraryVersion = 3;
        edit.Lines()->Add(QStringLiteral("hij"));
        QCOMPARE(edit.GetTextLength(), 6);
    }

    // The chat's road: add a line, colour it run by run, keep 100 of 150.
    void chatColouringAndTrimming()
    {
        TRxRichEdit edit;
        edit.SetReadOnly(true);
        edit.SetWordWrap(false);
        edit.show();
        for (int i = 0; i < 150; ++i) {
            const int line = edit.Lines()->Add(QStringLiteral("<nick> line %1 http:#chan").arg(i));
            const int start = edit.GetLineStart(line);
            edit.SetSelectionStart(start);
            edit.SetSelectionLength(6);
            edit.SelectionAttributes()->SetColor(clRed);
            edit.SelectionAttributes()->SetBackColor(clYellow);
            edit.SelectionAttributes()->SetStyle(fsBold);
            edit.SelectionAttributes()->SetName(QStringLiteral("DejaVu Sans"));
            edit.SetSelectionStart(edit.GetTextLength());
            edit.SetSelectionLength(0);
            if (edit.Lines()->Count() >= 150) {
                for (int k = 0; k < 50; ++k)
                    edit.Lines()->Delete(0);
            }
        }
        QCOMPARE(edit.Lines()->Count(), 100);
        QCOMPARE(edit.Lines()->Get(0), QStringLiteral("<nick> line 50 http:#chan"));
        QCOMPARE(edit.Lines()->Get(99), QStringLiteral("<nick> line 149 http:#chan"));
        const int start = edit.GetLineStart(99);
        edit.SetSelection(start, start + 6, false);
        QCOMPARE(edit.SelectionAttributes()->GetColor(), clRed);
        QCOMPARE(edit.SelectionAttributes()->GetBackColor(), clYellow);
        QCOMPARE(edit.SelectionAttributes()->GetStyle(), TFontStyles(fsBold));
        edit.SetSelection(start + 6, start + 10, false);
        QCOMPARE(edit.SelectionAttributes()->GetColor(), clWindowText);
        QCOMPARE(edit.SelectionAttributes()->GetBackColor(), clWindow);
        QCOMPARE(edit.SelectionAttributes()->GetStyle(), TFontStyles());
        // No undo history collects in a read-only window.
        QVERIFY(edit.document()->availableUndoSteps() <= edit.UndoLimit());
    }
};

QTEST_MAIN(TestRichEditStrings)
#include "test_richeditstrings.moc"
