#include "components/PropsStorage.h"

#include "toolkit/Classes.h"
#include "toolkit/Forms.h"

#include <QHash>
#include <QMetaEnum>
#include <QMetaObject>
#include <QRegularExpression>

#include <memory>
#include <vector>

namespace {

bool isPublishedLevel(const QMetaObject* meta)
{
    const char* name = meta->className();
    return name[0] == 'T';
}

// Writes an enumeration or set value through the property's own type, whose
// storage is a plain int.
bool writeEnumValue(const QMetaProperty& property, QObject* object, int value)
{
    const QMetaType type = property.metaType();
    if (type.sizeOf() != sizeof(int))
        return property.write(object, value);
    return property.write(object, QVariant(type, &value));
}

int enumValue(const QMetaProperty& property, const QObject* object)
{
    const QVariant value = property.read(object);
    const QMetaType type = property.metaType();
    if (type.sizeOf() == sizeof(int) && value.metaType() == type)
        return *static_cast<const int*>(value.constData());
    return value.toInt();
}

bool isSingleBit(int value, int* bit)
{
    const auto u = static_cast<unsigned>(value);
    if (u == 0 || (u & (u - 1)) != 0)
        return false;
    int index = 0;
    while (!(u & (1u << index)))
        ++index;
    *bit = index;
    return true;
}

bool splitAtDot(const QString& line, QString* first, QString* second)
{
    const qsizetype dot = line.indexOf(u'.');
    if (dot < 0)
        return false;
    *first = line.left(dot).trimmed();
    *second = line.mid(dot + 1).trimmed();
    return true;
}

QObject* findOwnedComponent(QObject* owner, const QString& name)
{
    if (name.isEmpty())
        return nullptr;
    if (auto* form = qobject_cast<TForm*>(owner))
        return form->FindComponent(name);
    const QList<QObject*> children = owner->findChildren<QObject*>();
    for (QObject* child : children)
        if (child->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return child;
    return nullptr;
}

// Parses an integer that must be all decimal text (an optional sign).
bool parseInteger(const QString& text, qlonglong* value)
{
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok, 10);
    if (ok)
        *value = v;
    return ok;
}

} // namespace

QString TrimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

TPropKind PropertyKind(const QMetaProperty& property)
{
    if (property.isEnumType())
        return property.isFlagType() ? TPropKind::Set : TPropKind::Enumeration;
    const QMetaType type = property.metaType();
    switch (type.id()) {
    case QMetaType::Bool:
        return TPropKind::Enumeration;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return TPropKind::Integer;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return TPropKind::Int64;
    case QMetaType::QChar:
    case QMetaType::Char:
        return TPropKind::Char;
    case QMetaType::Double:
    case QMetaType::Float:
        return TPropKind::Float;
    case QMetaType::QString:
        return TPropKind::String;
    case QMetaType::QVariant:
        return TPropKind::Variant;
    default:
        break;
    }
    if (type.flags() & QMetaType::PointerToQObject)
        return TPropKind::Class;
    return TPropKind::Unknown;
}

TPropInfoList::TPropInfoList(const QObject* object, unsigned kindMask)
{
    if (!object)
        return;
    std::vector<const QMetaObject*> levels;
    for (const QMetaObject* meta = object->metaObject(); meta && isPublishedLevel(meta);
         meta = meta->superClass())
        levels.push_back(meta);
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        const QMetaObject* meta = *it;
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            const TPropKind kind = PropertyKind(property);
            if (kind != TPropKind::Unknown && (kindMask & (1u << int(kind))))
                list_.append(property);
        }
    }
}

const QMetaProperty* TPropInfoList::FindByName(const QString& name) const
{
    for (const QMetaProperty& property : list_)
        if (name.compare(QLatin1String(property.name()), Qt::CaseInsensitive) == 0)
            return &property;
    return nullptr;
}

