#pragma once

#include "toolkit/Forms.h"

#include <QPointer>

class TButton;
class TImage;
class TLabel;
class TMemo;

// The credits window, reached from the about window. Its pictures are
// JPEG files decoded through libjpeg.
class TF_Credit : public TForm
{
    Q_OBJECT
public:
    explicit TF_Credit(QWidget* parent = nullptr);

    TLabel* Label1;
    TImage* Images[5];
    TMemo* Memo1;
    TButton* Button1;

    void Button1Click();
};

// The one credits window of the run, made at start-up.
extern QPointer<TF_Credit> F_Credit;
