#include "platform/MessageBox.h"
#include "richtext/RichEditStrings.h"
#include "richtext/RxRichEd.h"
#include "richtext/RxTextAttributes.h"

#include "DocumentParagraphs.h"
#include "VersionScope.h"

#include <QClipboard>
#include <QDialog>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextFrame>
#include <QtTest>

#include <climits>
#include <functional>
#include <memory>

namespace {

// A control of a fixed size, shown offscreen.
std::unique_ptr<TRxRichEdit> shownEdit(int lines = 0)
{
    auto edit = std::make_unique<TRxRichEdit>(QStringLiteral("R_Chat"));
    edit->resize(300, 120);
    edit->SetWordWrap(false);
    edit->show();
    for (int i = 0; i < lines; ++i)
        edit->Lines()->Add(QStringLiteral("line %1").arg(i));
    return edit;
}

// The centre of the character at a position, in viewport coordinates.
QPoint charPoint(TRxCustomRichEdit& edit, int pos)
{
    QTextCursor c(edit.document());
    c.setPosition(pos);
    const QRect before = edit.cursorRect(c);
    c.setPosition(pos + 1);
    const QRect after = edit.cursorRect(c);
    return QPoint((before.left() + after.left()) / 2, before.center().y());
}

// Past 6 lines the first 2 go.
int smallLimit(int lines)
{
    return lines > 6 ? 2 : 0;
}

// Lines with runs that overlap, nest, pass the line's end or have no
// length, an empty line and a link.
QList<TRichLine> colouredLines(int count)
{
    QList<TRichLine> lines;
    const TColor colours[] = {clRed, clBlue, clGreen, clYellow};
    for (int i = 0; i < count; ++i) {
        TRichLine line;
        if (i % 7 == 3) {
            lines.append(line);
            continue;
        }
        line.Text = QStringLiteral("<n%1> ข้อความ line %1 http://example.th/%1 end").arg(i);
        const int n = int(line.Text.size());
        line.Runs = {
            {0, 5, TRxTextAttributes::ColorRecord(colours[i % 4])},
            {0, 5, TRxTextAttributes::BackColorRecord(i % 2 ? clWindow : clAqua)},
            {3, 10, TRxTextAttributes::StyleRecord(TFontStyles(fsBold))},
            {6, 4, TRxTextAttributes::StyleRecord(TFontStyles(fsBold) | fsItalic)},
            {8, 0, TRxTextAttributes::ColorRecord(clPurple)},
            {12, 6, TRxTextAttributes::NameRecord(QStringLiteral("Courier New"))},
            {12, 6, TRxTextAttributes::CharsetRecord(255)},
            {n - 3, 10, TRxTextAttributes::ColorRecord(clWindowText)},
        };
        lines.append(line);
    }
    return lines;
}

// The lines written the way the chat window wrote them before: Lines.Add,
// then each run selected and written through the selection's attributes,
// then the limit's lines deleted one by one.
void addThroughTheSelection(TRxRichEdit& edit, const QList<TRichLine>& lines,
                            const std::function<int(int)>& limit)
{
    for (const TRichLine& line : lines) {
        const int first = edit.GetLineStart(edit.Lines()->Add(line.Text));
        for (const TRichRun& run : line.Runs) {
            if (run.Length <= 0)
                continue;
            edit.SetSelection(first + run.Start, first + run.Start + run.Length, false);
            edit.SelectionAttributes()->SetAttributes(run.Record);
        }
        for (int excess = limit ? limit(edit.Lines()->Count()) : 0; excess > 0; --excess)
            edit.Lines()->Delete(0);
    }
}

// Steps of the undo history, counted by undoing them all and doing them
// again (the document itself counts commands, several to a step).
int undoSteps(QTextDocument* doc)
{
    int steps = 0;
    while (doc->isUndoAvailable()) {
        doc->undo();
        ++steps;
    }
    for (int i = 0; i < steps; ++i)
        doc->redo();
    return steps;
}

} // namespace

class TestRxRichEdit : public QObject
{
    Q_OBJECT

private slots:
    void defaults()
    {
        TRxRichEdit edit;
        QCOMPARE(edit.AutoURLDetect(), true);
        QCOMPARE(edit.AutoVerbMenu(), true);
        QCOMPARE(edit.AllowObjects(), true);
        QCOMPARE(edit.AllowInPlace(), true);
        QCOMPARE(edit.HideSelection(), true);
        QCOMPARE(edit.HideScrollBars(), true);
        QCOMPARE(edit.Title(), QString());
        QCOMPARE(edit.LangOptions(), TRichLangOptions(rlAutoFont));
        QCOMPARE(edit.PlainText(), false);
        QCOMPARE(edit.SelectionBar(), true);
        QCOMPARE(edit.StreamFormat(), sfDefault);
        QCOMPARE(edit.StreamMode(), TRichStreamModes());
        QCOMPARE(edit.UndoLimit(), 100);
        QCOMPARE(edit.WordSelection(), true);
        QCOMPARE(edit.Color(), clWindow);
        QCOMPARE(edit.MaxLength(), 0);
        QCOMPARE(edit.ScrollBars(), ssBoth);
        QCOMPARE(edit.WordWrap(), true);
        QCOMPARE(edit.size(), QSize(185, 89));
    }

