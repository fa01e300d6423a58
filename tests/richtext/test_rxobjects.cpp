#include "richtext/RichEditStrings.h"
#include "richtext/RxObjects.h"
#include "richtext/RxRichEd.h"
#include "richtext/RxTextAttributes.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
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
