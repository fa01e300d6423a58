#pragma once

#include "chat/plugin/PluginHost.h"

class TButton;
class TEdit;
class TLabel;

namespace Zentrel {

// The nick prompt of an "irc:" address that names a channel but no nick.
class TF_Nick : public TZentrelForm
{
    Q_OBJECT
public:
    TF_Nick();

    // Shows the prompt modally and returns the typed nick (possibly empty).
    static QString Execute();

    TLabel* Label1;
    TEdit* E_Nick;
    TButton* Button1;
};

} // namespace Zentrel
