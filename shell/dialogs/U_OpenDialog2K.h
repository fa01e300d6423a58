#pragma once

#include "toolkit/Classes.h"

#include <QString>
#include <QStringList>

class QWidget;

// The open-file dialog, with the places bar (the side bar of common
// folders) shown or hidden.
class TAgOpenDialog : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(bool ShowPlacesBar READ ShowPlacesBar WRITE SetShowPlacesBar)
    Q_PROPERTY(QString filter READ Filter WRITE SetFilter)
    Q_PROPERTY(QString title READ Title WRITE SetTitle)

public:
    explicit TAgOpenDialog(QObject* owner = nullptr, const QString& name = {});

    bool ShowPlacesBar() const { return showPlacesBar_; }
    void SetShowPlacesBar(bool show) { showPlacesBar_ = show; }
    // "Description|pattern;pattern|Description|pattern".
    QString Filter() const { return filter_; }
    void SetFilter(const QString& filter) { filter_ = filter; }
    QString Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }
    QString FileName() const { return fileName_; }

    // Runs the dialog; true when the user chose a file.
    bool Execute(QWidget* parent = nullptr);

private:
    bool showPlacesBar_ = true;
    QString filter_;
    QString title_;
    QString fileName_;
};

// The places-bar choice of the dialog being run.
extern bool OpenDialogPlacesBar;

// The name filters of a "Description|patterns|..." filter, as Qt's file
// dialog takes them: "Description (pattern pattern)".
QStringList ConvertOpenDialogFilter(const QString& filter);
