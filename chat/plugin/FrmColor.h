#pragma once

#include "chat/plugin/PluginHost.h"

#include <functional>

class TButton;
class TColorGrid;
class TPanel;
class TRxRichEdit;
class TToolButton;

namespace Zentrel {

// The colour composition dialog of the chat windows' colour button: text
// typed in a one-line rich text box, coloured part by part from the grid
// (right click: text colour, left click: background), returned as text
// with colour codes.
class TF_Color : public TZentrelForm
{
    Q_OBJECT
public:
    TF_Color();

    // Shows the dialog application-modal and returns at once; `done` gets
    // the coded text when OK closes it, and is not called when it is closed
    // otherwise. The dialog frees itself when closed. No event loop of its
    // own runs meanwhile, so the window that asked may go (or the plug-in
    // be unloaded, which frees the dialog) without a call stack waiting on
    // it; `done` checks what it touches.
    static TF_Color* Execute(std::function<void(const QString&)> done);
    QString Result() const { return result_; }

    TColorGrid* CG_Color;
    TRxRichEdit* R_Edit;
    TToolButton* SpeedButton1;
    TPanel* Panel1;
    TButton* BitBtn1;

    void FormShow();
    // The selected text takes the grid's colours.
    void ApplyColors();
    void BitBtn1Click();

protected:
    void FormClose(TCloseAction& action) override;

private:
    QString result_;
    bool confirmed_ = false;
    std::function<void(const QString&)> done_;
};

} // namespace Zentrel
