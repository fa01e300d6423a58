#pragma once

#include <QString>

// A name made into one file name: UTF-8 with "%", "/", "\", control
// characters and a leading "." percent-escaped, so that it stays one file in
// its folder whatever it holds. A name whose escaped form is longer than
// `room` bytes is cut at a character boundary and given "~" and a short hash
// of the whole name, so that long names stay distinct.
QString EscapedFileName(const QString& name, int room);

// The name an escaped file name was made from (percent-decoded).
QString UnescapedFileName(const QString& fileName);
