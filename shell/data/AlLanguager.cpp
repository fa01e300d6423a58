#include "shell/data/AlLanguager.h"

#include "toolkit/Controls.h"
#include "toolkit/Forms.h"

namespace {

constexpr char16_t kEscape = u'\u0E07'; // "ง", byte 0xA7 in code page 874

bool isMenuOrForm(const QObject* component)
{
    return qobject_cast<const TMenuItem*>(component) || qobject_cast<const TForm*>(component);
}

bool listedName(const QString& name, bool menuOrForm)
{
    static const QStringList shortList = {QStringLiteral("caption"), QStringLiteral("text"),
                                          QStringLiteral("hint")};
    static const QStringList longList = {QStringLiteral("caption"), QStringLiteral("text"),
                                         QStringLiteral("hint"),    QStringLiteral("strings"),
                                         QStringLiteral("items"),   QStringLiteral("lines"),
                                         QStringLiteral("filter"),  QStringLiteral("columns"),
                                         QStringLiteral("title"),   QStringLiteral("tabs")};
    return (menuOrForm ? shortList : longList).contains(name);
}

} // namespace

TAlLanguagesStore::TAlLanguagesStore(QObject* owner, const QString& name)
    : TComponent(owner, name), defines_(new TStrings(this))
{
    defines_->Assign({QStringLiteral("eng")});
}

void TAlLanguagesStore::SetLanguagesDefines(const QStringList& lines)
{
    defines_->Assign(lines.isEmpty() ? QStringList{defaultLang_} : lines);
}

TAlLanguager::TAlLanguager(QObject* owner, const QString& name) : TComponent(owner, name) {}

TAlLanguager::~TAlLanguager()
{
    destroying_ = true;
}

const TPropertyLines& TAlLanguager::PropertiesList()
{
    if (!propertiesListBuilt_) {
        BuildPropertiesList();
        propertiesListBuilt_ = true;
    }
    return propertiesList_;
}

void TAlLanguager::BuildPropertiesList()
{
    if (destroying_)
        return;
    propertiesList_.clear();
    auto* form = qobject_cast<TForm*>(parent());
    if (!form)
        return;
    AddComponentProperties(form);
    for (QObject* component : form->Components())
        if (!qobject_cast<TAlLanguager*>(component))
            AddComponentProperties(component);
}

void TAlLanguager::AddComponentProperties(QObject* component)
{
    const QString name = component->objectName();
    if (name.isEmpty())
        return;
    try {
        const bool menuOrForm = isMenuOrForm(component);
        const TPropInfoList list(component, tkTranslatable);
        for (int i = 0; i < list.Count(); ++i) {
            const QString property = QString::fromLatin1(list.GetItem(i).name()).toLower();
            if (listedName(property, menuOrForm))
                propertiesList_.append({name.toLower() + u'.' + property, component});
        }
    } catch (...) {
        // The lines already added stay.
    }
}

void TAlLanguager::SetLocalizationString(const QString& text)
{
    if (!propertiesListBuilt_)
        BuildPropertiesList();
    localizationLines_ = SplitLocalizationLines(text);
    try {
        TPropsStorage storage;
        storage.Section = QStringLiteral("_");
        storage.OnReadValue = [this](const QString& section, const QString& ident,
                                     const QString& def) {
            return ReadLocalizedString(section, ident, def);
        };
        storage.LoadComponentProperties(parent(), propertiesList_);
    } catch (...) {
        // A translation never stops the form.
    }
}

QString TAlLanguager::ReadLocalizedString(const QString& section, const QString& ident,
                                          const QString& def) const
{
    const QString key = u'*' + section.toLower() + u'*' + ident.toLower();
    for (qsizetype i = 0; i < localizationLines_.size(); ++i) {
        if (localizationLines_.at(i).compare(key, Qt::CaseInsensitive) != 0)
            continue;
        if (i + 1 >= localizationLines_.size())
            return def;
        return DecodeLocalizedValue(localizationLines_.at(i + 1).mid(1));
    }
    return def;
}

QStringList SplitLocalizationLines(const QString& text)
{
    QStringList lines;
    QString current;
    bool pending = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(current);
            current.clear();
            pending = false;
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else {
            current += c;
            pending = true;
        }
    }
    if (pending)
        lines.append(current);
    return lines;
}

QString DecodeLocalizedValue(const QString& value)
{
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == kEscape) {
            if (i + 1 >= value.size())
                break; // a lone escape at the end
            const QChar next = value.at(++i);
            if (next == u'!')
                result += QStringLiteral("\r\n");
            else
                result += next; // "งง" gives "ง"; any other escape is dropped
        } else if (c == u'\'' && i + 1 < value.size() && value.at(i + 1) == u'\'') {
            result += u'\'';
            ++i;
        } else {
            result += c;
        }
    }
    return result;
}

QString EncodeLocalizedValue(const QString& value)
{
    QString result;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == kEscape) {
            result += QString(2, QChar(kEscape));
        } else if (c == u'\'') {
            result += QStringLiteral("''");
        } else if (c == u'\r' && i + 1 < value.size() && value.at(i + 1) == u'\n') {
            result += QChar(kEscape);
            result += u'!';
            ++i;
        } else if (c == u'\n') {
            result += QChar(kEscape);
            result += u'!';
        } else {
            result += c;
        }
    }
    return result;
}

QString BuildLocalizationString(const QList<TLocalizedText>& texts)
{
    QString result;
    for (const TLocalizedText& text : texts) {
        result += QLatin1String(text.key) + QStringLiteral("\r\n");
        result += u' ' + EncodeLocalizedValue(text.value) + QStringLiteral("\r\n");
    }
    return result;
}

TAlLanguagesStore* MainLanguagesStore()
{
    TForm* main = Application::MainForm();
    return main ? main->findChild<TAlLanguagesStore*>(QStringLiteral("AS_Language")) : nullptr;
}
