// The speed bar's layout in its placement's store: one section per bar
// with the docking edge, the bar's thickness, the versions it was written
// under and a "Button"n entry for every shown item.

#include "components/speedbar/SpeedBar.h"

#include "components/IniAccess.h"
#include "components/StrUtils.h"
#include "toolkit/Forms.h"

#include <algorithm>

namespace {

const QString kPosition = QStringLiteral("Position");
const QString kWidth = QStringLiteral("Width");
const QString kVersion = QStringLiteral("Version");
const QString kPixelsPerInch = QStringLiteral("PixelsPerInch");
const QString kBtnWidth = QStringLiteral("BtnWidth");
const QString kBtnHeight = QStringLiteral("BtnHeight");
const QString kButton = QStringLiteral("Button");
const QString kCount = QStringLiteral("Count");

// Coordinates and sizes a bar can have; a stored number beyond them is not
// one this bar wrote.
constexpr int kMaxCoordinate = 32767;
// More entries than any bar shows buttons: a larger count is not a layout
// this bar wrote, and reading it would take ages.
constexpr int kMaxButtonEntries = 4096;

bool isHorizontalEdge(TAlign align)
{
    return align == TAlign::alTop || align == TAlign::alBottom;
}

bool isVerticalEdge(TAlign align)
{
    return align == TAlign::alLeft || align == TAlign::alRight;
}

const TForm* formOf(const QWidget* widget)
{
    for (const QWidget* w = widget->parentWidget(); w; w = w->parentWidget())
        if (auto* form = qobject_cast<const TForm*>(w))
            return form;
    return nullptr;
}

std::optional<int> coordinate(const QString& word)
{
    bool ok = false;
    const int value = word.toInt(&ok);
    if (!ok || value < -kMaxCoordinate || value > kMaxCoordinate)
        return std::nullopt;
    return value;
}

} // namespace

QString FormatButtonEntry(const QString& name, int left, int top)
{
    return QStringLiteral("%1,%2,%3").arg(name).arg(left).arg(top);
}

TBarLayoutEntry ParseButtonEntry(const QString& text)
{
    static const TCharSet delimiters{' ', ','};
    TBarLayoutEntry entry;
    entry.name = ExtractWord(1, text, delimiters);
    entry.left = coordinate(ExtractWord(2, text, delimiters));
    entry.top = coordinate(ExtractWord(3, text, delimiters));
    return entry;
}

QPoint ButtonEntryPosition(const TBarLayoutEntry& entry, QPoint current, int offsetHorz,
                           int offsetVert)
{
    return QPoint(std::max(entry.left.value_or(current.x()), offsetHorz),
                  std::max(entry.top.value_or(current.y()), offsetVert));
}

void TSpeedBar::takeLayoutSection()
{
    // While the form is destroyed its class name reads as TForm's: the name
    // taken while it was whole stays.
    const TForm* form = formOf(this);
    const bool destroying = form && form == layoutForm_ && objectName() == layoutName_ &&
                            form->metaObject() == &TForm::staticMetaObject;
    if (!destroying) {
        layoutSection_ = DefaultSectionName(this);
        layoutForm_ = form;
        layoutName_ = objectName();
    }
}

QString TSpeedBar::LayoutSection()
{
    takeLayoutSection();
    return iniLink_->RootSection() + layoutSection_;
}

void TSpeedBar::SetIniStorage(TFormPlacement* placement)
{
    iniLink_->SetStorage(placement);
    // A bar that joins after its form's restore is first asked for its
    // section by the save at the form's destruction, too late to tell.
    if (placement)
        takeLayoutSection();
}

void TSpeedBar::SaveBarLayout()
{
    TCustomIniFile* store = iniLink_->IniObject();
    if (objectName().isEmpty() || !store)
        return;
    WriteBarLayout(store, LayoutSection());
}

void TSpeedBar::LoadBarLayout()
{
    TCustomIniFile* store = iniLink_->IniObject();
    if (objectName().isEmpty() || !store)
        return;
    ReadBarLayout(store, LayoutSection());
}

