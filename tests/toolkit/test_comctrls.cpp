// The page control, the colour grid and the list box the chat plug-in's
// forms are built from.
#include "toolkit/ColorGrid.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/FontDialog.h"
#include "toolkit/FontFaces.h"
#include "toolkit/ListBox.h"

#include "ModalWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QSignalSpy>
#include <QtTest>

#include <utility>

class TestComCtrls : public QObject
{
    Q_OBJECT

private slots:
    void pagesKeepTheirOrderAndCaptions()
    {
        TPageControl pages(QStringLiteral("PC_Page"));
        auto* one = new TTabSheet(QStringLiteral("TabSheet1"), &pages);
        auto* two = new TTabSheet(QStringLiteral("TabSheet2"), &pages);
        one->SetCaption(QStringLiteral("หนึ่ง"));
        two->SetCaption(QStringLiteral("two"));
        QCOMPARE(pages.PageCount(), 2);
        QCOMPARE(pages.tabText(0), QStringLiteral("หนึ่ง"));
        QCOMPARE(two->PageIndex(), 1);
        QSignalSpy changed(&pages, &TPageControl::Change);
        pages.SetActivePage(two);
        QCOMPARE(pages.ActivePage(), two);
        QCOMPARE(changed.count(), 1);
    }

    void gridPicksWithEitherButton()
    {
        TColorGrid grid(QStringLiteral("CG_Color"));
        grid.resize(80, 80);
        grid.show();
        QCOMPARE(TColorGrid::StandardColors().size(), size_t(16));
        QCOMPARE(TColorGrid::ColorToIndex(clRed), 9);
        QCOMPARE(TColorGrid::ColorToIndex(0x123456), -1);
        QSignalSpy changed(&grid, &TColorGrid::Change);
        auto at = [&](TColor c) { return grid.CellRect(TColorGrid::ColorToIndex(c)).center(); };
        QTest::mouseClick(&grid, Qt::LeftButton, {}, at(clBlue));
        QCOMPARE(grid.ForegroundColor(), clBlue);
        QTest::mouseClick(&grid, Qt::RightButton, {}, at(clYellow));
        QCOMPARE(grid.BackgroundColor(), clYellow);
        QCOMPARE(changed.count(), 2);
        // Without a background choice a right click does nothing.
        grid.SetBackgroundEnabled(false);
        QTest::mouseClick(&grid, Qt::RightButton, {}, at(clLime));
        QCOMPARE(grid.BackgroundColor(), clYellow);
        // Swapped buttons.
        grid.SetBackgroundEnabled(true);
        grid.SetClickButtons(Qt::RightButton, Qt::LeftButton);
        QTest::mouseClick(&grid, Qt::RightButton, {}, at(clGreen));
        QTest::mouseClick(&grid, Qt::LeftButton, {}, at(clNavy));
        QCOMPARE(grid.ForegroundColor(), clGreen);
        QCOMPARE(grid.BackgroundColor(), clNavy);
        // A colour that is not in the grid leaves the choice.
        grid.SetForegroundColor(0x123456);
        QCOMPARE(grid.ForegroundColor(), clGreen);
    }

    void sortedListBoxIgnoresCase()
    {
        TListBox list(QStringLiteral("lstNameList"));
        list.SetSorted(true);
        for (const char* nick : {"bob", "@Zed", "Alice", "+carol", "alan"})
            list.Add(QString::fromLatin1(nick));
        QCOMPARE(list.AllItems(), QStringList({"+carol", "@Zed", "alan", "Alice", "bob"}));
        list.SetMultiSelect(true);
        list.SetSelected(1, true);
        list.SetSelected(4, true);
        QCOMPARE(list.SelectedItems(), QStringList({"@Zed", "bob"}));
        list.Delete(0);
        QCOMPARE(list.IndexOf(QStringLiteral("bob")), 3);
    }

    void fontDialogReturnsFaceAndColour()
    {
        TFontDialog dialog;
        dialog.Font.Name = QStringLiteral("DejaVu Sans");
        dialog.Font.Color = clRed;
        dialog.Font.Charset = THAI_CHARSET;
        bool first = true;
        OnModal([&first](QWidget* modal) {
            auto* colors = modal->findChild<QComboBox*>(QStringLiteral("FontColor"));
            QVERIFY(colors);
            if (std::exchange(first, false))
                QCOMPARE(colors->currentIndex(), 9);
            colors->setCurrentIndex(12);
            static_cast<QDialog*>(modal)->accept();
        });
        QVERIFY(dialog.Execute());
        QCOMPARE(dialog.Font.Color, clBlue);
        QCOMPARE(dialog.Font.Charset, THAI_CHARSET);
        QCOMPARE(dialog.Font.Name, QStringLiteral("DejaVu Sans"));
    }

    void windowsFacesAreDrawnWithInstalledOnes()
    {
        FontFaces::InstallSubstitutes();
        FontFaces::InstallSubstitutes();
        for (const char* stored : {"Ms Sans Serif", "Courier New", "Wingdings"}) {
            const QString face = FontFaces::DisplayFace(QString::fromLatin1(stored));
            QVERIFY2(QFontDatabase::families().contains(face), qPrintable(face));
            // The stored name stays; Qt draws it with the substitute.
            QFont font(QString::fromLatin1(stored));
            QCOMPARE(font.family(), QString::fromLatin1(stored));
            QCOMPARE(QFontInfo(font).family(), face);
        }
        QVERIFY(QFontDatabase::families().contains(FontFaces::DisplayFace("Ms Sans Serif")));
        QVERIFY(QFontDatabase::writingSystems(FontFaces::DisplayFace("Ms Sans Serif"))
                    .contains(QFontDatabase::Thai));
        QVERIFY(QFontDatabase::isFixedPitch(FontFaces::DisplayFace("Courier New")));
    }
};

QTEST_MAIN(TestComCtrls)
#include "test_comctrls.moc"
