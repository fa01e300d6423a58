#include "toolkit/FontDialog.h"

#include "toolkit/ColorGrid.h"
#include "toolkit/GuardedDialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

bool TFontDialog::Execute(QWidget* parent)
{
    // On the heap: the parent may be freed while the dialog's event loop
    // runs, and the dialog with it; nothing is chosen then.
    TGuardedDialog<QDialog> guard(parent);
    QDialog& dialog = *guard;
    dialog.setObjectName(QStringLiteral("FontDialog"));
    dialog.setWindowTitle(QStringLiteral("แบบอักษร"));
    auto* layout = new QVBoxLayout(&dialog);

    // Qt's font chooser without its own buttons, inside this dialog.
    auto* chooser = new QFontDialog(&dialog);
    chooser->setObjectName(QStringLiteral("FontChooser"));
    chooser->setWindowFlags(Qt::Widget);
    chooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    chooser->setCurrentFont(Font.ToQFont());
    layout->addWidget(chooser);

    // The colour, from the 16 standard colours.
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("สี:"), &dialog));
    auto* colors = new QComboBox(&dialog);
    colors->setObjectName(QStringLiteral("FontColor"));
    for (const TColor c : TColorGrid::StandardColors()) {
        QPixmap swatch(24, 12);
        swatch.fill(ColorToQColor(c));
        colors->addItem(QIcon(swatch), QString(), QVariant(int(c)));
    }
    const int current = TColorGrid::ColorToIndex(ColorToRGB(Font.Color));
    colors->setCurrentIndex(current < 0 ? 0 : current);
    row->addWidget(colors, 1);
    layout->addLayout(row);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);

    if (guard.exec() != QDialog::Accepted)
        return false;
    // A colour outside the 16 stays unless the user picked another.
    const bool picked = colors->currentIndex() != (current < 0 ? 0 : current);
    const TColor color = picked || current >= 0 ? colors->currentData().toInt() : Font.Color;
    Font = TFont::FromQFont(chooser->currentFont(), color, Font.Charset);
    return true;
}
