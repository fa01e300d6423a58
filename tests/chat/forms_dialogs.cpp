// The plug-in's forms, driven directly: colour codes written into and read
// back from the real rich text control, the settings dialog against the
// real registry file, the colour dialogs' grids, the nick prompt.
#include "ModalWindow.h"

#include "chat/U_GlobalConfig.h"
#include "chat/plugin/ColorRichText.h"
#include "chat/plugin/FrmBoxColor.h"
#include "chat/plugin/FrmColor.h"
#include "chat/plugin/FrmMain.h"
#include "chat/plugin/FrmNick.h"

#include "platform/Cp874.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "richtext/RichEditStrings.h"
#include "richtext/RxRichEd.h"
#include "richtext/RxTextAttributes.h"
#include "toolkit/ColorGrid.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/Controls.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sys/stat.h>

using namespace Zentrel;

namespace {

const TChatAppearance kWindow{0x123456, 0x654321, QStringLiteral("Tahoma")};

// One character's look: "fg/bg" as palette numbers ("F"/"B": the window's
// own colours), then "b", "i", "u" for the styles and the face's first
// letter when it is not the window's.
QByteArray look(TRxRichEdit& edit, int pos)
{
    edit.SetSelection(pos, pos + 1, false);
    const TRxTextAttributes* a = edit.SelectionAttributes();
    // An automatic colour is the window's own too: the control shows its
    // font colour and its background.
    auto color = [](TColor c, TColor own, const char* ownName) -> QByteArray {
        if (c == own || c == clWindowText || c == clWindow)
            return ownName;
        const int i = PaletteIndex(c);
        return ColorPalette[i] == c ? QByteArray::number(i) : "?";
    };
    QByteArray out = color(a->GetColor(), kWindow.FontColor, "F") + '/' +
                     color(a->GetBackColor(), kWindow.BackColor, "B");
    const TFontStyles style = a->GetStyle();
    if (style & fsBold)
        out += 'b';
    if (style & fsItalic)
        out += 'i';
    if (style & fsUnderline)
        out += 'u';
    if (a->GetName() != kWindow.FontName)
        out += ' ' + a->GetName().left(1).toLatin1() + QByteArray::number(a->GetCharset());
    return out;
}

// The look of every character of a line, runs of equal looks merged:
// "look*count".
QByteArray looks(TRxRichEdit& edit, int line)
{
    const int first = edit.GetLineStart(line);
    const int length = edit.GetLineLength(first);
    QByteArray out;
    QByteArray last;
    int count = 0;
    auto flush = [&] {
        if (count)
            out += (out.isEmpty() ? "" : " ") + last + '*' + QByteArray::number(count);
    };
    for (int i = 0; i < length; ++i) {
        const QByteArray l = look(edit, first + i);
        if (l == last) {
            ++count;
            continue;
        }
        flush();
        last = l;
        count = 1;
    }
    flush();
    return out;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestFormsDialogs : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString registry_;

    void makeTalvikKey()
    {
        TRegistry reg(registry_);
        reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
        QVERIFY(reg.OpenKey(QStringLiteral("Software\\Talvik_Software\\Zentrel"), true));
    }

private slots:
    void initTestCase()
    {
        registry_ = dir_.filePath(QStringLiteral("registry.reg"));
        qputenv("BREVANT_REGISTRY", registry_.toUtf8());
        qputenv("BREVANT_HOME", dir_.path().toUtf8());
    }

    void init()
    {
        QFile::remove(registry_);
        Settings() = TZentrelSettings();
    }

    void decodedLinesAreWrittenRunByRun_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("looks");

        QTest::newRow("plain") << QByteArray("hi") << "hi" << QByteArray("F/B*2");
        QTest::newRow("red word, then plain") << QByteArray("\x03"
                                                            "4ab\x03"
                                                            " c")
                                              << "ab c" << QByteArray("4/B*2 F/B*2");
        QTest::newRow("red on yellow") << QByteArray("\x03"
                                                     "4,8ab")
                                       << "ab" << QByteArray("4/8*2");
        QTest::newRow("background carries over") << QByteArray("\x03"
                                                               "1,0a\x03"
                                                               "4b")
                                                 << "ab" << QByteArray("1/0*1 4/0*1");
        QTest::newRow("16-99 are ignored") << QByteArray("\x03"
                                                         "42,77ab")
                                           << "ab" << QByteArray("F/B*2");
        QTest::newRow("bold inside underline") << QByteArray("\x1f"
                                                             "a\x02"
                                                             "b\x02"
                                                             "c")
                                               << "abc" << QByteArray("F/Bu*1 F/Bbu*1 F/Bu*1");
        QTest::newRow("fixed and symbol faces") << QByteArray("\x11"
                                                              "a\x11\x12"
                                                              "b")
                                                << "ab" << QByteArray("F/B C255*1 F/B W2*1");
        QTest::newRow("Thai") << QByteArray("\x03"
                                            "3\xCA\xC7\xD1\xCA\xB4\xD5")
                              << QString::fromUtf8("สวัสดี") << QByteArray("3/B*6");
        QTest::newRow("only control bytes") << QByteArray("\x02\x03\x1f") << "" << QByteArray();
    }

