#include "components/VCLUtils.h"
#include "components/speedbar/SpeedBar.h"
#include "components/speedbar/SpeedbarSetup.h"
#include "toolkit/ImgList.h"

#include "MouseTaker.h"

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QtTest>

#include <memory>

namespace {

// A window with an Align layout: a speed bar at the top (as it starts) and
// a client control filling the rest.
class Host : public QWidget
{
public:
    explicit Host(QSize size = QSize(400, 300))
    {
        layout = new TAlignLayout(this);
        bar = new TSpeedBar(QStringLiteral("SpB_Test"), this);
        client = new QWidget(this);
        layout->addWidget(client, TAlign::alClient);
        resize(size);
        show();
        layout->activate();
    }
    TAlignLayout* layout;
    TSpeedBar* bar;
    QWidget* client;
};

QList<QWidget*> frameWindows()
{
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("InvertFrame") && w->isVisible())
            found.append(w);
    return found;
}

// Drags the bar from a press point to a point of its parent, through the
// mouse, with a first step of `firstStep` pixels to the right.
void dragBar(TSpeedBar* bar, QPoint press, QPoint parentTarget, int firstStep = 10)
{
    QTest::mousePress(bar, Qt::LeftButton, {}, press);
    QTest::mouseMove(bar, press + QPoint(firstStep, 0));
    QTest::mouseMove(bar, bar->mapFromParent(parentTarget));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromParent(parentTarget));
}

