#include "platform/MessageBox.h"
#include "richtext/RichEditStrings.h"
#include "richtext/RxObjects.h"
#include "richtext/RxRichEd.h"
#include "richtext/RxTextAttributes.h"

#include <QBuffer>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextFrame>
#include <QUrl>
#include <QtTest>

namespace {

QImage picture(int w = 6, int h = 4)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::green);
    return image;
}

// An object that records what happens to it.
class ProbeObject : public TImageObject
{
public:
    ProbeObject(QStringList& log, const QString& name)
        : TImageObject(picture()), log_(log), name_(name)
    {}
    ~ProbeObject() override { log_ << name_ + " freed"; }
    void Close() override
    {
        log_ << name_ + " closed";
        TImageObject::Close();
    }

private:
    QStringList& log_;
    QString name_;
};

QStringList actionTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
}

} // namespace

// Receives the desktop's "open" requests instead of the desktop.
class DesktopProbe : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class TestRxObjects : public QObject
{
    Q_OBJECT

private slots:
    void selectionTypeOfObjects()
    {
        TRxRichEdit edit;
        edit.SetText(QStringLiteral("ab"));
        edit.SetSelection(1, 1, false);
        QVERIFY(edit.InsertObject(std::make_unique<TImageObject>(picture())));
        QVERIFY(edit.InsertObject(std::make_unique<TImageObject>(picture())));
        QCOMPARE(edit.GetTextLength(), 4);
        edit.SetSelection(1, 2, false);
        QCOMPARE(edit.SelectionType(), TRichSelectionType(stObject));
        QVERIFY(edit.SelectedObject());
        edit.SetSelection(1, 3, false);
        QCOMPARE(edit.SelectionType(), stObject | stMultiObject);
        QVERIFY(!edit.SelectedObject());
        edit.SetSelection(0, 2, false);
        QCOMPARE(edit.SelectionType(), stText | stObject);
        QVERIFY(!edit.SelectedObject());
    }

    void allowObjectsDecides()
    {
        TRxRichEdit edit;
        edit.SetAllowObjects(false);
        QVERIFY(!edit.InsertObject(std::make_unique<TImageObject>(picture())));
        QCOMPARE(edit.GetTextLength(), 0);
        // A pasted picture becomes an object only when objects are allowed.
        QGuiApplication::clipboard()->setImage(picture());
        edit.paste();
        QCOMPARE(edit.GetTextLength(), 0);
        edit.SetAllowObjects(true);
        edit.paste();
        QCOMPARE(edit.GetTextLength(), 1);
        edit.SetSelection(0, 1, false);
        QCOMPARE(edit.SelectedObject()->TypeName(), QStringLiteral("Picture"));
    }

    void droppedFileBecomesAnObject()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("notes.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("file content");
        file.close();
        struct Droppable : TRxRichEdit
        {
            using TRxCustomRichEdit::canInsertFromMimeData;
            using TRxCustomRichEdit::insertFromMimeData;
        } edit;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QVERIFY(edit.canInsertFromMimeData(&data));
        edit.insertFromMimeData(&data);
        edit.SetSelection(0, 1, false);
        auto* object = dynamic_cast<TFileObject*>(edit.SelectedObject());
        QVERIFY(object);
        QCOMPARE(object->Name(), QStringLiteral("notes.txt"));
        QCOMPARE(object->Data(), QByteArray("notes.txt") + '\0' + "file content");
    }

    void copyAndPasteKeepObjectsAndFormats()
    {
        TRxRichEdit source;
        source.SetText(QStringLiteral("ab"));
        source.SetSelection(1, 1, false);
        source.InsertObject(std::make_unique<TImageObject>(picture(9, 2)));
        source.SetSelection(0, 1, false);
        source.SelectionAttributes()->SetColor(clRed);
        source.SetSelection(0, 3, false);
        source.copy();
        QVERIFY(QGuiApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("text/rtf")));