    // Before the window exists: stored values and all-zero answers.
    void withoutWindow()
    {
        TRxRichEdit edit;
        QVERIFY(!edit.HandleAllocated());
        QCOMPARE(edit.SelectionType(), TRichSelectionType());
        edit.SelectionAttributes()->SetColor(clRed);
        QCOMPARE(edit.SelectionAttributes()->GetColor(), clBlack);
        QCOMPARE(edit.SelectionAttributes()->GetBackColor(), clBlack);
        QCOMPARE(edit.SelectionAttributes()->GetName(), QString());
        QCOMPARE(edit.SelectionAttributes()->GetStyle(), TFontStyles());
        QCOMPARE(edit.SelectionAttributes()->GetSize(), 0);
        QCOMPARE(edit.SelectionAttributes()->GetCharset(), TFontCharset(0));
        QCOMPARE(edit.ParagraphAttributes()->GetFirstIndent(), 0);
        edit.SetAutoURLDetect(false);
        QCOMPARE(edit.AutoURLDetect(), false);
        QVERIFY(!edit.HandleAllocated());
        // A selection operation makes the window.
        QCOMPARE(edit.GetSelectionStart(), 0);
        QVERIFY(edit.HandleAllocated());
        QCOMPARE(edit.AutoURLDetect(), false);
    }

    void positionsAcrossParagraphs()
    {
        TRxRichEdit edit;
        edit.SetText(QStringLiteral("ab\r\ncd\nef"));
        QCOMPARE(edit.GetTextLength(), 8);
        QCOMPARE(edit.Text(), QStringLiteral("ab\r\ncd\r\nef"));
        QCOMPARE(edit.GetLineStart(0), 0);
        QCOMPARE(edit.GetLineStart(1), 3);
        QCOMPARE(edit.GetLineStart(2), 6);
        QCOMPARE(edit.GetLineStart(3), -1);
        QCOMPARE(edit.GetLineFromChar(2), 0);
        QCOMPARE(edit.GetLineFromChar(3), 1);
        QCOMPARE(edit.GetLineFromChar(99), 2);
        QCOMPARE(edit.GetLineLength(4), 2);
        QCOMPARE(edit.GetTextRange(1, 4), QStringLiteral("b\rc"));
        edit.SetSelection(4, 7, false);
        QCOMPARE(edit.GetLineStart(-1), 6);
        QCOMPARE(edit.CaretPos(), QPoint(1, 2));
        // Unselected characters of the selection's lines: "c" and "f".
        QCOMPARE(edit.GetLineLength(-1), 2);
        QCOMPARE(edit.SelText(), QStringLiteral("d\re"));
        char16_t buffer[3];
        QCOMPARE(edit.GetSelTextBuf(buffer, 3), 2);
        QCOMPARE(QString::fromUtf16(buffer), QStringLiteral("d\r"));
    }

