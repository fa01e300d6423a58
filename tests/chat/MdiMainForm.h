#pragma once

// A main form with a client area, as the host's main window has: the chat
// forms' tests show the plug-in's windows in it.

#include "toolkit/Forms.h"

#include <QMdiArea>

class TMainForm : public TForm
{
public:
    TMainForm()
    {
        SetFormStyle(fsMDIForm);
        area = new QMdiArea(this);
        area->resize(800, 560);
        SetClientArea(area);
        resize(820, 600);
        Application::SetMainForm(this);
    }
    ~TMainForm() override { Application::SetMainForm(nullptr); }
    QMdiArea* area;
};
