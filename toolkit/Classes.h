#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// The component model the forms are built on. A component is a QObject: its
// Name is the objectName, its Owner the form that holds it. Properties that
// the program reads and writes by name are Q_PROPERTY declarations of our own
// classes (the T-prefixed ones); Qt's own properties are not published.
//
// Free notification is QPointer: a reference to a component that frees
// itself reads as null afterwards.

// Persistent objects that a component owns and publishes as a property (a
// string list, a collection): loaded in place rather than re-pointed.
class TPersistent : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
};

// A plain non-visual component.
class TComponent : public QObject
{
    Q_OBJECT
public:
    explicit TComponent(QObject* owner = nullptr, const QString& name = {});
    QString Name() const { return objectName(); }
    void SetName(const QString& name) { setObjectName(name); }
    QObject* Owner() const { return parent(); }
};

// A list of text lines. Owners that show the lines (a combo box, a memo)
// install OnChange to mirror them into their widget.
class TStrings : public TPersistent
{
    Q_OBJECT
public:
    explicit TStrings(QObject* parent = nullptr) : TPersistent(parent) {}

    const QStringList& lines() const { return lines_; }
    void Assign(const QStringList& lines);
    void Add(const QString& line);
    void Clear();
    int Count() const { return int(lines_.size()); }
    QString Text() const; // every line ended by CR LF
    void SetText(const QString& text);

    std::function<void()> OnChange;

private:
    void changed();
    QStringList lines_;
};

class TCollection;

// One item of a collection; subclasses declare the item's properties.
class TCollectionItem : public QObject
{
    Q_OBJECT
public:
    explicit TCollectionItem(TCollection* collection);
    TCollection* Collection() const { return collection_; }
    int Index() const;

private:
    TCollection* collection_;
};

// An ordered, owned list of items of one class, with update brackets.
class TCollection : public TPersistent
{
    Q_OBJECT
public:
    using ItemFactory = std::function<TCollectionItem*(TCollection*)>;
    TCollection(ItemFactory factory, QObject* parent = nullptr);
    ~TCollection() override;

    int Count() const { return int(items_.size()); }
    TCollectionItem* Item(int index) const { return items_.at(size_t(index)).get(); }
    TCollectionItem* Add();
    void Clear();
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();

    // Called after every change once no update is open.
    std::function<void()> OnChange;

private:
    void changed();
    ItemFactory factory_;
    std::vector<std::unique_ptr<TCollectionItem>> items_;
    int updateCount_ = 0;
    bool pending_ = false;
};
