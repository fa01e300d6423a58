#include "toolkit/Classes.h"

TComponent::TComponent(QObject* owner, const QString& name) : QObject(owner)
{
    setObjectName(name);
}

void TStrings::Assign(const QStringList& lines)
{
    lines_ = lines;
    changed();
}

void TStrings::Add(const QString& line)
{
    lines_.append(line);
    changed();
}

void TStrings::Clear()
{
    lines_.clear();
    changed();
}

QString TStrings::Text() const
{
    QString text;
    for (const QString& line : lines_)
        text += line + QStringLiteral("\r\n");
    return text;
}

void TStrings::SetText(const QString& text)
{
    QStringList lines;
    QString current;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(current);
            current.clear();
            any = false;
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        lines.append(current);
    Assign(lines);
}

void TStrings::changed()
{
    if (OnChange)
        OnChange();
}

TCollectionItem::TCollectionItem(TCollection* collection) : collection_(collection) {}

int TCollectionItem::Index() const
{
    for (int i = 0; i < collection_->Count(); ++i)
        if (collection_->Item(i) == this)
            return i;
    return -1;
}

TCollection::TCollection(ItemFactory factory, QObject* parent)
    : TPersistent(parent), factory_(std::move(factory))
{}

TCollection::~TCollection() = default;

TCollectionItem* TCollection::Add()
{
    items_.emplace_back(factory_(this));
    changed();
    return items_.back().get();
}

void TCollection::Clear()
{
    items_.clear();
    changed();
}

void TCollection::EndUpdate()
{
    if (updateCount_ > 0 && --updateCount_ == 0 && pending_) {
        pending_ = false;
        if (OnChange)
            OnChange();
    }
}

void TCollection::changed()
{
    if (updateCount_ > 0) {
        pending_ = true;
        return;
    }
    if (OnChange)
        OnChange();
}
