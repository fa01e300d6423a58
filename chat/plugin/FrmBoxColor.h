#pragma once

#include "chat/plugin/PluginHost.h"

class TColorGrid;

namespace Zentrel {

// The colour picker of the settings dialog's background button: the 16
// standard colours, the foreground picked with a left click.
class TF_BoxColor : public TZentrelForm
{
    Q_OBJECT
public:
    TF_BoxColor();
    TColorGrid* CG_Color;
};

} // namespace Zentrel