QString TPropsStorage::ReadValue(const QString& section, const QString& ident, const QString& def)
{
    if (OnReadValue)
        return OnReadValue(section, ident, def);
    return {};
}

void TPropsStorage::WriteValue(const QString& section, const QString& ident, const QString& value)
{
    if (OnWriteValue)
        OnWriteValue(section, ident, value);
}

void TPropsStorage::ClearSection(const QString& section)
{
    if (OnClearSection)
        OnClearSection(section);
}

QString TPropsStorage::QualifiedIdent(const QString& propertyName) const
{
    return Prefix + propertyName;
}

TPropsStorage* TPropsStorage::NewNestedStorage() const
{
    return new TPropsStorage;
}

QString TPropsStorage::ValueToText(const QMetaProperty& property) const
{
    const QObject* object = Instance;
    switch (PropertyKind(property)) {
    case TPropKind::Integer:
    case TPropKind::Int64:
        return QString::number(property.read(object).toLongLong());
    case TPropKind::Char: {
        const QVariant value = property.read(object);
        return QString(value.metaType().id() == QMetaType::Char ? QChar(uchar(value.value<char>()))
                                                                : value.toChar());
    }
    case TPropKind::Enumeration: {
        if (property.metaType().id() == QMetaType::Bool)
            return property.read(object).toBool() ? QStringLiteral("True")
                                                  : QStringLiteral("False");
        const char* key = property.enumerator().valueToKey(enumValue(property, object));
        return key ? QString::fromLatin1(key) : QString();
    }
    case TPropKind::Float: {
        const int digits = property.metaType().id() == QMetaType::Float ? 7 : 15;
        return QString::number(property.read(object).toDouble(), 'g', digits);
    }
    case TPropKind::String:
        return property.read(object).toString();
    case TPropKind::Set: {
        const QMetaEnum meta = property.enumerator();
        const auto bits = static_cast<unsigned>(enumValue(property, object));
        QStringList names;
        for (int bit = 0; bit < 32; ++bit) {
            if (!(bits & (1u << bit)))
                continue;
            for (int k = 0; k < meta.keyCount(); ++k)
                if (static_cast<unsigned>(meta.value(k)) == (1u << bit)) {
                    names.append(QString::fromLatin1(meta.key(k)));
                    break;
                }
        }
        return u'[' + names.join(u',') + u']';
    }
    case TPropKind::Variant:
        return property.read(object).value<QVariant>().toString();
    case TPropKind::Class:
    case TPropKind::Unknown:
        break;
    }
    return {};
}

