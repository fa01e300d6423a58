#include "components/IniAccess.h"

#include "platform/ProgramFolder.h"
#include "toolkit/Forms.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QString RegistryCompanyName;
bool RegistryUsesTitle = false;
std::function<QString()> DefaultIniFileHook;

namespace {

// The stores these routines know; anything else is an empty store.
bool known(TCustomIniFile* store)
{
    return dynamic_cast<TIniFile*>(store) || dynamic_cast<TRegIniFile*>(store);
}

QString programFileName()
{
    if (QCoreApplication::instance())
        return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', -1);
}

QString withoutExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

const TForm* formOf(const QWidget* widget)
{
    for (const QWidget* w = widget->parentWidget(); w; w = w->parentWidget())
        if (auto* form = qobject_cast<const TForm*>(w))
            return form;
    return nullptr;
}

} // namespace

QString StorageReadString(TCustomIniFile* store, const QString& section, const QString& ident,
                          const QString& defaultValue)
{
    return known(store) ? store->ReadString(section, ident, defaultValue) : defaultValue;
}

void StorageWriteString(TCustomIniFile* store, const QString& section, const QString& ident,
                        const QString& value)
{
    if (dynamic_cast<TIniFile*>(store))
        store->WriteString(section, ident, IniQuoted(value));
    else if (dynamic_cast<TRegIniFile*>(store))
        store->WriteString(section, ident, value);
}

int StorageReadInteger(TCustomIniFile* store, const QString& section, const QString& ident,
                       int defaultValue)
{
    return known(store) ? store->ReadInteger(section, ident, defaultValue) : defaultValue;
}

void StorageWriteInteger(TCustomIniFile* store, const QString& section, const QString& ident,
                         int value)
{
    if (known(store))
        store->WriteInteger(section, ident, value);
}

bool StorageReadBool(TCustomIniFile* store, const QString& section, const QString& ident,
                     bool defaultValue)
{
    return known(store) ? store->ReadBool(section, ident, defaultValue) : defaultValue;
}

void StorageWriteBool(TCustomIniFile* store, const QString& section, const QString& ident,
                      bool value)
{
    if (known(store))
        store->WriteBool(section, ident, value);
}

void StorageEraseSection(TCustomIniFile* store, const QString& section)
{
    if (known(store))
        store->EraseSection(section);
}

QString IniQuoted(const QString& value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return u'"' + value + u'"';
    }
    return value;
}

QString ScreenSizeSuffix()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->geometry().size() : QSize(0, 0);
    return QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height());
}

int ScreenPixelsPerInch()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

QString ReadResolutionString(TCustomIniFile* store, const QString& section, const QString& name)
{
    const QString value = StorageReadString(store, section, name + ScreenSizeSuffix(), QString());
    return value.isEmpty() ? StorageReadString(store, section, name, QString()) : value;
}

void WriteResolutionString(TCustomIniFile* store, const QString& section, const QString& name,
                           const QString& value)
{
    StorageWriteString(store, section, name + ScreenSizeSuffix(), value);
    StorageWriteString(store, section, name, value);
}

QString DefaultSectionName(const QObject* component)
{
    if (!component)
        return QString();
    if (qobject_cast<const TForm*>(component))
        return QString::fromLatin1(component->metaObject()->className());
    const QString name = component->objectName();
    if (auto* control = qobject_cast<const QWidget*>(component)) {
        if (const TForm* form = formOf(control))
            return QString::fromLatin1(form->metaObject()->className()) + name;
        if (const QWidget* parent = control->parentWidget())
            return parent->objectName() + name;
        return name;
    }
    if (auto* form = qobject_cast<const TForm*>(component->parent()))
        return QString::fromLatin1(form->metaObject()->className()) + u'.' + name;
    return name;
}

QString DefaultIniFileName()
{
    if (DefaultIniFileHook)
        return DefaultIniFileHook();
    return withoutExtension(programFileName()) + QStringLiteral(".INI");
}

QString DefaultRegistryKey()
{
    QString base;
    if (RegistryUsesTitle && qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        base = QGuiApplication::applicationDisplayName();
    if (base.isEmpty())
        base = withoutExtension(programFileName());
    if (!RegistryCompanyName.isEmpty())
        base = RegistryCompanyName + u'\\' + base;
    return QStringLiteral("Software\\") + base;
}

QString IniFilePath(const QString& fileName)
{
    if (fileName.isEmpty() || QDir::isAbsolutePath(fileName))
        return fileName;
    return QDir::cleanPath(ProgramFolder() + u'/' + fileName);
}
