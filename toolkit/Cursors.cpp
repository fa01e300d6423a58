#include "toolkit/Cursors.h"

#include <QCoreApplication>
#include <QHash>

#include <optional>

namespace {

struct Entry
{
    std::function<QCursor()> make;
    std::optional<QCursor> made;
};

QHash<TCursor, Entry>& table()
{
    static QHash<TCursor, Entry> cursors;
    return cursors;
}

std::optional<Qt::CursorShape> standardShape(TCursor id)
{
    switch (id) {
    case crDefault:
    case crArrow:
        return Qt::ArrowCursor;
    case crCross:
        return Qt::CrossCursor;
    case crIBeam:
        return Qt::IBeamCursor;
    case crSizeNESW:
        return Qt::SizeBDiagCursor;
    case crSizeNS:
        return Qt::SizeVerCursor;
    case crSizeNWSE:
        return Qt::SizeFDiagCursor;
    case crSizeWE:
        return Qt::SizeHorCursor;
    case crUpArrow:
        return Qt::UpArrowCursor;
    case crHourGlass:
        return Qt::WaitCursor;
    case crDrag:
        return Qt::DragMoveCursor;
    case crNoDrop:
    case crNo:
        return Qt::ForbiddenCursor;
    case crHSplit:
        return Qt::SplitHCursor;
    case crVSplit:
        return Qt::SplitVCursor;
    case crHandPoint:
        return Qt::PointingHandCursor;
    case crSizeAll:
        return Qt::SizeAllCursor;
    default:
        return std::nullopt;
    }
}

// Made cursors hold pictures, which must go before the application does.
void dropMadeCursors()
{
    for (Entry& entry : table())
        entry.made.reset();
}

} // namespace

namespace Screen {

void RegisterCursor(TCursor id, std::function<QCursor()> make)
{
    table().insert(id, Entry{std::move(make), std::nullopt});
}

bool HasCursor(TCursor id)
{
    return table().contains(id) || standardShape(id).has_value();
}

QCursor Cursor(TCursor id)
{
    auto it = table().find(id);
    if (it != table().end()) {
        if (!it->made && it->make) {
            static const bool cleanup = [] {
                qAddPostRoutine(dropMadeCursors);
                return true;
            }();
            Q_UNUSED(cleanup);
            it->made = it->make();
        }
        if (it->made)
            return *it->made;
    }
    return QCursor(standardShape(id).value_or(Qt::ArrowCursor));
}

} // namespace Screen