void TPropsStorage::TextToValue(const QMetaProperty& property, const QString& text)
{
    QObject* object = Instance;
    switch (PropertyKind(property)) {
    case TPropKind::Integer: {
        qlonglong value = 0;
        // Text that is not a number, or one the property cannot hold,
        // leaves the value as it was.
        if (!parseInteger(text, &value))
            return;
        QVariant variant(value);
        if (!variant.convert(property.metaType()) || variant.toLongLong() != value)
            return;
        property.write(object, variant);
        return;
    }
    case TPropKind::Int64: {
        qlonglong value = 0;
        if (parseInteger(text, &value))
            property.write(object, QVariant(value));
        return;
    }
    case TPropKind::Char:
        if (text.isEmpty())
            return;
        if (property.metaType().id() == QMetaType::Char)
            property.write(object, QVariant::fromValue(char(text.at(0).unicode() & 0xFF)));
        else
            property.write(object, QVariant(text.at(0)));
        return;
    case TPropKind::Enumeration: {
        if (property.metaType().id() == QMetaType::Bool) {
            if (text.compare(u"False", Qt::CaseInsensitive) == 0)
                property.write(object, false);
            else if (text.compare(u"True", Qt::CaseInsensitive) == 0)
                property.write(object, true);
            return;
        }
        const QMetaEnum meta = property.enumerator();
        bool found = false;
        int best = 0;
        for (int k = 0; k < meta.keyCount(); ++k) {
            if (text.compare(QLatin1String(meta.key(k)), Qt::CaseInsensitive) != 0)
                continue;
            if (!found || meta.value(k) < best)
                best = meta.value(k);
            found = true;
        }
        if (found)
            writeEnumValue(property, object, best);
        return;
    }
    case TPropKind::Float: {
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (ok)
            property.write(object, value);
        return;
    }
    case TPropKind::String:
        property.write(object, text);
        return;
    case TPropKind::Set: {
        static const QRegularExpression separators(QStringLiteral("[\\x00- ,\\[\\]]+"));
        const QMetaEnum meta = property.enumerator();
        unsigned bits = 0;
        for (const QString& word : text.split(separators, Qt::SkipEmptyParts)) {
            for (int k = 0; k < meta.keyCount(); ++k) {
                int bit = 0;
                if (word.compare(QLatin1String(meta.key(k)), Qt::CaseInsensitive) == 0 &&
                    isSingleBit(meta.value(k), &bit)) {
                    bits |= 1u << bit;
                    break;
                }
            }
        }
        writeEnumValue(property, object, static_cast<int>(bits));
        return;
    }
    case TPropKind::Variant:
        property.write(object, QVariant(text));
        return;
    case TPropKind::Class: {
        QObject* value = property.read(object).value<QObject*>();
        const QMetaObject* declared = property.metaType().metaObject();
        const bool persistent = (declared && declared->inherits(&TPersistent::staticMetaObject)) ||
                                qobject_cast<TPersistent*>(value);
        if (!persistent) {
            loadReference(property, text);
            return;
        }
        if (qobject_cast<TStrings*>(value))
            loadStrings(property, value);
        else if (qobject_cast<TCollection*>(value))
            loadCollection(property, value);
        loadObjectProperties(value, Prefix + QLatin1String(property.name()));
        return;
    }
    case TPropKind::Unknown:
        return;
    }
}

void TPropsStorage::LoadProperty(const QMetaProperty* property)
{
    if (!property || !Instance)
        return;
    try {
        const TPropKind kind = PropertyKind(*property);
        if (kind == TPropKind::Unknown)
            return;
        const QString def = ValueToText(*property);
        QString text;
        if (!def.isEmpty() || kind == TPropKind::String || kind == TPropKind::Class ||
            kind == TPropKind::Char)
            text = TrimBlanks(
                ReadValue(Section, QualifiedIdent(QLatin1String(property->name())), def));
        TextToValue(*property, text);
    } catch (...) {
        // A property that cannot be loaded keeps whatever it reached.
    }
}

void TPropsStorage::loadObjectProperties(QObject* object, const QString& prefix)
{
    if (!object)
        return;
    std::unique_ptr<TPropsStorage> nested(NewNestedStorage());
    nested->Instance = object;
    nested->Prefix = prefix;
    nested->Section = Section;
    nested->OnReadValue = OnReadValue;
    const TPropInfoList list(object, tkAllButMethod);
    for (int i = 0; i < list.Count(); ++i)
        nested->LoadProperty(&list.GetItem(i));
}

void TPropsStorage::loadStrings(const QMetaProperty& property, QObject* object)
{
    auto* strings = static_cast<TStrings*>(object);
    const QString sub = Section + u'.' + QualifiedIdent(QLatin1String(property.name()));
    qlonglong count = 0;
    if (!parseInteger(TrimBlanks(ReadValue(sub, QStringLiteral("Count"), QStringLiteral("0"))),
                      &count) ||
        count <= 0)
        return;
    count = qMin<qlonglong>(count, MaxItemCount);
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines.append(ReadValue(sub, QStringLiteral("Item") + QString::number(i), QString()));
    strings->Assign(lines);
}

