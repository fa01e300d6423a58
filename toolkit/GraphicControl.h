#pragma once

#include <QString>
#include <QWidget>

// A control that the class library draws on its parent's surface rather
// than in a window of its own: it never takes the keyboard focus, and a
// transparent control above it paints it as part of what lies beneath.
class TGraphicControl : public QWidget
{
    Q_OBJECT
public:
    explicit TGraphicControl(const QString& name = {}, QWidget* parent = nullptr);
    QString Name() const { return objectName(); }
    void SetName(const QString& name) { setObjectName(name); }
};
