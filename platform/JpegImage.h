#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// JPEG pictures decoded through libjpeg. A damaged or unsupported picture
// gives a null image and a reason; it never ends the program.
namespace JpegImage {

QImage decode(const QByteArray& data, QString* error = nullptr);
QImage load(const QString& path, QString* error = nullptr);

} // namespace JpegImage
