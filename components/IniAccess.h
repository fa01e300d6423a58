#pragma once

#include "platform/IniFiles.h"

#include <QString>

#include <functional>

class QObject;

// Settings by section and identifier without caring whether the store is an
// ini file or a registry key, one value per screen resolution where wanted,
// and the default file, key and section names derived from the program and
// the component.
//
// A store is a TIniFile or a TRegIniFile; any other store, and none, reads
// as empty and ignores writes.

// Inserted as a key level in the default registry key when not empty.
extern QString RegistryCompanyName;
// The application title replaces the program name in the default registry
// key when set and the title is not empty.
extern bool RegistryUsesTitle;
// Supplies the default ini file name when assigned.
extern std::function<QString()> DefaultIniFileHook;

QString StorageReadString(TCustomIniFile* store, const QString& section, const QString& ident,
                          const QString& defaultValue);
// An ini file value that its reading would strip of a pair of enclosing
// quotes gets one more pair of double quotes (IniQuoted).
void StorageWriteString(TCustomIniFile* store, const QString& section, const QString& ident,
                        const QString& value);
int StorageReadInteger(TCustomIniFile* store, const QString& section, const QString& ident,
                       int defaultValue);
void StorageWriteInteger(TCustomIniFile* store, const QString& section, const QString& ident,
                         int value);
bool StorageReadBool(TCustomIniFile* store, const QString& section, const QString& ident,
                     bool defaultValue);
void StorageWriteBool(TCustomIniFile* store, const QString& section, const QString& ident,
                      bool value);
void StorageEraseSection(TCustomIniFile* store, const QString& section);

// The text an ini file keeps for a value so that it reads back unchanged.
QString IniQuoted(const QString& value);

// "(%dx%d)" with the screen's width and height in pixels.
QString ScreenSizeSuffix();
// The screen's pixels per inch, as stores keep it under "PixelsPerInch".
int ScreenPixelsPerInch();
// The value under name + ScreenSizeSuffix, else under the plain name.
QString ReadResolutionString(TCustomIniFile* store, const QString& section, const QString& name);
// Writes under name + ScreenSizeSuffix, then under the plain name.
void WriteResolutionString(TCustomIniFile* store, const QString& section, const QString& name,
                           const QString& value);

// A form: its class name. A control: its name after the class name of the
// form it sits on (or the name of its parent control when on no form). Any
// other component: its name, "Form.Name" when a form owns it. A form's class
// name is its own only while the form is whole: not from its destruction.
QString DefaultSectionName(const QObject* component);
// The program's file name with its extension replaced by ".INI", without
// the folder (or what DefaultIniFileHook says).
QString DefaultIniFileName();
// "Software\" + [RegistryCompanyName + "\"] + the program's name or title.
QString DefaultRegistryKey();

// Where an ini file of that name lives: a name without a folder, or with a
// relative one, is under the program folder (ProgramFolder, which
// BREVANT_HOME moves), never under the current directory.
QString IniFilePath(const QString& fileName);
