#include "shell/dialogs/FrmCredit.h"

#include "platform/JpegImage.h"
#include "shell/data/ShippedPages.h"
#include "toolkit/Controls.h"

#include <QGridLayout>
#include <QHBoxLayout>

QPointer<TF_Credit> F_Credit;

TF_Credit::TF_Credit(QWidget* parent) : TForm(parent, Qt::Dialog)
{
    InitShellResources();
    setObjectName(QStringLiteral("F_Credit"));
    SetCaption(QStringLiteral("Brevant++ - CREDIT"));
    Label1 = new TLabel(QStringLiteral("Label1"), this);
    Label1->SetCaption(QStringLiteral("Brevant++ Special Thanks"));
    auto* pictures = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
        Images[i] = new TImage(QStringLiteral("Image") + QString::number(i + 1), this);
        Images[i]->SetPicture(
            JpegImage::load(QStringLiteral(":/pictures/credit%1.jpg").arg(i + 1)));
        pictures->addWidget(Images[i]);
    }
    Memo1 = new TMemo(QStringLiteral("Memo1"), this);
    Memo1->setReadOnly(true);
    Memo1->Lines()->Assign({QStringLiteral("Thanks to everyone who tried Brevant++,"),
                            QStringLiteral("reported its faults and suggested its features."),
                            QString(), QStringLiteral("ขอบคุณทุกท่านที่ใช้และช่วยทดสอบโปรแกรม")});
    Button1 = new TButton(QStringLiteral("Button1"), this);
    Button1->SetCaption(QStringLiteral("Close"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(pictures);
    layout->addWidget(Memo1);
    layout->addWidget(Button1, 0, Qt::AlignRight);
    setFixedSize(sizeHint().expandedTo(QSize(420, 300)));
    connect(Button1, &QPushButton::clicked, this, &TF_Credit::Button1Click);
}

void TF_Credit::Button1Click()
{
    close();
}