void TPropsStorage::loadCollection(const QMetaProperty& property, QObject* object)
{
    auto* collection = static_cast<TCollection*>(object);
    const QString name = QLatin1String(property.name());
    const int current = collection->Count();
    qlonglong count = current;
    const QString text =
        ReadValue(Section, Prefix + name + QStringLiteral(".Count"), QString::number(current));
    // A count that is not a number or is negative keeps the items; a huge one
    // is held to the cap.
    if (!parseInteger(text, &count) || count < 0)
        count = current;
    count = qMin<qlonglong>(count, MaxItemCount);

    struct UpdateGuard
    {
        TCollection* c;
        ~UpdateGuard() { c->EndUpdate(); }
    };
    collection->BeginUpdate();
    UpdateGuard guard{collection};
    const bool rebuild = count != current;
    if (rebuild)
        collection->Clear();
    std::unique_ptr<TPropsStorage> nested(NewNestedStorage());
    nested->Section = Section + u'.' + Prefix + name;
    nested->OnReadValue = OnReadValue;
    for (int i = 0; i < count; ++i) {
        TCollectionItem* item = rebuild ? collection->Add() : collection->Item(i);
        nested->Instance = item;
        nested->Prefix = QStringLiteral("Item") + QString::number(i) + u'_';
        const TPropInfoList list(item, tkAllButMethod);
        for (int p = 0; p < list.Count(); ++p)
            nested->LoadProperty(&list.GetItem(p));
    }
}

void TPropsStorage::loadReference(const QMetaProperty& property, const QString& rawText)
{
    const QString text = rawText.trimmed();
    if (text.isEmpty())
        return;
    const QMetaObject* declared = property.metaType().metaObject();
    auto writeRef = [&](QObject* target) {
        if (target && declared && !target->metaObject()->inherits(declared))
            return; // a component of another class is never assigned
        property.write(Instance, QVariant(property.metaType(), &target));
    };
    if (text.compare(u"(null)", Qt::CaseInsensitive) == 0) {
        writeRef(nullptr);
        return;
    }
    QString ownerPart;
    QString namePart = text;
    splitAtDot(text, &ownerPart, &namePart);
    QObject* owner = ownerPart.isEmpty() ? Owner : FindFormByName(ownerPart);
    if (!owner)
        return;
    writeRef(findOwnedComponent(owner, namePart));
}

void TPropsStorage::LoadComponentProperties(QObject* owner, TPropertyLines& list)
{
    // Normalise: drop lines without both parts or without a live component,
    // and write every other line as "<component name>.<property>".
    for (qsizetype i = list.size() - 1; i >= 0; --i) {
        QString first;
        QString second;
        TPropertyLine& line = list[i];
        if (!splitAtDot(line.text, &first, &second) || first.isEmpty() || second.isEmpty() ||
            !line.object) {
            list.removeAt(i);
            continue;
        }
        const QString name = line.object->objectName();
        line.text = name.isEmpty() ? QString() : name + u'.' + second;
    }

    // Property lists of each distinct component, keyed by the object itself
    // so that two components of one name never share an entry.
    QHash<QObject*, TPropInfoList> table;
    try {
        for (const TPropertyLine& line : list)
            if (line.object && !table.contains(line.object))
                table.insert(line.object, TPropInfoList(line.object, tkAllButMethod));
    } catch (...) {
        return;
    }

    struct OwnerGuard
    {
        QObject*& owner;
        ~OwnerGuard() { owner = nullptr; }
    };
    Owner = owner;
    OwnerGuard guard{Owner};
    for (const TPropertyLine& line : list) {
        QString first;
        QString second;
        if (!line.object || !splitAtDot(line.text, &first, &second))
            continue;
        const auto found = table.constFind(line.object);
        if (found == table.constEnd())
            continue;
        Instance = line.object;
        Prefix = line.object->objectName() + u'_';
        LoadProperty(found->FindByName(second));
    }
    Instance = nullptr;
}
