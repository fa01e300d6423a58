#pragma once

#include "components/PropsStorage.h"
#include "toolkit/Classes.h"

#include <QPointer>
#include <QString>
#include <QStringList>

// Language components: the store names the project's languages; a
// languager on each translated form applies one localisation string to the
// form and the components it owns.
//
// A localisation string is lines in pairs: a key "*section*identifier" (in
// lower case) and a value line whose first character is dropped and whose
// rest is decoded (see DecodeLocalizedValue).

class TAlLanguagesStore : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString DefaultLang READ DefaultLang WRITE SetDefaultLang)
    Q_PROPERTY(QString LanguagesPasUnit READ LanguagesPasUnit WRITE SetLanguagesPasUnit)
    Q_PROPERTY(TStrings* LanguagesDefines READ LanguagesDefines)

public:
    explicit TAlLanguagesStore(QObject* owner = nullptr, const QString& name = {});

    QString DefaultLang() const { return defaultLang_; }
    void SetDefaultLang(const QString& lang) { defaultLang_ = lang; }
    QString LanguagesPasUnit() const { return pasUnit_; }
    // The name is only kept; no file is ever opened.
    void SetLanguagesPasUnit(const QString& name) { pasUnit_ = name; }
    TStrings* LanguagesDefines() const { return defines_; }
    // Copies the lines; an empty list becomes the one line DefaultLang.
    void SetLanguagesDefines(const QStringList& lines);

private:
    QString defaultLang_ = QStringLiteral("eng");
    QString pasUnit_ = QStringLiteral("c:\\FormLocalizations1");
    TStrings* defines_;
};

class TAlLanguager : public TComponent
{
    Q_OBJECT

public:
    explicit TAlLanguager(QObject* owner = nullptr, const QString& name = {});
    ~TAlLanguager() override;

    TAlLanguagesStore* LanguagesStore() const { return store_; }
    void SetLanguagesStore(TAlLanguagesStore* store) { store_ = store; }

    // Built on first read.
    const TPropertyLines& PropertiesList();
    // Applies the string to the owner form and its components.
    void SetLocalizationString(const QString& text);

    // The lookup the storage asks for every property.
    QString ReadLocalizedString(const QString& section, const QString& ident,
                                const QString& def) const;

private:
    void BuildPropertiesList();
    void AddComponentProperties(QObject* component);

    QPointer<TAlLanguagesStore> store_;
    TPropertyLines propertiesList_;
    QStringList localizationLines_;
    bool propertiesListBuilt_ = false;
    bool destroying_ = false;
};

// Splits a text into lines at CR, LF or CR LF.
QStringList SplitLocalizationLines(const QString& text);

// Decodes a value line after its first character was dropped: "ง!" (the
// byte 0xA7 of code page 874, then "!") becomes CR LF, "งง" one "ง", a lone
// "ง" before any other character is dropped; two apostrophes become one.
QString DecodeLocalizedValue(const QString& value);
// The inverse, for building strings: every "ง" doubled, CR LF (or a lone
// LF) written "ง!", every apostrophe doubled.
QString EncodeLocalizedValue(const QString& value);

// Builds a localisation string from key and value pairs: each key line,
// then a blank and the encoded value, every line ended by CR LF.
struct TLocalizedText
{
    const char* key; // "*_*sb_go_caption"
    QString value;
};
QString BuildLocalizationString(const QList<TLocalizedText>& texts);

// The language store of the application's main form (its "AS_Language"),
// which every translated form binds to; null without a main form.
TAlLanguagesStore* MainLanguagesStore();
