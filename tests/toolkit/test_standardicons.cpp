#include "toolkit/StandardIcons.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QtTest>

// A standard icon is read from the style once a run and only when drawn or
// measured; what it draws is the style's own icon.
class TestStandardIcons : public QObject
{
    Q_OBJECT

    static QImage drawn(const QIcon& icon, int side, QIcon::Mode mode)
    {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        icon.paint(&painter, image.rect(), Qt::AlignCenter, mode);
        return image;
    }

private slots:
    void drawsTheStyleIcon_data()
    {
        QTest::addColumn<QStyle::StandardPixmap>("which");
        QTest::newRow("file") << QStyle::SP_FileIcon;
        QTest::newRow("folder") << QStyle::SP_DirIcon;
        QTest::newRow("close") << QStyle::SP_TitleBarCloseButton;
        QTest::newRow("reload") << QStyle::SP_BrowserReload;
    }
    void drawsTheStyleIcon()
    {
        QFETCH(QStyle::StandardPixmap, which);
        const QIcon icon = StandardIcon(which);
        const QIcon own = QApplication::style()->standardIcon(which);
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.cacheKey(), StandardIcon(which).cacheKey());
        for (int side : {16, 32})
            for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
                QCOMPARE(icon.actualSize(QSize(side, side), mode),
                         own.actualSize(QSize(side, side), mode));
                QCOMPARE(icon.pixmap(side, mode).toImage(), own.pixmap(side, mode).toImage());
                QCOMPARE(drawn(icon, side, mode), drawn(own, side, mode));
            }
        QCOMPARE(icon.availableSizes(), own.availableSizes());
        // A copy that is changed keeps what it had, and the shared one stays.
        QIcon changed = icon;
        changed.addPixmap(QPixmap(8, 8));
        QVERIFY(changed.availableSizes().contains(QSize(8, 8)));
        QVERIFY(!StandardIcon(which).availableSizes().contains(QSize(8, 8)));
    }

    void aNewStyleDrawsItsOwn()
    {
        const qint64 before = StandardIcon(QStyle::SP_DirIcon).cacheKey();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
        const QIcon icon = StandardIcon(QStyle::SP_DirIcon);
        QVERIFY(icon.cacheKey() != before);
        QCOMPARE(icon.pixmap(16).toImage(),
                 QApplication::style()->standardIcon(QStyle::SP_DirIcon).pixmap(16).toImage());
    }
};

QTEST_MAIN(TestStandardIcons)
#include "test_standardicons.moc"
