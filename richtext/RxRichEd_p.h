#pragma once

// What the rich text control's units share inside the control.

#include <QChar>
#include <QString>

namespace RxRichEdPrivate {

// Width of the selection bar at the left edge, in pixels.
constexpr int SelectionBarWidth = 8;

// Text as the document stores it: every CR LF, CR and LF one paragraph
// break.
inline QString documentText(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QString(QChar::ParagraphSeparator));
    t.replace(QLatin1Char('\r'), QChar::ParagraphSeparator);
    t.replace(QLatin1Char('\n'), QChar::ParagraphSeparator);
    return t;
}

// Restores a flag when it goes out of scope, also after an error.
class FlagScope
{
public:
    FlagScope(bool& flag, bool value) : flag_(flag), saved_(flag) { flag_ = value; }
    ~FlagScope() { flag_ = saved_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool saved_;
};

} // namespace RxRichEdPrivate
