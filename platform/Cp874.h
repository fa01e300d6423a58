#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Code page 874 (Windows-874, Thai): the 8-bit text of data files, sockets
// and the plug-in boundary. Bytes the code page leaves undefined map to
// private-use code points (U+F700 + byte) and back, so any file survives a
// round trip byte for byte.
namespace Cp874 {

QString toUnicode(QByteArrayView bytes);
// Characters with no code page 874 byte become '?'.
QByteArray fromUnicode(QStringView text);

char16_t byteToUnicode(unsigned char byte);
// Returns -1 when the character has no byte in code page 874.
int unicodeToByte(char16_t ch);

} // namespace Cp874
