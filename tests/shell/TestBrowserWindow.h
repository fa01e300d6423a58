#pragma once

#include "shell/browser/BrowserWindow.h"
#include "toolkit/ChildWindowHost.h"
#include "toolkit/Forms.h"

#include <QWidget>

// A browser window for the main window's tests, without the browser
// window's own logic: an MDI child that takes the steps a browser window
// takes with its host (its tab and list entry, the active child and control
// on creation, leaving the list when it closes) around a control of the
// test's.
class TTestBrowserWindow : public TForm, public IBrowserWindow
{
public:
    TTestBrowserWindow(TChildWindowHost& host, QWidget* control, const QString& caption = {})
        : TForm(nullptr, Qt::Widget), host_(host), control_(control)
    {
        setObjectName(QStringLiteral("F_Browser"));
        SetCaption(caption);
        control_->setParent(this);
        SetFormStyle(fsMDIChild);
        host_.RegisterChildTab(this);
        host_.SetActiveChild(this);
        host_.SetActiveWebBrowser(control_);
        show();
    }

    TForm* Form() override { return this; }
    QWidget* Browser() override { return control_; }
    void Navigate(const QString&) override {}
    void GoHome() override {}
    void StopCommand() override {}
    QString AddressText() const override { return {}; }
    bool HasCompletedDocument() const override { return true; }

protected:
    void FormClose(TCloseAction& action) override
    {
        if (host_.ActiveChild() == this) {
            host_.SetActiveChild(nullptr);
            host_.SetActiveWebBrowser(nullptr);
        }
        host_.UnregisterChildTab(this);
        action = caFree;
    }

    TChildWindowHost& host_;
    QWidget* control_;
};
