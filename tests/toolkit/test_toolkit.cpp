#include "toolkit/AlignLayout.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"

#include "ModalWindow.h"

#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

class TestToolkit : public QObject
{
    Q_OBJECT

private slots:
    void alignLayoutDocksInOrder()
    {
        QWidget parent;
        auto* layout = new TAlignLayout(&parent);
        auto fixed = [&](int w, int h) {
            auto* widget = new QWidget(&parent);
            if (w)
                widget->setFixedWidth(w);
            if (h)
                widget->setFixedHeight(h);
            return widget;
        };
        QWidget* client = fixed(0, 0);
        QWidget* top1 = fixed(0, 50);
        QWidget* bottom = fixed(0, 20);
        QWidget* left = fixed(150, 0);
        QWidget* top2 = fixed(0, 10);
        QWidget* hidden = fixed(0, 30);
        QWidget* right = fixed(40, 0);
        layout->addWidget(client, TAlign::alClient);
        layout->addWidget(top1, TAlign::alTop);
        layout->addWidget(bottom, TAlign::alBottom);
        layout->addWidget(left, TAlign::alLeft);
        layout->addWidget(top2, TAlign::alTop);
        layout->addWidget(hidden, TAlign::alTop);
        layout->addWidget(right, TAlign::alRight);
        hidden->hide();

        const QList<QRect> r = layout->Arrange(QRect(0, 0, 800, 600));
        QCOMPARE(r[1], QRect(0, 0, 800, 50));
        QCOMPARE(r[4], QRect(0, 50, 800, 10));
        QCOMPARE(r[2], QRect(0, 580, 800, 20));
        QCOMPARE(r[3], QRect(0, 60, 150, 520));
        QCOMPARE(r[6], QRect(760, 60, 40, 520));
        QCOMPARE(r[0], QRect(150, 60, 610, 520));
        QVERIFY(r[5].isNull());

        // A control larger than the room left never reaches outside.
        const QList<QRect> small = layout->Arrange(QRect(0, 0, 100, 55));
        QCOMPARE(small[4], QRect(0, 50, 100, 5));
        QCOMPARE(small[2].height(), 0);
    }

    void modalResultAndCloseActions()
    {
        TForm form;
        auto* ok = new TButton(QStringLiteral("B_OK"), &form);
        connect(ok, &QPushButton::clicked, &form, [&] { form.SetModalResult(TForm::mrOk); });
        OnModal([ok](QWidget*) { ok->click(); });
        QCOMPARE(form.ShowModal(), int(TForm::mrOk));
        QVERIFY(!form.isVisible());

        // Closed any other way: cancel.
        OnModal([](QWidget* modal) { modal->close(); });
        QCOMPARE(form.ShowModal(), int(TForm::mrCancel));
    }

    void formFreesItselfOnCaFree()
    {
        class TSelfFreeing : public TForm
        {
        protected:
            void FormClose(TCloseAction& action) override { action = caFree; }
        };
        QPointer<TForm> form = new TSelfFreeing;
        form->show();
        form->close();
        QTRY_VERIFY(form.isNull());
    }

    void componentsAndNames()
    {
        TForm form;
        form.setObjectName(QStringLiteral("F_Test"));
        auto* menu = new TMainMenu(QStringLiteral("MainMenu1"), &form);
        TMenuItem* file = menu->AddItem(QStringLiteral("N1"));
        TMenuItem* open = file->AddItem(QStringLiteral("N_OpenFile"));
        new TLabel(QStringLiteral("Label1"), &form);
        new QLabel(&form); // Qt's own class: not a component
        QCOMPARE(form.FindComponent(QStringLiteral("n_openfile")), open);
        QCOMPARE(form.FindComponent(QStringLiteral("Nothing")), nullptr);
        for (QObject* component : form.Components())
            QVERIFY(component->metaObject()->className()[0] == 'T');
        QCOMPARE(FindFormByName(QStringLiteral("f_test")), &form);
        QCOMPARE(FindFormByName(QStringLiteral("F_Other")), nullptr);

        file->SetCaption(QStringLiteral("แฟ้มข้อมูล"));
        QCOMPARE(file->menu()->title(), QStringLiteral("แฟ้มข้อมูล"));
    }

    void stringsText()
    {
        TStrings strings;
        strings.SetText(QStringLiteral("a\r\nb\nc\rd"));
        QCOMPARE(strings.lines(), QStringList({"a", "b", "c", "d"}));
        QCOMPARE(strings.Text(), QStringLiteral("a\r\nb\r\nc\r\nd\r\n"));
        strings.SetText(QStringLiteral("x\r\n"));
        QCOMPARE(strings.lines(), QStringList({"x"}));
    }

    void aReadOnlyMemoKeepsNoUndoHistory()
    {
        TMemo memo(QStringLiteral("redShowRaw"));
        memo.setReadOnly(true);
        // A log: lines appended, the first ones cut.
        for (int i = 0; i < 200; ++i) {
            memo.appendPlainText(QStringLiteral("line %1").arg(i));
            if (memo.document()->blockCount() > 150) {
                QTextCursor c(memo.document());
                c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, 50);
                c.removeSelectedText();
            }
        }
        QCOMPARE(memo.document()->availableUndoSteps(), 0);
        // Editable again, it undoes again.
        memo.setReadOnly(false);
        memo.appendPlainText(QStringLiteral("typed"));
        QVERIFY(memo.document()->availableUndoSteps() > 0);
    }

    void tabWidthIsApplied()
    {
        TTabControl tabs(QStringLiteral("TC_Pages"));
        tabs.addTab(QStringLiteral("one"));
        tabs.SetTabWidth(83);
        QCOMPARE(tabs.tabRect(0).width(), 83);
    }
};

QTEST_MAIN(TestToolkit)
#include "test_toolkit.moc"
