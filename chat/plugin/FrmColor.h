#pragma once

#include "chat/plugin/PluginHost.h"

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

    // Shows the dialog modally; the coded text, or empty when it was closed
    // otherwise than by OK.
    static QString Execute();
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

private:
    QString result_;
};

} // namespace Zentrel