        TRxRichEdit target;
        target.SetText(QStringLiteral("[]"));
        target.SetSelection(1, 1, false);
        target.paste();
        QCOMPARE(target.Lines()->Get(0), QStringLiteral("[a") + QChar(0xFFFC) + "b]");
        target.SetSelection(1, 2, false);
        QCOMPARE(target.SelectionAttributes()->GetColor(), clRed);
        target.SetSelection(2, 3, false);
        QCOMPARE(target.SelectedObject()->Size(), QSizeF(9, 2));
        // A control of plain text takes the text only.
        TRxRichEdit plain;
        plain.HandleNeeded();
        plain.SetPlainText(true);
        plain.paste();
        QCOMPARE(plain.Lines()->Get(0), QString("a") + QChar(0xFFFC) + "b");
    }

    // A user's paste or drop of rich text is one step of the undo history,
    // and the history before it stays.
    void richPasteAndDropAreOneUndoStep()
    {
        TRxRichEdit source;
        source.SetText(QStringLiteral("red\rblue"));
        source.SetSelection(0, 3, false);
        source.SelectionAttributes()->SetColor(clRed);
        source.SetSelection(4, 8, false);
        source.SelectionAttributes()->SetColor(clBlue);
        source.SetSelection(0, 8, false);
        source.copy();
        std::unique_ptr<const QMimeData> copied;
        {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData();
            QVERIFY(data->hasFormat(QStringLiteral("text/rtf")));
            auto* kept = new QMimeData;
            kept->setData(QStringLiteral("text/rtf"), data->data(QStringLiteral("text/rtf")));
            kept->setText(data->text());
            copied.reset(kept);
        }

        TRxRichEdit target;
        target.resize(300, 100);
        target.show();
        target.SetText(QStringLiteral("[]"));
        target.SetSelection(1, 1, false);
        target.SetSelText(QStringLiteral("x"));
        target.SetSelection(2, 2, false);
        target.paste();
        QCOMPARE(target.Text(), QStringLiteral("[xred\r\nblue]"));
        // The caret after the new text.
        QCOMPARE(target.GetSelectionStart(), 10);
        target.SetSelection(2, 3, false);
        QCOMPARE(target.SelectionAttributes()->GetColor(), clRed);
        target.undo();
        QCOMPARE(target.Text(), QStringLiteral("[x]"));
        target.undo();
        QCOMPARE(target.Text(), QStringLiteral("[]"));
        target.redo();
        target.redo();
        QCOMPARE(target.Text(), QStringLiteral("[xred\r\nblue]"));

        // Dropped from another program.
        target.SetText(QStringLiteral("()"));
        target.SetSelection(1, 1, false);
        target.SetSelText(QStringLiteral("y"));
        QTextCursor at(target.document());
        at.setPosition(2);
        const QPoint point = target.cursorRect(at).center();
        QDragEnterEvent enter(point, Qt::CopyAction, copied.get(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(target.viewport(), &enter);
        QDragMoveEvent move(point, Qt::CopyAction, copied.get(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(target.viewport(), &move);
        QDropEvent drop(point, Qt::CopyAction, copied.get(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(target.viewport(), &drop);
        QCOMPARE(target.Text(), QStringLiteral("(yred\r\nblue)"));
        target.undo();
        QCOMPARE(target.Text(), QStringLiteral("(y)"));
        target.undo();
        QCOMPARE(target.Text(), QStringLiteral("()"));
    }

    // The paragraph a fragment lands in keeps its format unless the
    // fragment ends it; the paragraphs the fragment ends bring theirs.
    void pasteKeepsTheParagraphItLandsIn()
    {
        TRxRichEdit source;
        source.SetText(QStringLiteral("right\rleft indent\rfirst indent"));
        source.SetSelection(0, 0, false);
        source.ParagraphAttributes()->SetAlignment(paRightJustify);
        source.SetSelection(6, 6, false);
        source.ParagraphAttributes()->SetFirstIndent(20);
        source.SetSelection(18, 18, false);
        source.ParagraphAttributes()->SetFirstIndent(15);
        source.ParagraphAttributes()->SetLeftIndent(-15);

        TRxRichEdit target;
        target.SetText(QStringLiteral("centred target"));
        target.SetSelection(0, 0, false);
        target.ParagraphAttributes()->SetAlignment(paCenter);
        target.ParagraphAttributes()->SetRightIndent(7);
        // Alignment, first, left and right indent of the paragraph at pos.
        const auto para = [](TRxRichEdit& edit, int pos) {
            edit.SetSelection(pos, pos, false);
            TRxParaAttributes* p = edit.ParagraphAttributes();
            return QList<int>{int(p->GetAlignment()), p->GetFirstIndent(), p->GetLeftIndent(),
                              p->GetRightIndent()};
        };
        const QList<int> centred{int(paCenter), 0, 0, 7};

        // Within one paragraph: the target keeps its format.
        source.SetSelection(1, 3, false);
        source.copy();
        target.SetSelection(7, 7, false);
        target.paste();
        QCOMPARE(target.Lines()->Get(0), QStringLiteral("centredig target"));
        QCOMPARE(para(target, 0), centred);

        // Across paragraphs: each paragraph the fragment ends has its own
        // format; the last one, ended by the target's end, the target's.
        source.SetSelection(2, 20, false);
        source.copy();
        target.SetSelection(3, 3, false);
        target.paste();
        QCOMPARE(target.Lines()->Count(), 3);
        QCOMPARE(target.Lines()->Get(0), QStringLiteral("cenght"));
        QCOMPARE(target.Lines()->Get(1), QStringLiteral("left indent"));
        QCOMPARE(target.Lines()->Get(2), QStringLiteral("fitredig target"));
        QCOMPARE(para(target, target.GetLineStart(0)), (QList<int>{int(paRightJustify), 0, 0, 0}));
        QCOMPARE(para(target, target.GetLineStart(1)), (QList<int>{int(paLeftJustify), 20, 0, 0}));
        QCOMPARE(para(target, target.GetLineStart(2)), centred);

        // Whole paragraphs copied keep their indents in another control.
        source.SetSelection(6, source.GetTextLength(), false);
        source.copy();
        TRxRichEdit empty;
        empty.paste();
        QCOMPARE(empty.Lines()->Count(), 2);
        QCOMPARE(para(empty, 0), (QList<int>{int(paLeftJustify), 20, 0, 0}));
        // The last paragraph lands in the empty one and takes its format:
        // copied with its break, it brings its own.
        TRxRichEdit ended;
        ended.SetText(QStringLiteral("left indent\rfirst indent\r"));
        ended.SetSelection(0, 0, false);
        ended.ParagraphAttributes()->SetFirstIndent(20);
        ended.SetSelection(12, 12, false);
        ended.ParagraphAttributes()->SetFirstIndent(15);
        ended.ParagraphAttributes()->SetLeftIndent(-15);
        ended.SetSelection(0, ended.GetTextLength(), false);
        ended.copy();
        TRxRichEdit whole;
        whole.paste();
        QCOMPARE(whole.Lines()->Count(), 2);
        QCOMPARE(para(whole, 0), (QList<int>{int(paLeftJustify), 20, 0, 0}));
        QCOMPARE(para(whole, 12), (QList<int>{int(paLeftJustify), 15, -15, 0}));
    }

    // HTML from a web page comes in as its plain text: no tables, lists or
    // pictures the text cannot hold as such.
    void htmlPastesAsPlainText()
    {
        struct Droppable : TRxRichEdit
        {
            using TRxCustomRichEdit::canInsertFromMimeData;
            using TRxCustomRichEdit::insertFromMimeData;
        } edit;
        edit.HandleNeeded();
        QMimeData page;
        page.setHtml(QStringLiteral("<table><tr><td>cell</td></tr></table><ul><li>item</li></ul>"
                                    "<img src=\"data:image/png;base64,AAAA\">"));
        page.setText(QStringLiteral("cell\nitem"));
        QVERIFY(edit.canInsertFromMimeData(&page));
        edit.insertFromMimeData(&page);
        QCOMPARE(edit.Text(), QStringLiteral("cell\r\nitem"));
        QVERIFY(edit.document()->rootFrame()->childFrames().isEmpty());
        for (QTextBlock b = edit.document()->begin(); b.isValid(); b = b.next()) {
            QVERIFY(!b.textList());
            for (auto it = b.begin(); !it.atEnd(); ++it)
                QVERIFY(!it.fragment().charFormat().isImageFormat());
        }
        // HTML alone brings nothing.
        QMimeData htmlOnly;
        htmlOnly.setHtml(QStringLiteral("<b>bold</b>"));
        QVERIFY(!edit.canInsertFromMimeData(&htmlOnly));
        edit.insertFromMimeData(&htmlOnly);
        QCOMPARE(edit.Text(), QStringLiteral("cell\r\nitem"));
        // A picture only while objects are allowed.
        QMimeData image;
        image.setImageData(picture());
        edit.SetAllowObjects(false);
        QVERIFY(!edit.canInsertFromMimeData(&image));
        edit.insertFromMimeData(&image);
        QCOMPARE(edit.GetTextLength(), 9);
        edit.SetAllowObjects(true);
        QVERIFY(edit.canInsertFromMimeData(&image));
        edit.insertFromMimeData(&image);
        QCOMPARE(edit.GetTextLength(), 10);
    }

    void verbMenu()
    {
        TRxRichEdit edit;
        edit.SetText(QStringLiteral("x"));
        edit.SetSelection(1, 1, false);
        edit.InsertObject(std::make_unique<TImageObject>(picture()));
        edit.SetSelection(1, 2, false);

        // Without a menu of its own the verb menu is the menu.
        QMenu* menu = edit.GetPopupMenu();
        QVERIFY(menu);
        QCOMPARE(menu->title(), QStringLiteral("Picture"));
        QCOMPARE(actionTexts(menu), (QStringList{"Open", "Save as"}));
        QCOMPARE(menu->defaultAction()->text(), QStringLiteral("Open"));

        // With one, the verbs join it as a submenu, new at every request.
        QMenu own;
        own.addAction(QStringLiteral("Copy"));
        edit.SetPopupMenu(&own);
        QCOMPARE(edit.GetPopupMenu(), &own);
        QCOMPARE(actionTexts(&own), (QStringList{"Copy", "-", "Picture"}));
        QCOMPARE(edit.GetPopupMenu(), &own);
        QCOMPARE(actionTexts(&own), (QStringList{"Copy", "-", "Picture"}));

        // No verbs for text and an object, nor with AutoVerbMenu off.
        edit.SetSelection(0, 2, false);
        QCOMPARE(edit.GetPopupMenu(), &own);
        QCOMPARE(actionTexts(&own), QStringList{"Copy"});
        edit.SetSelection(1, 2, false);
        edit.SetAutoVerbMenu(false);
        QCOMPARE(edit.GetPopupMenu(), &own);
        QCOMPARE(actionTexts(&own), QStringList{"Copy"});
        edit.SetPopupMenu(nullptr);
        QCOMPARE(edit.GetPopupMenu(), nullptr);
    }

    void openHandsTheFileToTheDesktop()
    {
        DesktopProbe desktop;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
        TRxRichEdit edit;
        edit.InsertObject(std::make_unique<TImageObject>(picture(5, 7)));
        edit.SetSelection(0, 1, false);
        edit.PopupVerbClick(0);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(desktop.opened.size(), 1);
        const QString file = desktop.opened.first().toLocalFile();
        QCOMPARE(QImage(file).size(), QSize(5, 7));
        // Clearing the text closes the object and its file goes.
        edit.Clear();
        QVERIFY(!QFile::exists(file));
    }

    void saveAsWritesTheContent()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("saved.png"));
        QString caption;
        const RxObjectFiles::Chooser previous =
            RxObjectFiles::SetSaveChooser([&](QWidget*, const QString& c, const QString&) {
                caption = c;
                return target;
            });
        TRxRichEdit edit;
        QCoreApplication::setApplicationName(QStringLiteral("Brevant"));
        edit.SetTitle(QStringLiteral("#thai"));
        edit.InsertObject(std::make_unique<TImageObject>(picture(3, 3)));
        edit.SetSelection(0, 1, false);
        edit.PopupVerbClick(1);
        RxObjectFiles::SetSaveChooser(previous);
        QCOMPARE(QImage(target).size(), QSize(3, 3));
        // The host names reach the object.
        QVERIFY(caption.startsWith(QStringLiteral("#thai - ")));
        edit.SetTitle(QString());
        QVERIFY(!edit.SelectedObject()->Location().contains(QStringLiteral("#thai")));
    }

    void storedNamesStayInTheirFolder()
    {
        DesktopProbe desktop;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
        auto object = TFileObject::FromData(QByteArray("../../escape.txt") + '\0' + "x");
        QVERIFY(object);
        QCOMPARE(object->Name(), QStringLiteral("escape.txt"));
        QVERIFY(object->DoVerb(0, nullptr));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(desktop.opened.size(), 1);
        QCOMPARE(QFileInfo(desktop.opened.first().toLocalFile()).fileName(),
                 QStringLiteral("escape.txt"));
        QVERIFY(!TFileObject::FromData(QByteArray("no zero")));
        QVERIFY(!TImageObject::FromData(QByteArray("not a picture")));
    }

    void closedOnClearAndDestruction()
    {
        QStringList log;
        {
            TRxRichEdit edit;
            edit.InsertObject(std::make_unique<ProbeObject>(log, "a"));
            edit.InsertObject(std::make_unique<ProbeObject>(log, "b"));
            edit.Clear();
            QCOMPARE(log, (QStringList{"b closed", "a closed", "b freed", "a freed"}));
            log.clear();
            edit.InsertObject(std::make_unique<ProbeObject>(log, "c"));
        }
        QCOMPARE(log, (QStringList{"c closed", "c freed"}));
    }

    // An object whose character leaves the text is closed, and freed once no
    // undo can bring it back.
    void removedObjectsAreClosed()
    {
        QStringList log;
        TRxRichEdit edit;
        edit.SetText(QStringLiteral("ab"));
        edit.SetSelection(1, 1, false);
        edit.InsertObject(std::make_unique<ProbeObject>(log, "A"));
        edit.InsertObject(std::make_unique<ProbeObject>(log, "B"));
        edit.SetSelection(1, 2, false);
        edit.SetSelText(QString());
        QTRY_COMPARE(log, QStringList{"A closed"});
        edit.undo();
        edit.SetSelection(1, 2, false);
        QVERIFY(edit.SelectedObject());
        // The Lines adapter's edits keep no undo history.
        log.clear();
        edit.Lines()->Put(0, QStringLiteral("plain"));
        QTRY_COMPARE(log, (QStringList{"A freed", "B closed", "B freed"}));
        QCOMPARE(edit.Lines()->Get(0), QStringLiteral("plain"));
    }

    // "Open" hands documents, pictures, sounds, videos and plain text to
    // the desktop at once; anything else may be a program and is opened
    // only when the user says so.
    void openAsksBeforeWhatMayBeAProgram_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("asks");
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture().save(&buffer, "PNG");
        QTest::newRow("plain text") << "notes.txt" << QByteArray("hello") << false;
        QTest::newRow("picture") << "photo.png" << png << false;
        QTest::newRow("picture, capitals") << "PHOTO.PNG" << png << false;
        QTest::newRow("sound") << "song.mp3" << QByteArray("ID3") << false;
        QTest::newRow("video") << "clip.mp4" << QByteArray("....ftypisom") << false;
        QTest::newRow("PDF") << "report.pdf" << QByteArray("%PDF-1.4") << false;
        QTest::newRow("office document") << "letter.odt" << QByteArray("PK") << false;
        QTest::newRow("shell script") << "run.sh" << QByteArray("#!/bin/sh\nrm -rf ~\n") << true;
        QTest::newRow("shell script, capitals") << "RUN.SH" << QByteArray("echo") << true;
        QTest::newRow("desktop entry")
            << "launch.desktop" << QByteArray("[Desktop Entry]\nExec=sh\n") << true;
        QTest::newRow("Java archive") << "tool.jar" << QByteArray("PK") << true;
        QTest::newRow("Windows program") << "setup.exe" << QByteArray("MZ") << true;
        QTest::newRow("archive") << "code.zip" << QByteArray("PK") << true;
        QTest::newRow("web page") << "page.html" << QByteArray("<script>") << true;
        QTest::newRow("no extension") << "README" << QByteArray("text") << true;
        QTest::newRow("document name, program inside")
            << "notes.txt" << QByteArray("#!/bin/sh\nrm -rf ~\n") << true;
        QTest::newRow("document name, executable inside")
            << "photo.png"
            << QByteArray("\x7f"
                          "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x02\0",
                          18)
            << true;
    }
    void openAsksBeforeWhatMayBeAProgram()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, asks);
        DesktopProbe desktop;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
        QList<MessageBoxService::Request> questions;
        int answer = MessageBoxService::IDNO;
        MessageBoxService::ScopedHandler box([&](const MessageBoxService::Request& r) {
            questions << r;
            return answer;
        });
        TRxRichEdit edit;
        QVERIFY(edit.InsertObject(std::make_unique<TFileObject>(name, content)));
        edit.SetSelection(0, 1, false);
        // No is no error: nothing opens and nothing is reported.
        edit.PopupVerbClick(0);
        QCOMPARE(questions.size(), asks ? 1 : 0);
        QCOMPARE(desktop.opened.size(), asks ? 0 : 1);
        if (asks) {
            QCOMPARE(questions[0].text, QStringLiteral("เปิดแฟ้ม %1? แฟ้มนี้อาจเป็นโปรแกรม").arg(name));
            QCOMPARE(questions[0].flags & 0xF, unsigned(MessageBoxService::MB_YESNO));
            QVERIFY(questions[0].flags & MessageBoxService::MB_DEFBUTTON2);
            answer = MessageBoxService::IDYES;
            edit.PopupVerbClick(0);
            QCOMPARE(desktop.opened.size(), 1);
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(QFileInfo(desktop.opened.first().toLocalFile()).fileName(), name);
    }

    void doubleClickRunsTheFirstVerb()
    {
        DesktopProbe desktop;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
        TRxRichEdit edit;
        edit.resize(200, 100);
        edit.show();
        edit.InsertObject(std::make_unique<TImageObject>(picture(20, 20)));
        QTextCursor at(edit.document());
        const QRect r = edit.cursorRect(at);
        QTest::mouseDClick(edit.viewport(), Qt::LeftButton, {},
                           QPoint(r.left() + 10, r.bottom() - 5));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(desktop.opened.size(), 1);
    }
};

QTEST_MAIN(TestRxObjects)
#include "test_rxobjects.moc"
