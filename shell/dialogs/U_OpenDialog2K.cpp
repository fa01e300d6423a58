#include "shell/dialogs/U_OpenDialog2K.h"

#include <QFileDialog>

bool OpenDialogPlacesBar = true;

TAgOpenDialog::TAgOpenDialog(QObject* owner, const QString& name) : TComponent(owner, name) {}

QStringList ConvertOpenDialogFilter(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        result.append(parts.at(i) + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return result;
}

bool TAgOpenDialog::Execute(QWidget* parent)
{
    OpenDialogPlacesBar = showPlacesBar_;
    QFileDialog dialog(parent, title_);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, !OpenDialogPlacesBar);
    if (!OpenDialogPlacesBar)
        dialog.setSidebarUrls({});
    const QStringList filters = ConvertOpenDialogFilter(filter_);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName_ = dialog.selectedFiles().constFirst();
    return true;
}
