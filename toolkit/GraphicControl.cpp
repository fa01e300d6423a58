#include "toolkit/GraphicControl.h"

TGraphicControl::TGraphicControl(const QString& name, QWidget* parent) : QWidget(parent)
{
    setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
}
