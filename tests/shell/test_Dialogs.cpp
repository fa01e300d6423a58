#include "ModalWindow.h"

#include "platform/JpegImage.h"
#include "platform/MessageBox.h"
#include "shell/dialogs/FrmAbout.h"
#include "shell/dialogs/FrmCredit.h"
#include "shell/dialogs/FrmExit.h"
#include "shell/dialogs/U_OpenDialog2K.h"
#include "toolkit/Controls.h"

#include "shell/data/ShippedPages.h"
#include <QApplication>

#include <QBuffer>
#include <QFile>
#include <QTimer>
#include <QtTest>

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        InitShellResources();
    }

    void exitDialog_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("expected");
        QTest::newRow("ok") << "ok" << true;
        QTest::newRow("cancel") << "cancel" << false;
        QTest::newRow("close box") << "close" << false;
    }

    void exitDialog()
    {
        QFETCH(QString, how);
        QFETCH(bool, expected);
        TF_Exit dialog;
        QCOMPARE(dialog.Label1->Caption(), QStringLiteral("ต้องการออกจากโปรแกรม?"));
        QCOMPARE(dialog.B_OK->Caption(), QStringLiteral("ต้องการ"));
        QCOMPARE(dialog.B_Cancel->Caption(), QStringLiteral("ไม่ต้องการ"));
        QCOMPARE(dialog.GroupBox1->Caption(), QStringLiteral("ตัวเลือกพิเศษ"));
        QCOMPARE(dialog.ChB_SaveWindow->Caption(), QStringLiteral("บันทึกหน้าต่างที่เปิดไว้"));
        QCOMPARE(dialog.ChB_SaveEnv->Caption(), QStringLiteral("บันทึกรูปแบบโปรแกรม"));
        OnModal([how](QWidget* modal) {
            auto* exit = qobject_cast<TF_Exit*>(modal);
            QVERIFY(exit);
            if (how == QLatin1String("ok"))
                exit->B_OK->click();
            else if (how == QLatin1String("cancel"))
                exit->B_Cancel->click();
            else
                exit->close();
        });
        QCOMPARE(dialog.Execute(), expected);
        // A second run starts unanswered again.
        OnModal([](QWidget* modal) { modal->close(); });
        QCOMPARE(dialog.Execute(), false);
    }

    void splashIgnoresItsLinks()
    {
        QPointer<TF_About> about = new TF_About;
        about->ShowSplash();
        QVERIFY(about->isVisible());
        QVERIFY(about->L_Stat->isVisible());
        QCOMPARE(about->L_Stat->Caption(), QStringLiteral("Loading..."));
        QVERIFY(about->SB_Close->isHidden());
        QVERIFY(!about->IM_EasterEgg->isEnabled());
        about->L_HomepageClick();
        about->L_EmailClick();
        QVERIFY(about && about->isVisible());
        QVERIFY(about->L_Version->Caption().endsWith(QLatin1String("1.00 Standard Edition.")));
        about->EndSplash();
        QCOMPARE(about->L_Stat->Caption(), QStringLiteral("Initializing..."));
        QTRY_VERIFY_WITH_TIMEOUT(about.isNull(), 3000); // it frees itself
    }

    void aboutBoxClosesAndFreesItself()
    {
        QPointer<TF_About> about = new TF_About;
        OnModal([](QWidget* modal) {
            auto* box = qobject_cast<TF_About*>(modal);
            QVERIFY(box);
            QVERIFY(!box->SB_Close->isHidden());
            QVERIFY(box->L_Stat->isHidden());
            QCOMPARE(box->SB_Close->Caption(), QStringLiteral("&ปิดหน้าต่าง"));
            box->SB_Close->click();
        });
        about->ShowAbout();
        QTRY_VERIFY(about.isNull());
    }

    void creditPicturesAreDecoded()
    {
        TF_Credit credit;
        QCOMPARE(credit.Caption(), QStringLiteral("Brevant++ - CREDIT"));
        for (TImage* image : credit.Images) {
            QVERIFY(!image->pixmap().isNull());
            QCOMPARE(image->pixmap().size(), QSize(64, 64));
        }
        OnModal([](QWidget* modal) { qobject_cast<TF_Credit*>(modal)->Button1->click(); });
        credit.ShowModal();
        QVERIFY(!credit.isVisible());
    }

    void jpegDecoding()
    {
        QFile file(QStringLiteral(":/pictures/about.jpg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        QString error;
        const QImage image = JpegImage::decode(data, &error);
        QCOMPARE(image.size(), QSize(160, 200));
        QVERIFY(error.isEmpty());
        // The colours come through: the top is darker than the bottom.
        QVERIFY(qGray(image.pixel(2, 2)) < qGray(image.pixel(2, 197)));

        // Damaged pictures give a null image and a reason, never a crash.
        const QByteArray damaged[] = {QByteArray(), data.left(20), data.left(data.size() / 2),
                                      QByteArray(500, '\xff'), QByteArray("not a picture")};
        for (const QByteArray& bytes : damaged) {
            error.clear();
            const QImage result = JpegImage::decode(bytes, &error);
            if (!result.isNull()) {
                // libjpeg fills a cut-off picture with grey and says so
                // through a warning only; the size must still be right.
                QCOMPARE(result.size(), QSize(160, 200));
                continue;
            }
            QVERIFY(!error.isEmpty());
        }
        QVERIFY(JpegImage::load(QStringLiteral("/nonexistent/x.jpg"), &error).isNull());
    }

    void messageBoxService()
    {
        using namespace MessageBoxService;
        QList<Request> seen;
        {
            ScopedHandler outer([&](const Request& r) {
                seen.append(r);
                return int(IDNO);
            });
            {
                ScopedHandler inner([](const Request&) { return int(IDYES); });
                QCOMPARE(MessageBox(nullptr, QStringLiteral("q"), QStringLiteral("c"),
                                    MB_YESNO | MB_ICONQUESTION),
                         int(IDYES));
            }
            QCOMPARE(MessageBox(nullptr, QStringLiteral("t"), QStringLiteral("Warning"),
                                MB_YESNO | MB_ICONWARNING),
                     int(IDNO));
        }
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.at(0).caption, QStringLiteral("Warning"));
        QCOMPARE(seen.at(0).flags, unsigned(MB_YESNO | MB_ICONWARNING));

        // Without a handler the real box shows; answer it as a person would.
        OnModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        QCOMPARE(
            MessageBox(nullptr, QStringLiteral("real"), QStringLiteral("Message"), MB_OKCANCEL),
            int(IDCANCEL));
    }

    void openDialogFilter()
    {
        QCOMPARE(ConvertOpenDialogFilter(
                     QStringLiteral("เอกสารเว็บ (*.htm,*.html)|*.htm;*.html|All (*.*)|*.*")),
                 QStringList({"เอกสารเว็บ (*.htm,*.html) (*.htm *.html)", "All (*.*) (*.*)"}));
        QCOMPARE(ConvertOpenDialogFilter(QString()), QStringList());
        QCOMPARE(ConvertOpenDialogFilter(QStringLiteral("odd")), QStringList());
        TAgOpenDialog dialog;
        QVERIFY(dialog.ShowPlacesBar());
    }
};

QTEST_MAIN(TestDialogs)
#include "test_Dialogs.moc"