    void textRange_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("text");
        QTest::newRow("inside") << 1 << 3 << "bc";
        QTest::newRow("end -1: to the end") << 2 << -1 << "cdef";
        QTest::newRow("end past the text") << 4 << 99 << "ef";
        QTest::newRow("end before start") << 4 << 2 << "";
        QTest::newRow("start negative") << -5 << 2 << "ab";
        QTest::newRow("both past the end") << 50 << 60 << "";
        QTest::newRow("empty") << 3 << 3 << "";
    }
    void textRange()
    {
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, text);
        TRxRichEdit edit;
        edit.SetText(QStringLiteral("abcdef"));
        QCOMPARE(edit.GetTextRange(start, end), text);
    }

    void selectionRules_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLength");
        QTest::newRow("plain") << 2 << 3 << 2 << 3;
        QTest::newRow("past the end") << 4 << 10 << 4 << 2;
        QTest::newRow("start past the end") << 20 << 1 << 6 << 0;
        QTest::newRow("zero length") << 3 << 0 << 3 << 0;
    }
    void selectionRules()
    {
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        TRxRichEdit edit;
        edit.SetText(QStringLiteral("abcdef"));
        edit.SetSelStart(start);
        edit.SetSelLength(length);
        QCOMPARE(edit.SelStart(), selStart);
        QCOMPARE(edit.SelLength(), selLength);
    }

    void selectionStartNeverScrollsLengthAlways()
    {
        auto edit = shownEdit(200);
        QScrollBar* bar = edit->verticalScrollBar();
        edit->SetSelection(0, 0, true);
        QCOMPARE(bar->value(), 0);
        const int end = edit->GetTextLength();
        edit->SetSelectionStart(end);
        QCOMPARE(edit->SelStart(), end);
        QCOMPARE(bar->value(), 0);
        edit->SetSelectionLength(0);
        QVERIFY(bar->value() > 0);
        QVERIFY(edit->viewport()->rect().contains(edit->cursorRect()));
        // And back: SelStart alone leaves the view at the end.
        const int atEnd = bar->value();
        edit->SetSelectionStart(0);
        QCOMPARE(bar->value(), atEnd);
    }

    void selectedTextSetterSelectsWhatTheDocumentHolds()
    {
        auto edit = shownEdit(200);
        edit->SetSelection(0, 0, true);
        const int at = edit->GetLineStart(150);
        edit->SetSelection(at, at + 4, false);
        // CR LF is one break in the document: the new text is 5 long, not 6.
        edit->SetSelText(QStringLiteral("ab\r\ncd"));
        QCOMPARE(edit->SelStart(), at);
        QCOMPARE(edit->SelLength(), 5);
        QCOMPARE(edit->SelText(), QStringLiteral("ab\rcd"));
        QVERIFY(edit->verticalScrollBar()->value() > 0);
        // The Lines operations do not select what they put in.
        edit->SetSelection(0, 0, false);
        edit->Lines()->Put(3, QStringLiteral("new"));
        QCOMPARE(edit->SelLength(), 0);
        QCOMPARE(edit->Lines()->Get(3), QStringLiteral("new"));
    }

    void selectionTypeCountsText()
    {
        TRxRichEdit edit;
        edit.SetText(QStringLiteral("abc"));
        edit.SetSelection(0, 0, false);
        QCOMPARE(edit.SelectionType(), TRichSelectionType());
        edit.SetSelection(0, 1, false);
        QCOMPARE(edit.SelectionType(), TRichSelectionType(stText));
        edit.SetSelection(0, 3, false);
        QCOMPARE(edit.SelectionType(), stText | stMultiChar);
    }

    void clearResetsModified()
    {
        TRxRichEdit edit;
        edit.Lines()->Add(QStringLiteral("x"));
        QVERIFY(edit.Modified());
        edit.Clear();
        QVERIFY(!edit.Modified());
        QCOMPARE(edit.GetTextLength(), 0);
        QCOMPARE(edit.Lines()->Count(), 0);
    }

    void maxLengthLimitsText()
    {
        TRxRichEdit edit;
        QCOMPARE(edit.MaxLength(), 0);
        // 0 means 0xFFFFFF characters.
        edit.SetText(QString(1000, QLatin1Char('a')));
        QCOMPARE(edit.GetTextLength(), 1000);
        edit.SetMaxLength(5);
        edit.SetText(QStringLiteral("abcdefgh"));
        QCOMPARE(edit.Text(), QStringLiteral("abcde"));
        edit.SetSelection(1, 3, false);
        // Two characters go, so two fit.
        edit.SetSelText(QStringLiteral("XYZW"));
        QCOMPARE(edit.Text(), QStringLiteral("aXYde"));
        QCOMPARE(edit.SelLength(), 2);
        // Typing past the limit is refused.
        edit.SetSelection(5, 5, false);
        edit.setFocus();
        QTest::keyClicks(&edit, QStringLiteral("q"));
        QCOMPARE(edit.Text(), QStringLiteral("aXYde"));
        edit.SetSelection(0, 1, false);
        QTest::keyClicks(&edit, QStringLiteral("q"));
        QCOMPARE(edit.Text(), QStringLiteral("qXYde"));
    }

    void eventsFireOnlyForTheirMask()
    {
        TRxRichEdit edit;
        int changes = 0;
        int selections = 0;
        edit.OnChange = [&](QObject* sender) {
            QCOMPARE(sender, &edit);
            ++changes;
        };
        edit.OnSelectionChange = [&](QObject*) { ++selections; };
        edit.HandleNeeded();
        edit.Lines()->Add(QStringLiteral("abc"));
        QVERIFY(changes > 0);
        selections = 0;
        edit.SetSelection(1, 2, false);
        QCOMPARE(selections, 1);
        edit.SetSelection(1, 2, false);
        QCOMPARE(selections, 1);
        // SetTextStr switches change reports off while it works; the end of
        // its update bracket reports once.
        changes = 0;
        edit.Lines()->SetTextStr(QStringLiteral("a\r\nb\nc"));
        QCOMPARE(changes, 1);
        QCOMPARE(edit.Lines()->Count(), 3);
        QVERIFY(edit.EventMask() & RxEvent::ENM_CHANGE);
        // AddStrings unhooks the selection event and puts it back.
        edit.SetSelection(0, 0, false);
        selections = 0;
        edit.SetSelection(edit.GetTextLength(), edit.GetTextLength(), false);
        const int before = selections;
        edit.Lines()->AddStrings({QStringLiteral("d"), QStringLiteral("e")});
        QCOMPARE(selections, before);
        QVERIFY(bool(edit.OnSelectionChange));
    }

    void handlerErrorsStayInTheControl()
    {
        TRxRichEdit edit;
        QStringList boxes;
        MessageBoxService::ScopedHandler box([&](const MessageBoxService::Request& r) {
            boxes << r.text;
            return MessageBoxService::IDOK;
        });
        edit.SetText(QStringLiteral("abc"));
        edit.OnSelectionChange = [](QObject*) { throw std::runtime_error("handler failed"); };
        edit.SetSelection(1, 2, false);
        QCOMPARE(boxes, QStringList{QStringLiteral("handler failed")});
    }

    void resizeRequestReportsTheTextHeight()
    {
        auto edit = shownEdit();
        QList<int> heights;
        edit->OnResizeRequest = [&](QObject*, QRect& rect) { heights << rect.height(); };
        edit->Lines()->Add(QStringLiteral("one"));
        edit->Lines()->Add(QStringLiteral("two"));
        QVERIFY(heights.size() >= 2);
        QVERIFY(heights.last() > heights.first());
    }

    void findDialogEvents()
    {
        TRxRichEdit edit;
        QString notFound;
        QDialog* closed = nullptr;
        edit.OnTextNotFound = [&](QObject*, const QString& text) { notFound = text; };
        edit.OnCloseFindDialog = [&](QObject*, QDialog* dialog) { closed = dialog; };
        edit.TextNotFound(QStringLiteral("missing"));
        QDialog dialog;
        edit.CloseFindDialog(&dialog);
        QCOMPARE(notFound, QStringLiteral("missing"));
        QCOMPARE(closed, &dialog);
    }

    void plainTextSwitchKeepsText()
    {
        TRxRichEdit edit;
        edit.HandleNeeded();
        edit.Lines()->Add(QStringLiteral("first"));
        edit.Lines()->Add(QString::fromUtf8("สอง two"));
        edit.SetSelection(0, 5, false);
        edit.SelectionAttributes()->SetStyle(fsBold);
        edit.SetModified(false);
        edit.SetPlainText(true);
        QCOMPARE(edit.Lines()->Count(), 2);
        QCOMPARE(edit.Lines()->Get(1), QString::fromUtf8("สอง two"));
        QVERIFY(!edit.Modified());
        // Plain text has one format: a write to the selection takes all.
        edit.SetSelection(0, 1, false);
        edit.SelectionAttributes()->SetColor(clRed);
        edit.SetSelection(8, 9, false);
        QCOMPARE(edit.SelectionAttributes()->GetColor(), clRed);
        edit.SetPlainText(false);
        QCOMPARE(edit.Lines()->Text(), QString::fromUtf8("first\r\nสอง two\r\n"));
    }

    void wordWrapChangeKeepsTextAndModified()
    {
        auto edit = shownEdit(3);
        edit->SetSelection(0, 4, false);
        edit->SelectionAttributes()->SetColor(clBlue);
        QVERIFY(edit->Modified());
        edit->SetWordWrap(true);
        QVERIFY(edit->Modified());
        QCOMPARE(edit->Lines()->Count(), 3);
        edit->SetSelection(0, 4, false);
        QCOMPARE(edit->SelectionAttributes()->GetColor(), clBlue);
        QCOMPARE(edit->lineWrapMode(), QTextEdit::WidgetWidth);
        QCOMPARE(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        edit->SetWordWrap(false);
        QCOMPARE(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        edit->SetHideScrollBars(false);
        QCOMPARE(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }

    void undoFollowsTheLimit()
    {
        TRxRichEdit edit;
        edit.HandleNeeded();
        edit.SetText(QStringLiteral("abc"));
        // Lines operations are not undoable.
        edit.Lines()->Add(QStringLiteral("line"));
        QVERIFY(!edit.document()->isUndoAvailable());
        edit.SetSelection(0, 1, false);
        edit.SetSelText(QStringLiteral("X"));
        QVERIFY(edit.document()->isUndoAvailable());
        edit.undo();
        QCOMPARE(edit.Lines()->Get(0), QStringLiteral("abc"));
        // The history never holds more than the limit.
        edit.SetUndoLimit(3);
        for (int i = 0; i < 20; ++i) {
            edit.SetSelection(i % 3, i % 3 + 1, false);
            edit.SelectionAttributes()->SetColor(i % 2 ? clRed : clBlue);
        }
        QVERIFY(undoSteps(edit.document()) <= 3);
        QVERIFY(undoSteps(edit.document()) >= 1);
        edit.SetUndoLimit(0);
        QVERIFY(!edit.document()->isUndoRedoEnabled());
    }

    void selectionAndLinesAtTheEdges()
    {
        TRxRichEdit edit;
        edit.SetText(QStringLiteral("ab\rcde"));
        // A length of INT_MAX selects to the end.
        edit.SetSelStart(1);
        edit.SetSelLength(INT_MAX);
        QCOMPARE(edit.SelStart(), 1);
        QCOMPARE(edit.SelLength(), 5);
        edit.SetSelStart(6);
        edit.SetSelLength(INT_MAX);
        QCOMPARE(edit.SelLength(), 0);
        // The end of the text is in the last line; past it is no line.
        QCOMPARE(edit.GetLineLength(0), 2);
        QCOMPARE(edit.GetLineLength(6), 3);
        QCOMPARE(edit.GetLineLength(7), 0);
        QCOMPARE(edit.GetLineLength(INT_MAX), 0);
    }

    // Plain text keeps every character: switching modes carries the text
    // across whole, not through the Thai code page.
    void plainTextModeKeepsEveryCharacter()
    {
        TRxRichEdit edit;
        edit.HandleNeeded();
        const QString text = QString::fromUtf8("ไทย Ünïcödé € 漢字 ") + QChar(0xD83D) +
                             QChar(0xDE00) + QStringLiteral("\r\nline two");
        edit.SetText(text);
        edit.SetPlainText(true);
        QCOMPARE(edit.Text(), text);
        edit.SetPlainText(false);
        QCOMPARE(edit.Text(), text);
    }

    void passingTheUndoLimitKeepsTheNewestSteps_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("edits");
        QTest::newRow("1, one past") << 1 << 2;
        QTest::newRow("2, one past") << 2 << 3;
        QTest::newRow("3, far past") << 3 << 20;
        QTest::newRow("10, one past") << 10 << 11;
        QTest::newRow("10, far past") << 10 << 37;
        QTest::newRow("100, one past") << 100 << 101;
    }
    void passingTheUndoLimitKeepsTheNewestSteps()
    {
        QFETCH(int, limit);
        QFETCH(int, edits);
        TRxRichEdit edit;
        edit.HandleNeeded();
        edit.SetUndoLimit(limit);
        int changes = 0;
        edit.OnChange = [&](QObject*) { ++changes; };
        // Each edit a step of its own: a digit typed, then coloured.
        QString text;
        for (int i = 0; i < edits; ++i) {
            const QString digit = QString::number(i % 10);
            edit.SetSelection(int(text.size()), int(text.size()), false);
            edit.SetSelText(digit);
            text += digit;
            if (i % 2) {
                edit.SetSelection(int(text.size()) - 1, int(text.size()), false);
                edit.SelectionAttributes()->SetColor(clRed);
            }
        }
        QCoreApplication::processEvents();
        int steps = undoSteps(edit.document());
        QVERIFY2(steps <= limit, qPrintable(QString::number(steps)));
        QVERIFY2(steps >= std::max(1, limit / 2), qPrintable(QString::number(steps)));
        QCOMPARE(edit.Text(), text);
        // Steps undone and done again to shorten the history report nothing
        // and leave the text, the selection and Modified as they were.
        edit.SetSelection(int(text.size()) - 1, int(text.size()), false);
        changes = 0;
        int selections = 0;
        edit.OnSelectionChange = [&](QObject*) { ++selections; };
        edit.SetUndoLimit(std::max(1, limit / 2));
        QCOMPARE(changes, 0);
        QCOMPARE(selections, 0);
        QCOMPARE(edit.Text(), text);
        QCOMPARE(edit.GetSelectionStart(), int(text.size()) - 1);
        QCOMPARE(edit.GetSelectionLength(), 1);
        QVERIFY(edit.Modified());
        steps = undoSteps(edit.document());
        QVERIFY(steps <= std::max(1, limit / 2));
        QVERIFY(steps >= std::max(1, limit / 4));
        // What is left are the newest steps: undone, they take back the last
        // edits and nothing else.
        int undone = 0;
        while (edit.document()->isUndoAvailable()) {
            edit.undo();
            ++undone;
        }
        QCOMPARE(undone, steps);
        QVERIFY(text.startsWith(edit.Lines()->Get(0)));
        QVERIFY(edit.Lines()->Get(0).size() >= text.size() - steps);
    }

    void versionOneHasNoLinksAndNoBackColor()
    {
        VersionScope version(1);
        auto edit = shownEdit();
        QVERIFY(!(edit->EventMask() & RxEvent::ENM_LINK));
        edit->SetAutoURLDetect(true);
        edit->Lines()->Add(QStringLiteral(" http:#chan"));
        QStringList clicks;
        edit->OnURLClick = [&](QObject*, const QString& url, TMouseButton) { clicks << url; };
        QCOMPARE(edit->LinkAt(charPoint(*edit, 3)), qMakePair(-1, -1));
        QTest::mouseClick(edit->viewport(), Qt::LeftButton, {}, charPoint(*edit, 3));
        QVERIFY(clicks.isEmpty());
        edit->SetSelection(1, 5, false);
        edit->SelectionAttributes()->SetBackColor(clYellow);
        QCOMPARE(edit->SelectionAttributes()->GetBackColor(), clWindow);
        // Numbering is bullets only.
        edit->ParagraphAttributes()->SetNumbering(3);
        QCOMPARE(edit->ParagraphAttributes()->GetNumbering(), 1);
        // One step of undo.
        edit->SetUndoLimit(50);
        for (int i = 0; i < 5; ++i)
            edit->SelectionAttributes()->SetColor(i % 2 ? clRed : clBlue);
        QCOMPARE(undoSteps(edit->document()), 1);
    }

    void linkClicks_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("expected");
        QTest::newRow("left") << Qt::LeftButton << int(mbLeft);
        QTest::newRow("right") << Qt::RightButton << int(mbRight);
    }
    void linkClicks()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, expected);
        auto edit = shownEdit();
        // The chat writes a channel as " http:#chan" into a line.
        edit->Lines()->Add(QStringLiteral("join http:#chan or www.x.th now"));
        QList<QPair<QString, int>> clicks;
        edit->OnURLClick = [&](QObject*, const QString& url, TMouseButton b) {
            clicks.append({url, int(b)});
        };
        const int chan = 7;
        const int www = 19;
        QCOMPARE(edit->LinkAt(charPoint(*edit, chan)), qMakePair(5, 15));
        QTest::mouseClick(edit->viewport(), button, {}, charPoint(*edit, chan));
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(clicks[0].first, QStringLiteral("http:#chan"));
        QCOMPARE(clicks[0].second, expected);
        // Pressed on one link, released on another: nothing.
        QTest::mousePress(edit->viewport(), button, {}, charPoint(*edit, chan));
        QTest::mouseRelease(edit->viewport(), button, {}, charPoint(*edit, www));
        QCOMPARE(clicks.size(), 1);
        // Pressed off the links, released on one: nothing.
        QTest::mousePress(edit->viewport(), button, {}, charPoint(*edit, 1));
        QTest::mouseRelease(edit->viewport(), button, {}, charPoint(*edit, www));
        QCOMPARE(clicks.size(), 1);
        // Text is no link.
        QTest::mouseClick(edit->viewport(), button, {}, charPoint(*edit, 1));
        QCOMPARE(clicks.size(), 1);
        QTest::mouseClick(edit->viewport(), button, {}, charPoint(*edit, www + 2));
        QCOMPARE(clicks.size(), 2);
        QCOMPARE(clicks[1].first, QStringLiteral("www.x.th"));
    }

    void leftPressRightReleaseFiresNothing()
    {
        auto edit = shownEdit();
        edit->Lines()->Add(QStringLiteral(" http:#chan"));
        int clicks = 0;
        edit->OnURLClick = [&](QObject*, const QString&, TMouseButton) { ++clicks; };
        QTest::mousePress(edit->viewport(), Qt::LeftButton, {}, charPoint(*edit, 3));
        QTest::mouseRelease(edit->viewport(), Qt::RightButton, {}, charPoint(*edit, 3));
        QTest::mouseRelease(edit->viewport(), Qt::LeftButton, {}, charPoint(*edit, 3));
        QCOMPARE(clicks, 0);
    }

    void linksFollowTheText()
    {
        auto edit = shownEdit();
        // A link typed in two pieces into one paragraph is one link.
        edit->Lines()->Add(QString::fromUtf8("ไปที่ http:"));
        QCOMPARE(edit->LinkAt(charPoint(*edit, 7)), qMakePair(-1, -1));
        edit->SetSelection(11, 11, false);
        edit->SetSelText(QStringLiteral("#thai"));
        QCOMPARE(edit->LinkAt(charPoint(*edit, 7)), qMakePair(6, 16));
        // A paragraph break ends a link: a second line is its own.
        edit->Lines()->Add(QStringLiteral("#other"));
        const int second = edit->GetLineStart(1);
        QCOMPARE(edit->LinkAt(charPoint(*edit, second + 1)), qMakePair(-1, -1));
        // Switched off, no link is reported.
        edit->SetAutoURLDetect(false);
        QCOMPARE(edit->LinkAt(charPoint(*edit, 7)), qMakePair(-1, -1));
        edit->SetAutoURLDetect(true);
        QCOMPARE(edit->LinkAt(charPoint(*edit, 7)), qMakePair(6, 16));
        // A colour over the link leaves it a link; text changed while
        // detection was off is looked at afresh.
        edit->SetSelection(8, 12, false);
        edit->SelectionAttributes()->SetColor(clRed);
        QCOMPARE(edit->LinkAt(charPoint(*edit, 7)), qMakePair(6, 16));
        edit->SetAutoURLDetect(false);
        edit->SetSelection(10, 11, false);
        edit->SetSelText(QStringLiteral(" "));
        edit->SetAutoURLDetect(true);
        QCOMPARE(edit->LinkAt(charPoint(*edit, 7)), qMakePair(-1, -1));
        QCOMPARE(edit->LinkAt(charPoint(*edit, 12)), qMakePair(-1, -1));
    }

    void aHandlerMayCloseTheControl()
    {
        auto* edit = shownEdit().release();
        edit->Lines()->Add(QStringLiteral(" http:#chan"));
        QPointer<TRxRichEdit> guard(edit);
        edit->OnURLClick = [&](QObject*, const QString&, TMouseButton) { delete edit; };
        QTest::mouseClick(edit->viewport(), Qt::LeftButton, {}, charPoint(*edit, 3));
        QVERIFY(!guard);
    }

    void copiedTextMayLeaveTheClipboard()
    {
        bool asked = false;
        {
            TRxRichEdit edit;
            edit.SetText(QStringLiteral("copy me"));
            edit.SetSelection(0, 4, false);
            edit.copy();
            QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("copy"));
            edit.OnSaveClipboard = [&](QObject*, int objects, int chars, bool& save) {
                asked = true;
                QCOMPARE(objects, 0);
                QCOMPARE(chars, 4);
                save = false;
            };
        }
        QVERIFY(asked);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    }

    void dragSelectsWholeWords()
    {
        auto edit = shownEdit();
        edit->Lines()->Add(QStringLiteral("hello there world"));
        QTest::mousePress(edit->viewport(), Qt::LeftButton, {}, charPoint(*edit, 2));
        QTest::mouseMove(edit->viewport(), charPoint(*edit, 8));
        QTest::mouseRelease(edit->viewport(), Qt::LeftButton, {}, charPoint(*edit, 8));
        QCOMPARE(edit->SelText(), QStringLiteral("hello there"));
        // Within one word it goes by characters; switched off, always.
        const auto byCharacters = [&](int from, int to) {
            const int a = edit->cursorForPosition(charPoint(*edit, from)).position();
            const int b = edit->cursorForPosition(charPoint(*edit, to)).position();
            return edit->GetTextRange(a, b);
        };
        QTest::mousePress(edit->viewport(), Qt::LeftButton, {}, charPoint(*edit, 13));
        QTest::mouseMove(edit->viewport(), charPoint(*edit, 15));
        QTest::mouseRelease(edit->viewport(), Qt::LeftButton, {}, charPoint(*edit, 15));
        QCOMPARE(edit->SelText(), byCharacters(13, 15));
        edit->SetWordSelection(false);
        QTest::mousePress(edit->viewport(), Qt::LeftButton, {}, charPoint(*edit, 2));
        QTest::mouseMove(edit->viewport(), charPoint(*edit, 8));
        QTest::mouseRelease(edit->viewport(), Qt::LeftButton, {}, charPoint(*edit, 8));
        QCOMPARE(edit->SelText(), byCharacters(2, 8));
        QVERIFY(edit->SelText() != QStringLiteral("hello there"));
    }

    void selectionBarSelectsTheLine()
    {
        auto edit = shownEdit(3);
        const QRect line = edit->cursorRect(QTextCursor(edit->document()->findBlockByNumber(1)));
        QTest::mouseClick(edit->viewport(), Qt::LeftButton, {}, QPoint(2, line.center().y()));
        QCOMPARE(edit->SelText(), QStringLiteral("line 1\r"));
        edit->SetSelectionBar(false);
        QCOMPARE(edit->document()->rootFrame()->frameFormat().leftMargin(), 0.0);
    }

    void backgroundAndHiddenSelection()
    {
        TRxRichEdit edit;
        edit.SetColor(clYellow);
        QCOMPARE(edit.palette().color(QPalette::Base), QColor(255, 255, 0));
        edit.SetColor(clWindow);
        QCOMPARE(edit.palette().color(QPalette::Base),
                 QApplication::palette(&edit).color(QPalette::Base));
        QCOMPARE(edit.palette().color(QPalette::Inactive, QPalette::Highlight).alpha(), 0);
        edit.SetHideSelection(false);
        QVERIFY(edit.palette().color(QPalette::Inactive, QPalette::Highlight).alpha() > 0);
    }

    void readOnlyChangesWaitForTheEventLoop()
    {
        auto edit = shownEdit();
        edit->SetReadOnly(true);
        QVERIFY(!edit->document()->isUndoRedoEnabled());
        int changes = 0;
        edit->OnChange = [&](QObject*) { ++changes; };
        QScrollBar* bar = edit->verticalScrollBar();
        for (int i = 0; i < 100; ++i) {
            const int line = edit->Lines()->Add(QStringLiteral("line %1 http:#chan").arg(i));
            edit->SetSelectionStart(edit->GetLineStart(line));
            edit->SetSelectionLength(4);
            edit->SelectionAttributes()->SetColor(clRed);
            edit->SetSelectionStart(edit->GetTextLength());
            edit->SetSelectionLength(0);
        }
        // The text and its formats are there at once.
        QCOMPARE(edit->Lines()->Count(), 100);
        edit->SetSelection(edit->GetLineStart(99), edit->GetLineStart(99) + 4, false);
        QCOMPARE(edit->SelectionAttributes()->GetColor(), clRed);
        edit->SetSelectionStart(edit->GetTextLength());
        edit->SetSelectionLength(0);
        // Layout, change reports and the scroll follow with the event loop.
        QCoreApplication::processEvents();
        QVERIFY(changes > 0);
        QVERIFY(bar->value() > 0);
        QVERIFY(edit->viewport()->rect().contains(edit->cursorRect()));
        // A link is found in the newest line.
        const int start = edit->GetLineStart(99);
        QCOMPARE(edit->LinkAt(charPoint(*edit, start + 10)), qMakePair(start + 8, start + 18));
        // Geometry read through QTextEdit straight after a change: flush first.
        edit->Lines()->Add(QStringLiteral("one more"));
        edit->FlushLayout();
        QVERIFY(edit->cursorRect(QTextCursor(edit->document()->lastBlock())).top() > 0);
        QVERIFY(edit->document()->availableUndoSteps() == 0);
    }

    void aPaintBeforeTheEventLoopSeesTheNewText()
    {
        auto edit = shownEdit(40);
        edit->SetReadOnly(true);
        QCoreApplication::processEvents();
        edit->Lines()->Put(39, QStringLiteral("x"));
        edit->Lines()->Add(QStringLiteral("newest line"));
        edit->SetSelectionStart(edit->GetTextLength());
        edit->SetSelectionLength(0);
        // As when the window system asks for a paint straight away.
        edit->viewport()->repaint();
        const QTextBlock newest = edit->document()->findBlockByNumber(40);
        QCOMPARE(newest.text(), QStringLiteral("newest line"));
        QVERIFY(newest.layout()->lineCount() > 0);
        QCoreApplication::processEvents();
        QVERIFY(edit->viewport()->rect().contains(edit->cursorRect()));
    }

    void appendedLinesLeaveWhatAddingThemOneByOneLeaves_data()
    {
        QTest::addColumn<int>("oldLines");
        QTest::addColumn<int>("newLines");
        QTest::addColumn<bool>("plainText");
        QTest::addColumn<QString>("breakInLine");
        QTest::newRow("into an empty control") << 0 << 20 << false << QString();
        QTest::newRow("old lines go too") << 5 << 9 << false << QString();
        QTest::newRow("fewer than the limit") << 2 << 3 << false << QString();
        QTest::newRow("a line with a break in it") << 3 << 12 << false << QStringLiteral("a\rb");
        QTest::newRow("plain text") << 1 << 10 << true << QString();
    }

    void appendedLinesLeaveWhatAddingThemOneByOneLeaves()
    {
        QFETCH(int, oldLines);
        QFETCH(int, newLines);
        QFETCH(bool, plainText);
        QFETCH(QString, breakInLine);
        QList<TRichLine> lines = colouredLines(oldLines + newLines);
        if (!breakInLine.isEmpty())
            lines[oldLines + 1].Text.insert(2, breakInLine);
        // The old lines went in the old way, the new ones each way.
        auto make = [&] {
            auto edit = shownEdit();
            edit->SetReadOnly(true);
            edit->SetPlainText(plainText);
            addThroughTheSelection(*edit, lines.mid(0, oldLines), smallLimit);
            edit->LineLimit = smallLimit;
            return edit;
        };
        auto reference = make();
        addThroughTheSelection(*reference, lines.mid(oldLines), smallLimit);
        auto together = make();
        int appended = 0;
        together->OnLinesAppended = [&](QObject*) { ++appended; };
        for (const TRichLine& line : lines.mid(oldLines))
            together->AppendLine(line);
        QCOMPARE(appended, 0);
        QCoreApplication::processEvents();
        QCOMPARE(appended, 1);
        auto single = make();
        for (const TRichLine& line : lines.mid(oldLines)) {
            single->AppendLine(line);
            QCoreApplication::processEvents();
        }
        const QList<DocumentParagraph> expected = DocumentParagraphs(*reference->document());
        QCOMPARE(DocumentParagraphs(*together->document()), expected);
        QCOMPARE(DocumentParagraphs(*single->document()), expected);
        QCOMPARE(together->Lines()->Count(), reference->Lines()->Count());
    }

    void appendedLinesLeaveTheSelectionAlone()
    {
        auto edit = shownEdit();
        edit->SetReadOnly(true);
        // Past 30 lines the first 10 go.
        edit->LineLimit = [](int lines) { return lines > 30 ? 10 : 0; };
        for (const TRichLine& line : colouredLines(25))
            edit->AppendLine(line);
        // The interface sees the waiting lines at once.
        QCOMPARE(edit->Lines()->Count(), 25);
        QCoreApplication::processEvents();
        const int start = edit->GetLineStart(23) + 1;
        edit->SetSelection(start, start + 3, false);
        const QString selected = edit->SelText();
        QScrollBar* bar = edit->verticalScrollBar();
        edit->OnLinesAppended = [&](QObject*) { bar->setValue(bar->maximum()); };
        // Lines after it, and the limit's lines before it: the selection
        // moves with its text.
        for (const TRichLine& line : colouredLines(12))
            edit->AppendLine(line);
        QCoreApplication::processEvents();
        QCOMPARE(edit->Lines()->Count(), 27);
        QCOMPARE(edit->SelText(), selected);
        QCOMPARE(selected, QStringLiteral("n23"));
        QCOMPARE(edit->GetLineFromChar(edit->SelStart()), 13);
        QVERIFY(bar->value() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        // A caret without a selection stays where it is.
        const int caret = edit->GetLineStart(20) + 2;
        edit->SetSelectionStart(caret);
        edit->AppendLine(colouredLines(1).first());
        QCOMPARE(edit->Lines()->Count(), 28);
        QCOMPARE(edit->SelStart(), caret);
        QCOMPARE(edit->SelLength(), 0);
    }

    void protectChangeRefusesWithoutHandler()
    {
        struct Probe : TRxRichEdit
        {
            bool ask() { return ProtectChange(TMessage{}, 0, 1); }
        } edit;
        QVERIFY(!edit.ask());
        int calls = 0;
        edit.OnProtectChange = [&](QObject*, int, int, bool& allow) {
            ++calls;
            allow = true;
        };
        QVERIFY(edit.ask());
        edit.OnProtectChangeEx = [&](QObject*, const TMessage&, int, int, bool&) {};
        QVERIFY(!edit.ask());
        QCOMPARE(calls, 1);
    }
};

QTEST_MAIN(TestRxRichEdit)
#include "test_rxrichedit.moc"