QImage solid(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

class TestSpeedBar : public QObject
{
    Q_OBJECT
private slots:
    void creation()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        QCOMPARE(bar->Align(), TAlign::alTop);
        QCOMPARE(host.layout->Align(bar), TAlign::alTop);
        QCOMPARE(bar->BtnWidth(), 24);
        QCOMPARE(bar->BtnHeight(), 23);
        QCOMPARE(bar->Options(), TSpeedbarOptions(sbAllowDrag | sbGrayedBtns));
        // A raised outer bevel one pixel wide: offsets 2 + 1, height 2 x 3 + 23.
        QCOMPARE(bar->BtnOffsetHorz(), 3);
        QCOMPARE(bar->BtnOffsetVert(), 3);
        QCOMPARE(bar->height(), 29);
        QCOMPARE(bar->width(), 400);
        QVERIFY(!bar->IsVertical());
        QCOMPARE(bar->GridStepHorz(), 8);
        QCOMPARE(bar->GridStepVert(), 23);
        // The system's menu font, its own rather than the window's.
        host.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 20));
        QCOMPARE(bar->font(), QApplication::font("QMenu"));
        QVERIFY(bar->testAttribute(Qt::WA_SetFont));
    }

    void layoutStoreLink()
    {
        // The bar reaches its placement's store through a link of its own,
        // whose save and load are the bar's.
        class Counting : public TSpeedBar
        {
        public:
            using TSpeedBar::TSpeedBar;
            int saves = 0, loads = 0;
            void SaveBarLayout() override { ++saves; }
            void LoadBarLayout() override { ++loads; }
        };
        TForm form;
        auto* placement = new TFormPlacement(&form, QStringLiteral("Placement"));
        auto* bar = new Counting(QStringLiteral("SpB"), &form);
        bar->SetIniStorage(placement);
        QCOMPARE(bar->IniStorage(), placement);
        QVERIFY(placement->Links().contains(bar->IniLink()));
        bar->IniLink()->SaveToIni();
        bar->IniLink()->LoadFromIni();
        QCOMPARE(bar->saves, 1);
        QCOMPARE(bar->loads, 1);
        delete bar;
        QVERIFY(placement->Links().isEmpty());
    }

    void gridSteps_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("step");
        QTest::newRow("22 grows from 7 to 11") << 22 << 11;
        QTest::newRow("24") << 24 << 8;
        QTest::newRow("23 is prime") << 23 << 1;
        QTest::newRow("21") << 21 << 7;
        QTest::newRow("6") << 6 << 2;
        QTest::newRow("2") << 2 << 1;
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("0") << 0 << 1;
        QTest::newRow("negative") << -5 << 1;
    }
    void gridSteps()
    {
        QFETCH(int, size);
        QFETCH(int, step);
        QCOMPARE(TSpeedBar::GridStep(size), step);
        Host host;
        host.bar->SetBtnWidth(size);
        QCOMPARE(host.bar->GridStepHorz(), step);
        QCOMPARE(host.bar->GridStepVert(), host.bar->BtnHeight());
    }

    void minimumOffset()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        bar->SetBevelOuter(bvNone);
        QCOMPARE(bar->MinButtonOffset(), 2);
        bar->SetBtnOffsetHorz(0);
        bar->SetBtnOffsetVert(1);
        QCOMPARE(bar->BtnOffsetHorz(), 2);
        QCOMPARE(bar->BtnOffsetVert(), 2);
        bar->SetOptions(bar->Options() | sbFlatBtns);
        QCOMPARE(bar->MinButtonOffset(), 0);
        bar->SetBorderWidth(2);
        bar->SetBevelInner(bvLowered);
        bar->SetBevelWidth(3);
        QCOMPARE(bar->MinButtonOffset(), 5);
        // Aligning raises the offsets that fell below the new minimum.
        QCOMPARE(bar->BtnOffsetHorz(), 5);
    }

    void snapping_data()
    {
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<QPoint>("snapped");
        // Offsets 3, buttons 24 x 23: steps 8 along, 23 across.
        QTest::newRow("on the grid") << QPoint(11, 3) << QPoint(11, 3);
        QTest::newRow("nearest below") << QPoint(14, 3) << QPoint(11, 3);
        QTest::newRow("nearest above") << QPoint(16, 3) << QPoint(19, 3);
        QTest::newRow("half way to an even step") << QPoint(15, 3) << QPoint(19, 3);
        QTest::newRow("half way, even step below") << QPoint(23, 3) << QPoint(19, 3);
        QTest::newRow("across: cut down") << QPoint(11, 48) << QPoint(11, 26);
    }
    void snapping()
    {
        QFETCH(QPoint, position);
        QFETCH(QPoint, snapped);
        Host host;
        TSpeedBar* bar = host.bar;
        bar->SetHeight(80);
        const int section = bar->NewSection(QStringLiteral("Files"));
        auto* item = new TSpeedItem(&host, QStringLiteral("Open"));
        bar->PlaceItem(section, item);
        item->SetVisible(true);
        item->SetLeft(position.x());
        item->SetTop(position.y());
        bar->SnapItem(item);
        QCOMPARE(item->ItemButton()->pos(), snapped);
    }

    void triangles_data()
    {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<int>("edge");
        // A parent 200 x 100.
        QTest::newRow("top") << QPoint(100, 5) << int(TAlign::alTop);
        QTest::newRow("bottom") << QPoint(100, 95) << int(TAlign::alBottom);
        QTest::newRow("left") << QPoint(10, 50) << int(TAlign::alLeft);
        QTest::newRow("right") << QPoint(190, 50) << int(TAlign::alRight);
        // On the diagonal from top-left to bottom-right: top or right.
        QTest::newRow("falling diagonal, upper half") << QPoint(40, 20) << int(TAlign::alTop);
        QTest::newRow("falling diagonal, lower half") << QPoint(160, 80) << int(TAlign::alRight);
        QTest::newRow("centre") << QPoint(100, 50) << int(TAlign::alRight);
        // On the diagonal from bottom-left to top-right: not above it.
        QTest::newRow("rising diagonal, lower half") << QPoint(40, 80) << int(TAlign::alBottom);
        QTest::newRow("rising diagonal, upper half") << QPoint(160, 20) << int(TAlign::alRight);
        QTest::newRow("outside, above") << QPoint(100, -30) << int(TAlign::alTop);
    }
    void triangles()
    {
        QFETCH(QPoint, point);
        QFETCH(int, edge);
        QCOMPARE(int(TSpeedBar::TriangleEdge(point, QSize(200, 100), TAlign::alBottom)), edge);
    }

    void noAreaNoEdge()
    {
        // A parent without area divides nothing: the bar keeps its edge.
        for (QSize size : {QSize(0, 100), QSize(200, 0), QSize(0, 0)})
            QCOMPARE(TSpeedBar::TriangleEdge(QPoint(0, 0), size, TAlign::alBottom),
                     TAlign::alBottom);
        Host host(QSize(0, 0));
        int moves = 0;
        host.bar->OnPosChanged = [&] { ++moves; };
        dragBar(host.bar, QPoint(5, 5), QPoint(0, 0));
        QCOMPARE(host.bar->Align(), TAlign::alTop);
        QCOMPARE(moves, 1);
    }

    void tiles()
    {
        // 3 x 2 tiles of 10 x 10 on 25 x 12, the last ones clipped.
        QCOMPARE(TSpeedBar::WallpaperTiles(QRect(2, 3, 25, 12), QSize(10, 10)), QSize(3, 2));
        QCOMPARE(TSpeedBar::WallpaperTiles(QRect(2, 3, 20, 10), QSize(10, 10)), QSize(3, 2));
        QCOMPARE(TSpeedBar::WallpaperTiles(QRect(0, 0, 25, 12), QSize(0, 10)), QSize(0, 0));
        QCOMPARE(TSpeedBar::WallpaperTiles(QRect(0, 0, 0, 0), QSize(10, 10)), QSize(1, 1));
    }

    void wallpaperAndBoundLines()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        bar->SetBevelOuter(bvNone);
        bar->SetHeight(30);
        QImage picture = solid(QSize(10, 10), qRgb(0, 0, 255));
        picture.setPixel(0, 0, qRgb(255, 0, 0));
        bar->SetWallpaper(picture);
        QImage shot = bar->grab().toImage();
        // Tiled: the red corner pixel repeats every 10 pixels.
        QCOMPARE(shot.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(shot.pixel(10, 20), qRgb(255, 0, 0));
        QCOMPARE(shot.pixel(390, 20), qRgb(255, 0, 0));
        QCOMPARE(shot.pixel(5, 5), qRgb(0, 0, 255));
        // A picture of one pixel covers the whole bar.
        bar->SetWallpaper(solid(QSize(1, 1), qRgb(0, 160, 0)));
        shot = bar->grab().toImage();
        QCOMPARE(shot.pixel(0, 0), qRgb(0, 160, 0));
        QCOMPARE(shot.pixel(399, 29), qRgb(0, 160, 0));
        bar->SetWallpaper(picture);
        // Stretched: one red corner, scaled up.
        bar->SetOptions(bar->Options() | sbStretchBitmap);
        shot = bar->grab().toImage();
        QCOMPARE(shot.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(shot.pixel(10, 20), qRgb(0, 0, 255));
        // Bound lines over the wallpaper.
        bar->SetBoundLines(blTop | blBottom);
        shot = bar->grab().toImage();
        QCOMPARE(shot.pixel(50, 0), SysColor(clBtnShadow).rgb());
        QCOMPARE(shot.pixel(50, 1), SysColor(clBtnHighlight).rgb());
        QCOMPARE(shot.pixel(50, 28), SysColor(clBtnShadow).rgb());
        QCOMPARE(shot.pixel(50, 29), SysColor(clBtnHighlight).rgb());
        QCOMPARE(shot.pixel(50, 15), qRgb(0, 0, 255));

        // Flat transparent item buttons show the wallpaper at rest, also
        // when the whole window paints.
        bar->SetOptions(sbFlatBtns | sbTransparentBtns);
        auto* item = new TSpeedItem(&host, QStringLiteral("Open"));
        bar->PlaceItem(bar->NewSection(QStringLiteral("Files")), item);
        item->SetVisible(true);
        item->SetLeft(60);
        const QPoint corner = item->ItemButton()->geometry().topLeft() + QPoint(1, 1);
        QCOMPARE(host.grab().toImage().pixel(corner), qRgb(0, 0, 255));
        QCOMPARE(item->ItemButton()->grab().toImage().pixel(1, 1), qRgb(0, 0, 255));
    }

    void alignRules()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        for (TAlign align : {TAlign::alClient, TAlign::alNone}) {
            try {
                bar->SetAlign(align);
                QFAIL("no error");
            } catch (const ESpeedbarError& e) {
                QCOMPARE(QString::fromUtf8(e.what()),
                         QStringLiteral("Cannot set this property value while Position is bpAuto"));
            }
            QCOMPARE(bar->Align(), TAlign::alTop);
        }
        bar->Position = bpCustom;
        bar->SetAlign(TAlign::alClient);
        QCOMPARE(bar->Align(), TAlign::alClient);
        QVERIFY(!bar->IsVertical());
    }

    void orientationSwaps()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        bar->SetBtnWidth(22);
        bar->SetBtnHeight(21);
        bar->SetBtnOffsetHorz(4);
        bar->SetBtnOffsetVert(5);
        const int section = bar->NewSection(QStringLiteral("Files"));
        auto* item = new TSpeedItem(&host, QStringLiteral("Open"));
        bar->PlaceItem(section, item);
        item->SetVisible(true);
        item->SetLeft(37);
        item->SetTop(5);
        const int thickness = bar->height();
        bar->SetAlign(TAlign::alLeft);
        QVERIFY(bar->IsVertical());
        QCOMPARE(bar->BtnWidth(), 21);
        QCOMPARE(bar->BtnHeight(), 22);
        QCOMPARE(bar->BtnOffsetHorz(), 5);
        QCOMPARE(bar->BtnOffsetVert(), 4);
        QCOMPARE(bar->GridStepVert(), 11);
        QCOMPARE(bar->GridStepHorz(), 21);
        QCOMPARE(item->ItemButton()->geometry(), QRect(5, 37, 21, 22));
        host.layout->activate();
        QCOMPARE(bar->width(), thickness);
        QCOMPARE(bar->height(), 300);
        bar->SetAlign(TAlign::alBottom);
        QVERIFY(!bar->IsVertical());
        QCOMPARE(bar->BtnWidth(), 22);
        QCOMPARE(item->ItemButton()->geometry(), QRect(37, 5, 22, 21));
    }

    void optionsReachTheButtons()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        const int section = bar->NewSection(QStringLiteral("Files"));
        auto* a = new TSpeedItem(&host, QStringLiteral("Open"));
        auto* b = new TSpeedItem(&host, QStringLiteral("Save"));
        bar->PlaceItem(section, a);
        bar->PlaceItem(section, b);
        QVERIFY(a->ItemButton()->GrayedInactive());
        QVERIFY(!a->ItemButton()->Flat());
        QCOMPARE(a->ItemButton()->Style(), bsNew);
        bar->SetOptions(sbFlatBtns | sbTransparentBtns);
        for (TSpeedItem* item : {a, b}) {
            QVERIFY(item->ItemButton()->Flat());
            QVERIFY(item->ItemButton()->Transparent());
            QVERIFY(!item->ItemButton()->GrayedInactive());
        }
        // A new item takes the bar's options as it is attached.
        auto* c = new TSpeedItem(&host, QStringLiteral("Close"));
        bar->PlaceItem(section, c);
        QVERIFY(c->ItemButton()->Flat());
    }

    void sizesReachTheButtons()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        const int section = bar->NewSection(QStringLiteral("Files"));
        auto* item = new TSpeedItem(&host, QStringLiteral("Open"));
        bar->PlaceItem(section, item);
        bar->SetBtnHeight(40);
        QCOMPARE(item->ItemButton()->size(), QSize(24, 40));
        // The bar grows to hold a row of buttons.
        QCOMPARE(bar->height(), 2 * 3 + 40);
        // Scaling: buttons and offsets twice as big; nothing for a zero
        // divider.
        bar->ChangeScale(2, 1);
        QCOMPARE(bar->BtnWidth(), 48);
        QCOMPARE(bar->BtnHeight(), 80);
        QCOMPARE(bar->BtnOffsetHorz(), 6);
        QCOMPARE(item->ItemButton()->size(), QSize(48, 80));
        bar->ChangeScale(1, 0);
        QCOMPARE(bar->BtnWidth(), 48);
    }

    void sections()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        QCOMPARE(bar->NewSection(QStringLiteral("Files")), 0);
        QCOMPARE(bar->NewSection(QStringLiteral("Files")), 1);
        QCOMPARE(bar->NewSection(QStringLiteral("Files")), 2);
        QCOMPARE(bar->Sections(1)->Caption(), QStringLiteral("Files (1)"));
        QCOMPARE(bar->Sections(2)->Caption(), QStringLiteral("Files (2)"));
        QCOMPARE(bar->SectionIndexOf(QStringLiteral("Files (2)")), 2);
        QCOMPARE(bar->SectionIndexOf(QStringLiteral("files")), -1);
        try {
            bar->Sections(2)->SetCaption(QStringLiteral("Files"));
            QFAIL("no error");
        } catch (const ESpeedbarError& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("String list does not allow duplicates"));
        }
        QCOMPARE(bar->Sections(2)->Caption(), QStringLiteral("Files (2)"));
        bar->Sections(2)->SetCaption(QStringLiteral("Files (2)")); // its own caption
        bar->Sections(2)->SetIndex(0);
        QCOMPARE(bar->Sections(0)->Caption(), QStringLiteral("Files (2)"));
        bar->Sections(0)->SetIndex(99);
        QCOMPARE(bar->Sections(2)->Caption(), QStringLiteral("Files (2)"));
        bar->FreeSection(1);
        QCOMPARE(bar->SectionCount(), 2);
        bar->ClearSections();
        QCOMPARE(bar->SectionCount(), 0);
    }

    void itemsInSections()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        // An item placed in a bar without sections gets one.
        auto* open = new TSpeedItem(&host, QStringLiteral("Open"));
        bar->PlaceItem(0, open);
        QCOMPARE(bar->SectionCount(), 1);
        QCOMPARE(open->Section(), 0);
        QCOMPARE(open->OwnerBar(), bar);
        QCOMPARE(open->ItemButton()->parentWidget(), bar);
        QVERIFY(open->ItemButton()->isHidden());
        QCOMPARE(bar->FindItemByName(QStringLiteral("OPEN")), open);

        const int edit = bar->NewSection(QStringLiteral("Edit"));
        bar->PlaceItem(edit, open); // moved to another section
        QCOMPARE(open->Section(), edit);
        int s = -1, p = -1;
        QVERIFY(bar->LocateItem(open, s, p));
        QCOMPARE(s, edit);
        QCOMPARE(open->SectionName(), QStringLiteral("Edit"));
        int count = 0;
        bar->EnumItems([&](TSpeedItem*) { ++count; });
        QCOMPARE(count, 1);

        // An item read back naming no section of the bar goes to the first.
        auto* lost = new TSpeedItem(&host, QStringLiteral("Lost"));
        lost->SetSectionName(QStringLiteral("Nowhere"));
        lost->ReadState(bar);
        QCOMPARE(lost->Section(), 0);

        // A section with three items given to another bar leaves them
        // behind outside any bar; it arrives empty.
        Host other;
        QList<TSpeedItem*> three;
        for (int i = 0; i < 3; ++i) {
            three.append(new TSpeedItem(&host, QStringLiteral("Three%1").arg(i)));
            bar->PlaceItem(edit, three.last());
        }
        TSpeedbarSection* section = bar->Sections(edit);
        QCOMPARE(section->Count(), 4);
        section->SetParentComponent(other.bar);
        for (TSpeedItem* item : three) {
            QVERIFY(item->OwnerBar() == nullptr);
            QCOMPARE(item->Section(), -1);
        }
        QCOMPARE(section->Count(), 0);
        QCOMPARE(section->OwnerBar(), other.bar);
        QCOMPARE(bar->SectionCount(), 1);

        // Freeing an item takes it out of its bar.
        delete lost;
        QCOMPARE(bar->Sections(0)->Count(), 0);
    }

    void captionsAndHints()
    {
        Host host;
        auto* item = new TSpeedItem(&host, QStringLiteral("OpenBtn"));
        item->SetCaption(QStringLiteral("OpenBtn"));
        QCOMPARE(item->Hint(), QStringLiteral("OpenBtn|"));
        item->SetName(QStringLiteral("OpenButton"));
        QCOMPARE(item->Caption(), QStringLiteral("OpenButton"));
        item->SetCaption(QStringLiteral("Open|Opens a file"));
        QCOMPARE(item->Hint(), QStringLiteral("Open|Opens a file"));
        // Once the caption was set by hand, renaming leaves it.
        item->SetName(QStringLiteral("Other"));
        QCOMPARE(item->Caption(), QStringLiteral("Open|Opens a file"));

        // A caption with an empty long part keeps the hint's long part.
        auto* load = new TSpeedItem(&host, QStringLiteral("Load"));
        load->SetCaption(QStringLiteral("Open"));
        load->SetHint(QStringLiteral("Open|Opens a file"));
        load->SetCaption(QStringLiteral("Open|"));
        QCOMPARE(load->Hint(), QStringLiteral("Open|Opens a file"));
        auto* save = new TSpeedItem(&host, QStringLiteral("Save"));
        save->SetCaption(QStringLiteral("Save"));
        save->SetHint(QStringLiteral("Save|Writes the page"));
        save->SetCaption(QStringLiteral("Store"));
        QCOMPARE(save->Hint(), QStringLiteral("Store|Writes the page"));
        // A hint of its own stops following the caption.
        save->SetHint(QStringLiteral("Mine"));
        save->SetCaption(QStringLiteral("Again"));
        QCOMPARE(save->Hint(), QStringLiteral("Mine"));
    }

    void itemVisibilityAndEnabling()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        int changes = 0;
        bar->OnVisibleChanged = [&] { ++changes; };
        auto* item = new TSpeedItem(&host, QStringLiteral("Open"));
        item->SetVisible(true); // outside a bar: no window of its own
        QVERIFY(item->ItemButton()->isHidden());
        bar->PlaceItem(0, item);
        item->SetVisible(true);
        QVERIFY(item->ItemButton()->isVisible());
        bar->hide();
        QCOMPARE(changes, 1);
        QVERIFY(item->ItemButton()->isHidden());
        bar->show();
        QCOMPARE(changes, 2);
        QVERIFY(item->ItemButton()->isVisible());
        item->SetEnabled(false);
        QVERIFY(!item->ItemButton()->isEnabled());
        item->SetEnabled(true);
        bar->setEnabled(false);
        QVERIFY(!item->ItemButton()->isEnabled());
        bar->setEnabled(true);
        QVERIFY(item->ItemButton()->isEnabled());
        item->SetEnabled(false);
        // Customise mode enables every button; leaving it applies Enabled.
        QObject editWindow;
        bar->SetEditWindow(&editWindow);
        QVERIFY(item->Editing());
        QVERIFY(item->ItemButton()->isEnabled());
        bar->SetEditWindow(nullptr);
        QVERIFY(!item->Editing());
        QVERIFY(!item->ItemButton()->isEnabled());
    }

    void imageListItems()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        auto* images = new TImageList(16, 16, &host);
        images->Add(solid(QSize(16, 16), qRgb(0, 200, 0)));
        bar->SetImages(images);
        auto* item = new TSpeedItem(&host, QStringLiteral("Open"));
        bar->PlaceItem(0, item);
        item->SetImageIndex(0);
        item->SetVisible(true);
        QImage shot = item->ItemButton()->grab().toImage();
        QCOMPARE(shot.pixel(12, 11), qRgb(0, 200, 0));
        // With a glyph of its own as well, a flat button at rest draws the
        // grey of the list's image, not of its glyph.
        bar->SetOptions(bar->Options() | sbFlatBtns);
        item->SetGlyph(solid(QSize(16, 16), qRgb(200, 0, 0)));
        item->SetEnabled(false);
        item->SetEnabled(true);
        const int grey = (150 * 200) >> 8;
        QCOMPARE(item->ItemButton()->grab().toImage().pixel(12, 11), qRgb(grey, grey, grey));
        delete images;
        QVERIFY(bar->Images() == nullptr);
        shot = item->ItemButton()->grab().toImage();
        QVERIFY(shot.pixel(12, 11) != qRgb(0, 200, 0));
    }

    void dropRules()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        bar->SetHeight(29);
        const int section = bar->NewSection(QStringLiteral("Files"));
        auto* a = new TSpeedItem(&host, QStringLiteral("A"));
        auto* b = new TSpeedItem(&host, QStringLiteral("B"));
        bar->PlaceItem(section, a);
        bar->PlaceItem(section, b);
        // Onto the grid.
        QVERIFY(bar->DropItemAt(a, 20, 4));
        QCOMPARE(a->ItemButton()->pos(), QPoint(19, 3));
        QVERIFY(a->Visible());
        // Not on top of another item: the next free cell along the bar.
        QVERIFY(bar->DropItemAt(b, 21, 3));
        QCOMPARE(b->ItemButton()->pos(), QPoint(43, 3));
        QVERIFY(!a->ItemButton()->geometry().intersects(b->ItemButton()->geometry()));
        // Not past the right edge: the last cell that holds the button.
        QVERIFY(bar->DropItemAt(b, 398, 3));
        QVERIFY(bar->rect().contains(b->ItemButton()->geometry()));
        QCOMPARE(b->ItemButton()->x(), 371);
        // Outside the bar: hidden.
        QVERIFY(!bar->DropItemAt(b, 500, 3));
        QVERIFY(!b->Visible());
        // An item of no bar is left alone.
        TSpeedItem stray(&host, QStringLiteral("Stray"));
        QVERIFY(!bar->DropItemAt(&stray, 20, 3));
        // A bar too small for a button takes none.
        bar->SetBtnHeight(100);
        bar->SetHeight(20);
        host.layout->activate();
        QVERIFY(!bar->DropItemAt(b, 20, 3));
    }

    void dockingByDrag_data()
    {
        QTest::addColumn<QPoint>("target");
        QTest::addColumn<int>("edge");
        QTest::newRow("bottom") << QPoint(200, 290) << int(TAlign::alBottom);
        QTest::newRow("left") << QPoint(10, 150) << int(TAlign::alLeft);
        QTest::newRow("right") << QPoint(390, 150) << int(TAlign::alRight);
        QTest::newRow("top again") << QPoint(200, 10) << int(TAlign::alTop);
    }
    void dockingByDrag()
    {
        QFETCH(QPoint, target);
        QFETCH(int, edge);
        Host host;
        TSpeedBar* bar = host.bar;
        int moves = 0;
        bar->OnPosChanged = [&] { ++moves; };
        const int thickness = bar->height();
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(100, 10));
        QTest::mouseMove(bar, QPoint(110, 10));
        QVERIFY(bar->Docking());
        QCOMPARE(frameWindows().size(), 4);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BitmapCursor);
        QTest::mouseMove(bar, bar->mapFromParent(target));
        // The frame shows where the bar would dock.
        QRect frame = bar->DragFrame();
        frame.moveTopLeft(host.mapFromGlobal(frame.topLeft()));
        switch (TAlign(edge)) {
        case TAlign::alBottom:
            QCOMPARE(frame, QRect(0, 300 - thickness, 400, thickness));
            break;
        case TAlign::alLeft:
            QCOMPARE(frame, QRect(0, 0, thickness, 300));
            break;
        case TAlign::alRight:
            QCOMPARE(frame, QRect(400 - thickness, 0, thickness, 300));
            break;
        default:
            QCOMPARE(frame, QRect(0, 0, 400, thickness));
            break;
        }
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromParent(target));
        QVERIFY(!bar->Docking());
        QCOMPARE(frameWindows().size(), 0);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QCOMPARE(int(bar->Align()), edge);
        QCOMPARE(int(host.layout->Align(bar)), edge);
        QCOMPARE(moves, 1);
        host.layout->activate();
        const QRect g = bar->geometry();
        switch (TAlign(edge)) {
        case TAlign::alBottom:
            QCOMPARE(g, QRect(0, 300 - thickness, 400, thickness));
            break;
        case TAlign::alLeft:
            QCOMPARE(g, QRect(0, 0, thickness, 300));
            break;
        case TAlign::alRight:
            QCOMPARE(g, QRect(400 - thickness, 0, thickness, 300));
            break;
        default:
            QCOMPARE(g, QRect(0, 0, 400, thickness));
            break;
        }
    }

    void dragThreshold_data()
    {
        QTest::addColumn<QPoint>("step");
        QTest::addColumn<bool>("docks");
        QTest::newRow("4 across") << QPoint(4, 0) << false;
        QTest::newRow("4 down") << QPoint(0, 4) << false;
        QTest::newRow("4 both ways") << QPoint(-4, 4) << false;
        QTest::newRow("5 across") << QPoint(5, 0) << true;
        QTest::newRow("5 up") << QPoint(0, -5) << true;
        QTest::newRow("none") << QPoint(0, 0) << false;
    }
    void dragThreshold()
    {
        QFETCH(QPoint, step);
        QFETCH(bool, docks);
        Host host;
        int moves = 0;
        host.bar->OnPosChanged = [&] { ++moves; };
        const QPoint press(100, 10);
        QTest::mousePress(host.bar, Qt::LeftButton, {}, press);
        QTest::mouseMove(host.bar, press + step);
        QCOMPARE(host.bar->Docking(), docks);
        QTest::mouseRelease(host.bar, Qt::LeftButton, {}, press + step);
        QCOMPARE(moves, docks ? 1 : 0);
        QCOMPARE(host.bar->Align(), TAlign::alTop);
    }

    void applyAlignRefuses()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        QList<TAlign> asked;
        bar->OnApplyAlign = [&](TSpeedBar*, TAlign align, bool& apply) {
            asked.append(align);
            apply = align == TAlign::alTop || align == TAlign::alBottom;
        };
        int moves = 0;
        bar->OnPosChanged = [&] { ++moves; };
        // Into the left triangle: refused, the bar stays at the top.
        dragBar(bar, QPoint(100, 10), QPoint(10, 150));
        QVERIFY(asked.contains(TAlign::alLeft));
        QCOMPARE(bar->Align(), TAlign::alTop);
        QCOMPARE(moves, 1);
        // Through the bottom (accepted) into the left: it docks at the
        // bottom, the last edge accepted.
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(100, 10));
        QTest::mouseMove(bar, QPoint(110, 10));
        QTest::mouseMove(bar, bar->mapFromParent(QPoint(200, 290)));
        const QRect bottomFrame = bar->DragFrame();
        QTest::mouseMove(bar, bar->mapFromParent(QPoint(10, 150)));
        QCOMPARE(bar->DragFrame(), bottomFrame);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromParent(QPoint(10, 150)));
        QCOMPARE(bar->Align(), TAlign::alBottom);
        QCOMPARE(moves, 2);
        // Dropped on the same edge: still reported.
        dragBar(bar, QPoint(100, 10), bar->mapToParent(QPoint(100, 10)) + QPoint(0, 2));
        QCOMPARE(bar->Align(), TAlign::alBottom);
        QCOMPARE(moves, 3);
    }

    // A drag whose release cannot reach the bar ends as a drag dropped
    // where it began: the frame and the drag cursor go, the bar stays
    // where it was, OnPosChanged reports it once, and a late release does
    // nothing more.
    void aDockDragEndsWhenTheMouseIsTaken_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("bar hidden") << "hide bar";
        QTest::newRow("window hidden") << "hide window";
        QTest::newRow("another window activated") << "activate";
        QTest::newRow("modal box") << "modal";
        QTest::newRow("a menu takes the mouse") << "menu";
        QTest::newRow("a new press, the release unheard") << "press";
    }
    void aDockDragEndsWhenTheMouseIsTaken()
    {
        QFETCH(QString, how);
        Host host;
        host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host));
        TSpeedBar* bar = host.bar;
        int moves = 0;
        bar->OnPosChanged = [&] { ++moves; };
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(100, 10));
        QTest::mouseMove(bar, QPoint(110, 10));
        QTest::mouseMove(bar, bar->mapFromParent(QPoint(200, 290)));
        QVERIFY(bar->Docking());
        QCOMPARE(frameWindows().size(), 4);

        std::unique_ptr<MouseTaker> taker;
        if (how == "hide bar")
            bar->hide();
        else if (how == "hide window")
            host.hide();
        else if (how == "press")
            QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(100, 10));
        else
            QVERIFY((taker = std::make_unique<MouseTaker>(how, &host))->Taken());
        QVERIFY(!bar->Docking());
        QCOMPARE(frameWindows().size(), 0);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QCOMPARE(bar->Align(), TAlign::alTop);
        QCOMPARE(moves, 1);

        taker.reset();
        bar->show();
        host.show();
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromParent(QPoint(200, 290)));
        QCOMPARE(bar->Align(), TAlign::alTop);
        QCOMPARE(moves, 1);
    }

    void otherDockedControlsShapeTheFrame()
    {
        Host host;
        auto* status = new QWidget(&host);
        status->setFixedHeight(20);
        host.layout->addWidget(status, TAlign::alBottom);
        auto* side = new QWidget(&host);
        side->setFixedWidth(50);
        host.layout->addWidget(side, TAlign::alLeft);
        status->show();
        side->show();
        host.layout->activate();
        TSpeedBar* bar = host.bar;
        const int thickness = bar->height();
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(100, 10));
        QTest::mouseMove(bar, QPoint(110, 10));
        // The bottom edge: above the status bar that is docked there already.
        QTest::mouseMove(bar, bar->mapFromParent(QPoint(200, 295)));
        QRect frame = bar->DragFrame();
        frame.moveTopLeft(host.mapFromGlobal(frame.topLeft()));
        QCOMPARE(frame, QRect(0, 280 - thickness, 400, thickness));
        // The left edge: above the bottom controls, inside the control
        // docked left already (a control docked anew comes after those of
        // its edge).
        QTest::mouseMove(bar, bar->mapFromParent(QPoint(5, 150)));
        frame = bar->DragFrame();
        frame.moveTopLeft(host.mapFromGlobal(frame.topLeft()));
        QCOMPARE(frame, QRect(50, 0, thickness, 280));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromParent(QPoint(5, 150)));
        QCOMPARE(bar->Align(), TAlign::alLeft);
        host.layout->activate();
        QCOMPARE(bar->geometry(), QRect(50, 0, thickness, 280));
    }

    void edgeResizing()
    {
        Host host;
        TSpeedBar* bar = host.bar;
        bar->SetOptions(bar->Options() | sbAllowResize);
        const int h = bar->height();
        // Not outside customise mode.
        QVERIFY(!bar->ResizeHitTest(50, h - 1));
        QObject editWindow;
        bar->SetEditWindow(&editWindow);
        QVERIFY(bar->ResizeHitTest(50, h - 1));
        QVERIFY(!bar->ResizeHitTest(50, h - 5));
        QCOMPARE(bar->cursor().shape(), Qt::SizeVerCursor);
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(50, h - 1));
        QVERIFY(bar->Resizing());
        QTest::mouseMove(bar, QPoint(50, 2 * 3 + 2 * 23 + 5));
        QCOMPARE(bar->height(), 2 * 23 + 2 * 3);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(50, 2 * 3 + 2 * 23 + 5));
        QVERIFY(!bar->Resizing());
        QVERIFY(!bar->Docking());
        // A button height of 0 divides nothing by zero.
        bar->SetBtnHeight(0);
        const int now = bar->height();
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(50, now - 1));
        QTest::mouseMove(bar, QPoint(50, 40));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(50, 40));
        QVERIFY(bar->height() >= 0);
        bar->SetEditWindow(nullptr);
    }

    void customiseWindow()
    {
        auto host = std::make_unique<Host>(QSize(400, 200));
        host->move(100, 100);
        TSpeedBar* bar = host->bar;
        bar->SetHeight(29);
        const int files = bar->NewSection(QStringLiteral("Files"));
        bar->NewSection(QStringLiteral("Edit"));
        auto* open = new TSpeedItem(host.get(), QStringLiteral("Open"));
        auto* save = new TSpeedItem(host.get(), QStringLiteral("Save"));
        open->SetBtnCaption(QStringLiteral("O"));
        bar->PlaceItem(files, open);
        bar->PlaceItem(files, save);
        int customized = 0;
        bar->OnCustomize = [&] { ++customized; };

        QPointer<TSpeedbarSetupWindow> window = ShowSpeedbarSetupWindow(bar);
        QCOMPARE(customized, 1);
        QCOMPARE(ShowSpeedbarSetupWindow(bar), window.data());
        QCOMPARE(customized, 1);
        window->move(100, 400);
        QCOMPARE(window->windowTitle(), QStringLiteral("Customize Speedbar"));
        QCOMPARE(bar->EditWindow(), window.data());
        QVERIFY(open->Editing());
        QCOMPARE(window->SectionList->count(), 2);
        QCOMPARE(window->SectionList->item(0)->text(), QStringLiteral("Files"));
        TSpeedbarButtonsGrid* grid = window->ButtonsList;
        QCOMPARE(grid->Items(), (QList<TSpeedItem*>{open, save}));

        // From the grid onto the bar: the picture's top-left corner falls
        // on (50, 3) of the bar.
        const QPoint cell = grid->CellRect(0).center();
        const QPoint grip = cell - grid->CellRect(0).topLeft();
        auto gridPointFor = [&](QPoint barPoint) {
            return grid->mapFromGlobal(bar->mapToGlobal(barPoint) + grip);
        };
        QTest::mousePress(grid, Qt::LeftButton, {}, cell);
        QTest::mouseMove(grid, gridPointFor(QPoint(50, 3)));
        QTest::mouseRelease(grid, Qt::LeftButton, {}, gridPointFor(QPoint(50, 3)));
        QVERIFY(open->Visible());
        QCOMPARE(open->ItemButton()->pos(), QPoint(51, 3));
        QCOMPARE(grid->Items(), (QList<TSpeedItem*>{save}));

        // Moved on the bar: the button's picture hangs from the mouse by its
        // bottom-right corner.
        TSpeedbarButton* button = open->ItemButton();
        auto buttonPointFor = [&](QPoint barPoint) {
            return button->mapFromGlobal(bar->mapToGlobal(barPoint) +
                                         QPoint(bar->BtnWidth(), bar->BtnHeight()));
        };
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(button->DragControl() != nullptr);
        QTest::mouseMove(button, buttonPointFor(QPoint(120, 3)));
        QTest::mouseRelease(button, Qt::LeftButton, {}, buttonPointFor(QPoint(120, 3)));
        QVERIFY(button->DragControl() == nullptr);
        QCOMPARE(open->ItemButton()->pos(), QPoint(123, 3));
        QVERIFY(open->Visible());

        // Dragged back off the bar: hidden, and offered again.
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(button, buttonPointFor(QPoint(120, 150)));
        QTest::mouseRelease(button, Qt::LeftButton, {}, buttonPointFor(QPoint(120, 150)));
        QVERIFY(!open->Visible());
        QCOMPARE(grid->Items().size(), 2);

        // Closing the window ends customise mode.
        window->Close();
        QVERIFY(bar->EditWindow() == nullptr);
        QVERIFY(!open->Editing());
        QTRY_VERIFY(!window);

        // The bar going first closes an open window.
        window = ShowSpeedbarSetupWindow(bar);
        host.reset();
        QTRY_VERIFY(!window);
    }

    // A customise drag of an item button that a modal box interrupts ends
    // where it began: the picture goes, the button stays on its place.
    void customiseDragEndsWhenTheMouseIsTaken()
    {
        Host host(QSize(400, 200));
        host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host));
        TSpeedBar* bar = host.bar;
        auto* open = new TSpeedItem(&host, QStringLiteral("Open"));
        bar->PlaceItem(bar->NewSection(QStringLiteral("Files")), open);
        open->SetLeft(50);
        open->SetVisible(true);
        QObject editWindow;
        bar->SetEditWindow(&editWindow);
        TSpeedbarButton* button = open->ItemButton();
        const QPoint place = button->pos();
        QTest::mouseMove(button, QPoint(5, 5));
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(button, QPoint(30, 10));
        QVERIFY(button->DragControl() != nullptr);
        QVERIFY(MouseTaker("modal", &host).Taken());
        QVERIFY(button->DragControl() == nullptr);
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(30, 10));
        QCOMPARE(button->pos(), place);
        QVERIFY(open->Visible());
        bar->SetEditWindow(nullptr);
    }

    // An item that leaves the bar or is freed while the customise window
    // offers it is no longer in the window's grid: painting the grid and
    // pressing where the item was touch only items that are still there.
    void customiseWindowLetsGoOfItemsThatLeave_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("item freed") << "delete";
        QTest::newRow("its section freed") << "free section";
        QTest::newRow("all sections cleared") << "clear";
        QTest::newRow("section object freed") << "delete section";
        QTest::newRow("taken out of the bar, then freed") << "detach";
        QTest::newRow("its section taken out, then freed") << "detach section";
    }
    void customiseWindowLetsGoOfItemsThatLeave()
    {
        QFETCH(QString, how);
        Host host(QSize(400, 200));
        TSpeedBar* bar = host.bar;
        const int files = bar->NewSection(QStringLiteral("Files"));
        auto* open = new TSpeedItem(&host, QStringLiteral("Open"));
        auto* save = new TSpeedItem(&host, QStringLiteral("Save"));
        open->SetBtnCaption(QStringLiteral("O"));
        bar->PlaceItem(files, open);
        bar->PlaceItem(files, save);
        QPointer<TSpeedbarSetupWindow> window = ShowSpeedbarSetupWindow(bar);
        TSpeedbarButtonsGrid* grid = window->ButtonsList;
        QCOMPARE(grid->Items(), (QList<TSpeedItem*>{open, save}));

        QList<TSpeedItem*> left{save};
        if (how == "delete") {
            delete open;
        } else if (how == "free section") {
            bar->FreeSection(files);
            left.clear();
        } else if (how == "clear") {
            bar->ClearSections();
            left.clear();
        } else if (how == "delete section") {
            delete bar->Sections(files);
            left.clear();
        } else if (how == "detach") {
            bar->DetachItem(open);
            delete open;
        } else {
            TSpeedbarSection* section = bar->Sections(files);
            bar->DetachSection(files);
            delete section;
            left.clear();
        }
        grid->grab();
        const QPoint cell = grid->CellRect(0).center();
        QTest::mousePress(grid, Qt::LeftButton, {}, cell);
        QTest::mouseMove(grid, cell + QPoint(5, 5));
        QTest::mouseRelease(grid, Qt::LeftButton, {}, cell + QPoint(5, 5));
        QCOMPARE(grid->Items(), left);
        window->Close();
        QTRY_VERIFY(!window);
    }
};

QTEST_MAIN(TestSpeedBar)
#include "test_SpeedBar.moc"