void TSpeedBar::WriteBarLayout(TCustomIniFile* store, const QString& section)
{
    // The placement's store writes the section in one replacement of its
    // file when the save is over: never seen erased.
    StorageEraseSection(store, section);
    const TAlign align = Align();
    StorageWriteInteger(store, section, kPosition, int(align));
    if (isHorizontalEdge(align))
        StorageWriteInteger(store, section, kWidth, height());
    else if (isVerticalEdge(align))
        StorageWriteInteger(store, section, kWidth, width());
    StorageWriteInteger(store, section, kVersion, Version);
    StorageWriteInteger(store, section, kPixelsPerInch, ScreenPixelsPerInch());
    StorageWriteInteger(store, section, kBtnWidth, btnWidth_);
    StorageWriteInteger(store, section, kBtnHeight, btnHeight_);
    int n = 0;
    EnumItems([&](TSpeedItem* item) {
        if (!item->Visible() || !item->Stored)
            return;
        ++n;
        StorageWriteString(store, section, kButton + QString::number(n),
                           FormatButtonEntry(item->objectName(), item->Left(), item->Top()));
    });
    StorageWriteInteger(store, section, kCount, n);
}

void TSpeedBar::ReadBarLayout(TCustomIniFile* store, const QString& section)
{
    const TAlign before = Align();
    if (StorageReadInteger(store, section, kVersion, Version) < Version)
        return;

    if (options_ & sbAllowDrag) {
        const int position = StorageReadInteger(store, section, kPosition, int(before));
        // An ordinal that names no alignment keeps the current one; one the
        // bar refuses docks it at the top.
        if (position >= int(TAlign::alNone) && position <= int(TAlign::alClient)) {
            try {
                SetAlign(TAlign(position));
            } catch (const ESpeedbarError&) {
                SetAlign(TAlign::alTop);
            }
        }
    }

    const TForm* form = formOf(this);
    const int defaultPpi = form ? ScreenPixelsPerInch() : 0;
    const bool sameResolution =
        StorageReadInteger(store, section, kPixelsPerInch, defaultPpi) == ScreenPixelsPerInch();

    if (sameResolution && (options_ & sbAllowResize)) {
        // A thickness of nothing, or more than the parent has, keeps the
        // current one.
        const QWidget* parent = parentWidget();
        const TAlign align = Align();
        if (isHorizontalEdge(align)) {
            const int limit = parent && parent->height() > 0 ? parent->height() : kMaxCoordinate;
            const int value = StorageReadInteger(store, section, kWidth, height());
            if (value >= 1 && value <= limit)
                SetHeight(value);
        } else if (isVerticalEdge(align)) {
            const int limit = parent && parent->width() > 0 ? parent->width() : kMaxCoordinate;
            const int value = StorageReadInteger(store, section, kWidth, width());
            if (value >= 1 && value <= limit)
                SetWidth(value);
        }
    }

    if (Align() != before)
        DoPosChanged();
    if (!sameResolution)
        return;

    const int count = StorageReadInteger(store, section, kCount, 0);
    if (count > 0 && count <= kMaxButtonEntries) {
        QList<std::pair<TSpeedItem*, TBarLayoutEntry>> placed;
        for (int i = 1; i <= count; ++i) {
            const QString text =
                StorageReadString(store, section, kButton + QString::number(i), QString());
            if (text.isEmpty())
                continue;
            TBarLayoutEntry entry = ParseButtonEntry(text);
            if (entry.name.isEmpty())
                continue;
            if (TSpeedItem* item = FindItemByName(entry.name))
                placed.append({item, std::move(entry)});
        }
        // A layout that names none of the bar's items (stale, or another
        // bar's) would leave the bar empty: it leaves it as it is.
        if (!placed.isEmpty()) {
            EnumItems([](TSpeedItem* item) { item->SetVisible(false); });
            for (const auto& [item, entry] : std::as_const(placed)) {
                const QPoint at = ButtonEntryPosition(entry, QPoint(item->Left(), item->Top()),
                                                      btnOffsetHorz_, btnOffsetVert_);
                item->SetLeft(at.x());
                item->SetTop(at.y());
                item->SetVisible(true);
            }
        }
    }
    update();
}
