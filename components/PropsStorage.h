#pragma once

#include <QList>
#include <QMetaProperty>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

// Reads published properties of components from text, one at a time, by
// name: each property's current value becomes text, a lookup installed by
// the user of the storage answers the text under a section and an
// identifier, and the answer is written back by the property's kind.
//
// Published properties are the Q_PROPERTY declarations of our own
// (T-prefixed) classes; Qt's own properties are never touched, and a name
// that no class declares is never created.

enum class TPropKind {
    Unknown,
    Integer,
    Char,
    Enumeration,
    Float,
    String,
    Set,
    Class,
    Int64,
    Variant,
};

// Kind masks.
enum TPropKindMask : unsigned {
    tkTranslatable = (1u << int(TPropKind::String)) | (1u << int(TPropKind::Class)),
    tkAllButMethod = 0xFFFFFFFEu,
};

TPropKind PropertyKind(const QMetaProperty& property);

// The filtered, ordered list of an object's published properties.
class TPropInfoList
{
public:
    TPropInfoList() = default;
    TPropInfoList(const QObject* object, unsigned kindMask);

    int Count() const { return int(list_.size()); }
    const QMetaProperty& GetItem(int index) const { return list_.at(index); }
    // First property whose name equals `name` ignoring case; null when none.
    const QMetaProperty* FindByName(const QString& name) const;

private:
    QList<QMetaProperty> list_;
};

// One line of a properties list: "Component.property" and its component.
// The component is watched: a freed one reads as null.
struct TPropertyLine
{
    QString text;
    QPointer<QObject> object;
};
using TPropertyLines = QList<TPropertyLine>;

class TPropsStorage
{
public:
    using ReadValueEvent =
        std::function<QString(const QString& section, const QString& ident, const QString& def)>;
    using WriteValueEvent =
        std::function<void(const QString& section, const QString& ident, const QString& value)>;
    using ClearSectionEvent = std::function<void(const QString& section)>;

    // Largest count of items a collection or string list is given from text.
    static constexpr int MaxItemCount = 4096;

    TPropsStorage() = default;
    virtual ~TPropsStorage() = default;

    QObject* Instance = nullptr;
    QObject* Owner = nullptr;
    QString Prefix;
    QString Section;
    ReadValueEvent OnReadValue;
    WriteValueEvent OnWriteValue;
    ClearSectionEvent OnClearSection;

    virtual QString ReadValue(const QString& section, const QString& ident, const QString& def);
    virtual void WriteValue(const QString& section, const QString& ident, const QString& value);
    virtual void ClearSection(const QString& section);
    virtual QString QualifiedIdent(const QString& propertyName) const;
    virtual TPropsStorage* NewNestedStorage() const;

    // Loads every property the list names; rewrites the list in place (see
    // the implementation). Never throws.
    void LoadComponentProperties(QObject* owner, TPropertyLines& list);
    // Loads one property of Instance. Never throws.
    void LoadProperty(const QMetaProperty* property);

    // Text form of the property's current value ("" for kinds not handled).
    QString ValueToText(const QMetaProperty& property) const;
    // Writes the text into the property by its kind.
    void TextToValue(const QMetaProperty& property, const QString& text);

private:
    void loadObjectProperties(QObject* object, const QString& prefix);
    void loadStrings(const QMetaProperty& property, QObject* object);
    void loadCollection(const QMetaProperty& property, QObject* object);
    void loadReference(const QMetaProperty& property, const QString& text);
};

// Trims characters at or below the blank from both ends.
QString TrimBlanks(const QString& text);