    void decodedLinesAreWrittenRunByRun()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, text);
        QFETCH(QByteArray, looks);
        TRxRichEdit edit;
        edit.SetReadOnly(true);
        TFont font;
        font.Name = kWindow.FontName;
        font.Color = kWindow.FontColor;
        edit.SetFont(font);
        edit.SetColor(kWindow.BackColor);
        // An earlier line in other colours is never touched.
        AddColorLine(edit,
                     QByteArrayView("\x03"
                                    "12,9xy"),
                     kWindow);
        QCOMPARE(AddColorLine(edit, line, kWindow), text);
        QCOMPARE(edit.Lines()->Count(), 2);
        QCOMPARE(edit.Lines()->Get(1), text);
        QCOMPARE(::looks(edit, 1), looks);
        QCOMPARE(::looks(edit, 0), QByteArray("12/9*2"));
        // The line ends in the window's own colours and face: the next plain
        // line takes nothing of it.
        AddColorLine(edit, QByteArrayView("zz"), kWindow);
        QCOMPARE(::looks(edit, 2), QByteArray("F/B*2"));
    }

    void colouredTextEncodesAndDecodesBack()
    {
        TRxRichEdit edit;
        edit.SetText(QStringLiteral("a1,b c"));
        auto paint = [&](int from, int to, TColor fg, TColor bg) {
            edit.SetSelection(from, to, false);
            edit.SelectionAttributes()->SetColor(fg);
            edit.SelectionAttributes()->SetBackColor(bg);
        };
        paint(0, 2, ColorPalette[4], clWindow);        // "a1" red, automatic background
        paint(2, 4, ColorPalette[2], ColorPalette[8]); // ",b" navy on yellow
        // " c" automatic in both: back to the window's colours.
        const QString coded = EncodeColorText(edit, kWindow);
        TRxRichEdit back;
        TFont font;
        font.Name = kWindow.FontName;
        back.SetFont(font);
        AddColorLine(back, coded, kWindow);
        QCOMPARE(back.Lines()->Get(0), QStringLiteral("a1,b c"));
        const QByteArray l = ::looks(back, 0);
        QCOMPARE(l, QByteArray("4/B*2 2/8*2 F/B*2"));
    }

    void settingsDialogShowsAndStoresEveryField()
    {
        TZentrelSettings s;
        s.IRCPort = QStringLiteral("7000");
        s.UseSock = true;
        s.SockLevel = 1;
        s.Sock5User = QStringLiteral("user");
        s.Sock5PW = QStringLiteral("secret");
        s.Sock5Address = QStringLiteral("127.0.0.1");
        s.SockPort = QStringLiteral("1080");
        s.ChatBKColor = 0x00FFFF;
        s.ChatFontName = QStringLiteral("Ms Sans Serif");
        s.ChatFontColor = 0x0000FF;
        s.ChatWordWrap = true;
        s.DCCDirectory = QStringLiteral("/tmp/dcc");
        s.DCCBlock = 4096;
        s.DCCAutoReceive = true;
        TF_Main form;
        form.show();
        form.LoadControls(s);
        QCOMPARE(form.PageControl1->PageCount(), 3);
        QCOMPARE(form.PageControl1->Pages(0)->Caption(), QStringLiteral("ปรับแต่งการติดต่อ"));
        QCOMPARE(form.PageControl1->Pages(1)->Caption(), QStringLiteral("ปรับแต่งหน้าตา"));
        QCOMPARE(form.PageControl1->Pages(2)->Caption(), QStringLiteral("DCC"));
        QVERIFY(form.objectName() != QStringLiteral("F_Main"));
        QVERIFY(form.GB_SockInfo->isVisibleTo(&form));
        QVERIFY(form.GB_SockAuth->isVisibleTo(&form));
        // Sock 4 hides the authentication, which is still stored.
        form.CB_SockType->setCurrentIndex(0);
        QVERIFY(!form.GB_SockAuth->isVisibleTo(&form));
        form.ChB_UseSock->setChecked(false);
        QVERIFY(!form.GB_SockInfo->isVisibleTo(&form));
        form.ChB_UseSock->setChecked(true);
        form.CB_SockType->setCurrentIndex(1);
        QCOMPARE(form.PreviewChat->Color(), TColor(0x00FFFF));
        QVERIFY(form.PreviewChat->WordWrap());
        TZentrelSettings back;
        QVERIFY(form.StoreControls(back));
        QCOMPARE(back, s);
    }

    void fontAndBackgroundButtonsSetThePreview()
    {
        TZentrelSettings s;
        TF_Main form;
        form.LoadControls(s);
        form.show();
        // The background: the colour picker opens on the preview's colour,
        // and what its grid holds when it closes is the new background.
        std::optional<bool> pickerStartedOnWhite;
        OnModal([&](QWidget* modal) {
            auto* box = qobject_cast<TF_BoxColor*>(modal);
            QVERIFY(box);
            if (!pickerStartedOnWhite)
                pickerStartedOnWhite = box->CG_Color->ForegroundColor() == clWhite;
            const QRect yellow = box->CG_Color->CellRect(TColorGrid::ColorToIndex(clYellow));
            QTest::mouseClick(box->CG_Color, Qt::LeftButton, {}, yellow.center());
            box->close();
        });
        form.SpeedButton2->click();
        QVERIFY(pickerStartedOnWhite.value_or(false));
        QCOMPARE(form.PreviewChat->Color(), clYellow);

        // The font: the dialog starts with the preview's text colour; the
        // face and colour chosen there go to the preview.
        const QStringList families = QFontDatabase::families();
        QVERIFY(!families.isEmpty());
        QString chosen;
        std::optional<bool> startedBlack;
        OnModal([&](QWidget* modal) {
            auto* chooser = modal->findChild<QFontDialog*>();
            auto* color = modal->findChild<QComboBox*>(QStringLiteral("FontColor"));
            QVERIFY(chooser && color);
            if (!startedBlack)
                startedBlack = TColor(color->currentData().toInt()) == clBlack;
            chooser->setCurrentFont(QFont(families.last()));
            chosen = chooser->currentFont().family();
            color->setCurrentIndex(color->findData(int(clRed)));
            modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        form.SpeedButton1->click();
        QVERIFY(startedBlack.value_or(false));
        QVERIFY(!chosen.isEmpty());
        QCOMPARE(form.PreviewChat->Font().Name, chosen);
        QCOMPARE(form.PreviewChat->Font().Color, clRed);

        TZentrelSettings back = s;
        QVERIFY(form.StoreControls(back));
        QCOMPARE(back.ChatBKColor, clYellow);
        QCOMPARE(back.ChatFontName, chosen);
        QCOMPARE(back.ChatFontColor, clRed);
        // Cancelling the font dialog changes nothing.
        OnModal([](QWidget* modal) {
            modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        });
        form.SpeedButton1->click();
        QCOMPARE(form.PreviewChat->Font().Name, chosen);
    }

    void badBlockSizeStoresNothing()
    {
        makeTalvikKey();
        Settings().IRCPort = QStringLiteral("6668");
        QVERIFY(SaveConfig(Settings()));
        const QByteArray before = readAll(registry_);
        const TZentrelSettings memory = Settings();
        TF_Main form;
        form.LoadControls(Settings());
        form.E_IRCPort->setText(QStringLiteral("7777"));
        form.E_DccBlock->setText(QStringLiteral("12x"));
        QStringList boxes;
        MessageBoxService::ScopedHandler answer([&](const MessageBoxService::Request& r) {
            boxes << r.text;
            return int(MessageBoxService::IDOK);
        });
        form.Button1Click();
        QCOMPARE(boxes, QStringList{QStringLiteral("'12x' is not a valid integer value")});
        QCOMPARE(form.ModalResult(), int(TForm::mrNone));
        QCOMPARE(Settings(), memory);
        QCOMPARE(readAll(registry_), before);
        // A number out of range is clamped and stored with the rest.
        form.E_DccBlock->setText(QStringLiteral("0"));
        form.Button1Click();
        QCOMPARE(form.ModalResult(), int(TForm::mrOk));
        QCOMPARE(Settings().IRCPort, QStringLiteral("7777"));
        QCOMPARE(Settings().DCCBlock, 1);
        TZentrelSettings read;
        QVERIFY(LoadConfig(read));
        QCOMPARE(read.IRCPort, QStringLiteral("7777"));
        QCOMPARE(read.DCCBlock, 1);
        struct stat st = {};
        QCOMPARE(::stat(QFile::encodeName(registry_).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0600);
    }

    void cancelLeavesTheRegistryByteForByte()
    {
        makeTalvikKey();
        QVERIFY(SaveConfig(Settings()));
        const QByteArray before = readAll(registry_);
        OnModal([](QWidget* modal) {
            auto* form = qobject_cast<TF_Main*>(modal);
            QVERIFY(form);
            form->E_IRCPort->setText(QStringLiteral("1234"));
            form->ChB_DCCAutoReceive->setChecked(true);
            QTest::mouseClick(form->Button2, Qt::LeftButton);
        });
        TF_Main::Execute();
        QCOMPARE(readAll(registry_), before);
        QCOMPARE(Settings(), TZentrelSettings());
    }

    void withoutTalvikSoftwareOkChangesOnlyMemory()
    {
        OnModal([](QWidget* modal) {
            auto* form = qobject_cast<TF_Main*>(modal);
            QVERIFY(form);
            form->E_IRCPort->setText(QStringLiteral("1234"));
            QTest::mouseClick(form->Button1, Qt::LeftButton);
        });
        TF_Main::Execute();
        QCOMPARE(Settings().IRCPort, QStringLiteral("1234"));
        QVERIFY(!QFile::exists(registry_) || !readAll(registry_).contains("Talvik_Software"));
    }

    void backgroundPickerTakesTheLeftClick()
    {
        TF_BoxColor box;
        box.show();
        QVERIFY(!box.CG_Color->BackgroundEnabled());
        box.CG_Color->SetForegroundColor(clWhite);
        QCOMPARE(box.CG_Color->ForegroundIndex(), 15);
        const QRect red = box.CG_Color->CellRect(TColorGrid::ColorToIndex(clRed));
        QTest::mouseClick(box.CG_Color, Qt::RightButton, {}, red.center());
        QCOMPARE(box.CG_Color->ForegroundColor(), clWhite);
        QTest::mouseClick(box.CG_Color, Qt::LeftButton, {}, red.center());
        QCOMPARE(box.CG_Color->ForegroundColor(), clRed);
    }

    void compositionGridColoursTheSelectionAsItsHintSays()
    {
        Settings().ChatFontColor = clBlack;
        Settings().ChatBKColor = clWhite;
        TF_Color form;
        form.FormShow();
        form.show();
        QCOMPARE(form.Panel1->Caption(),
                 QStringLiteral("HINT:Click ขวาเลือกสีอักษร , Click ซ้ายเลือกสีพื้น"));
        form.R_Edit->SetText(QStringLiteral("abc"));
        form.R_Edit->SetSelection(0, 2, false);
        auto cell = [&](TColor c) {
            return form.CG_Color->CellRect(TColorGrid::ColorToIndex(c)).center();
        };
        QTest::mouseClick(form.CG_Color, Qt::RightButton, {}, cell(clRed));   // text
        QTest::mouseClick(form.CG_Color, Qt::LeftButton, {}, cell(clYellow)); // background
        QCOMPARE(form.CG_Color->ForegroundColor(), clRed);
        QCOMPARE(form.CG_Color->BackgroundColor(), clYellow);
        form.BitBtn1Click();
        QCOMPARE(form.Result(), QStringLiteral("\x03"
                                               "4,8ab\x03"
                                               "1,0c"));
    }

    void nickPromptReturnsTheTypedNick()
    {
        OnModal([](QWidget* modal) {
            auto* form = qobject_cast<TF_Nick*>(modal);
            QVERIFY(form);
            QCOMPARE(form->Caption(), QStringLiteral("Automatic join"));
            form->E_Nick->clear();
            QTest::keyClicks(form->E_Nick, QStringLiteral("somchai"));
            QTest::mouseClick(form->Button1, Qt::LeftButton);
        });
        QCOMPARE(TF_Nick::Execute(), QStringLiteral("somchai"));
    }
};

QTEST_MAIN(TestFormsDialogs)
#include "forms_dialogs.moc"
