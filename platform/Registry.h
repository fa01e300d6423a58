#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

// A file-backed registry with the semantics the program and its plug-ins
// expect of one: two hives, keys opened one level at a time with or without
// creating them, string, DWORD and binary values, deletion, and names that
// compare without regard to case but are stored as written.
//
// All users share one UTF-8 text file in a REGEDIT4-like form. Every write
// locks the file, re-reads it, applies its one change and replaces the file
// atomically (mode 0600), so the browser and a plug-in writing at different
// times never lose each other's values. Lines the reader does not understand
// (a type it does not know, a hand edit, a section of another hive) are kept
// as they stand through every rewrite; a file that is there but cannot be
// read is never written over.

enum class RegRoot { HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER };
enum class RegDataType { rdUnknown, rdString, rdInteger, rdBinary };

class ERegistryException : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The in-memory tree and its text form, without any file access.
class RegistryStore
{
public:
    struct Value
    {
        QString name;
        RegDataType type = RegDataType::rdString;
        QString text;
        quint32 dword = 0;
        QByteArray binary;
        // A line of the file that was not understood, kept as it stood
        // (type rdUnknown). It has a name when the line began with one.
        QByteArray raw;
        bool named = true;
    };
    struct Key
    {
        QString name;
        QList<Value> values;
        std::vector<std::unique_ptr<Key>> subkeys;

        Key() = default;
        Key(const Key& other) { *this = other; }
        Key& operator=(const Key& other);
        Key(Key&&) = default;
        Key& operator=(Key&&) = default;

        Key* child(const QString& name) const;
        Key* addChild(const QString& name);
        Value* value(const QString& name);
        const Value* value(const QString& name) const;
    };

    RegistryStore();

    static RegistryStore parse(const QByteArray& text);
    QByteArray serialize() const;

    Key* root(RegRoot root) { return &roots_[int(root)]; }
    const Key* root(RegRoot root) const { return &roots_[int(root)]; }
    Key* find(RegRoot root, const QStringList& path) const;
    Key* create(RegRoot root, const QStringList& path);
    bool remove(RegRoot root, const QStringList& path);

    static QString rootName(RegRoot root);
    // The lines kept as they stood: before the first key and in sections
    // of other hives.
    const QList<QByteArray>& preamble() const { return preamble_; }
    const QList<QList<QByteArray>>& foreignSections() const { return foreign_; }

private:
    Key roots_[2];
    QList<QByteArray> preamble_;
    QList<QList<QByteArray>> foreign_;
};

class TRegistry
{
public:
    // The registry file of this user: $BREVANT_REGISTRY, else
    // $XDG_CONFIG_HOME/brevant/registry.reg.
    static QString defaultFileName();

    explicit TRegistry(const QString& fileName = defaultFileName());

    RegRoot RootKey = RegRoot::HKEY_CURRENT_USER;

    // `key` may hold several levels separated by "\"; a leading "\" starts
    // from the root, otherwise it is relative to the open key.
    bool OpenKey(const QString& key, bool canCreate);
    void CloseKey();
    QString CurrentPath() const { return currentPath_.join('\\'); }

    bool KeyExists(const QString& key);
    bool ValueExists(const QString& name);
    RegDataType GetDataType(const QString& name);
    QStringList GetKeyNames();
    QStringList GetValueNames();

    // Reading a value of another type raises ERegistryException; a missing
    // string reads as empty, a missing number or binary value raises.
    QString ReadString(const QString& name);
    int ReadInteger(const QString& name);
    QByteArray ReadBinaryData(const QString& name);

    // Writes raise ERegistryException when the file cannot be replaced.
    void WriteString(const QString& name, const QString& value);
    void WriteInteger(const QString& name, int value);
    void WriteBinaryData(const QString& name, const QByteArray& value);
    bool DeleteValue(const QString& name);
    bool DeleteKey(const QString& key);

    // Several changes in one replacement of the file: it is locked, read
    // afresh, handed to `edit` and written once, so either every change
    // reaches it or none does. Raises ERegistryException when the file
    // cannot be replaced.
    void Update(const std::function<void(RegistryStore&)>& edit);

    QString fileName() const { return fileName_; }

    // What the program should tell the user about registry files since the
    // last call (a file that cannot be read, where it was kept), once each.
    static QStringList TakeNotices();
    // How long a write waits for another program's lock on the file.
    static constexpr int LockWaitMs = 2000;

    // One change to the tree; true when it changed something.
    using Change = std::function<bool(RegistryStore&)>;

private:
    QStringList resolve(const QString& key) const;
    const RegistryStore& store();
    const RegistryStore::Value* currentValue(const QString& name);
    // Locks, re-reads, applies the change and writes. A change that cannot
    // be written is kept in memory (this process reads it and writes it with
    // the next write that succeeds) and raises ERegistryException.
    bool modify(const Change& change);
    void writeValue(RegistryStore::Value value);

    QString fileName_;
    QStringList currentPath_;
    bool keyOpen_ = false;
    RegistryStore cache_;
    QByteArray cacheStamp_;
};
