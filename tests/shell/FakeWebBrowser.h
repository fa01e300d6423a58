#pragma once

#include "shell/browser/WebBrowser.h"

// A browser control that loads nothing: it records what the forms ask of it
// and lets a test raise the control's events by hand.
class FakeWebBrowser : public TWebBrowser
{
public:
    using TWebBrowser::TWebBrowser;

    QStringList navigated; // addresses that passed BeforeNavigate2
    QStringList calls;     // commands, by name
    int zoom = 2;
    int appliedOptions = 0;
    bool hasDocument = false;
    QString url;
    QString title;

    void Navigate(const QString& address) override
    {
        bool cancel = false;
        emit BeforeNavigate2(address, true, &cancel);
        if (!cancel)
            navigated.append(address);
    }
    void GoBack() override { calls << QStringLiteral("GoBack"); }
    void GoForward() override { calls << QStringLiteral("GoForward"); }
    void Refresh() override { calls << QStringLiteral("Refresh"); }
    void Stop() override { calls << QStringLiteral("Stop"); }
    QString LocationURL() const override { return url; }
    QString LocationName() const override { return title; }
    bool HasDocument() const override { return hasDocument; }
    int ReadyState() const override { return READYSTATE_COMPLETE; }
    void Print() override { calls << QStringLiteral("Print"); }
    void PrintPreview() override { calls << QStringLiteral("PrintPreview"); }
    void PageSetup(bool autoFill) override
    {
        calls << (autoFill ? QStringLiteral("PageSetup(true)") : QStringLiteral("PageSetup"));
    }
    void SaveAs() override { calls << QStringLiteral("SaveAs"); }
    void ViewSource() override { calls << QStringLiteral("ViewSource"); }
    void ShowFindDialog() override { calls << QStringLiteral("ShowFindDialog"); }
    void FocusDocument() override { calls << QStringLiteral("FocusDocument"); }
    int GetZoom() const override { return zoom; }

protected:
    void ApplyDownloadOptions() override { ++appliedOptions; }
    void ApplyZoom(int level) override { zoom = level; }
};
