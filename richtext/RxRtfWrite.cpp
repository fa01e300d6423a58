// The RTF writer of the rich text control (the reader is RxRtf.cpp).

#include "richtext/RxRtf.h"

#include "platform/Cp874.h"

#include <algorithm>
#include <climits>

using namespace RxFormat;

namespace RxRtf {
namespace {

// The character set RTF numbers "default".
constexpr int DEFAULT_CHARSET = 1;

struct FontKey
{
    QString name;
    int charset;
    int pitch;
    bool operator==(const FontKey&) const = default;
};

// A character by its number, with the Thai code page's byte (or "?") for
// readers that do not know \u.
void writeNumbered(QByteArray& out, char16_t u)
{
    out += "\\u" + QByteArray::number(u > 32767 ? int(u) - 65536 : int(u));
    const int b = u >= 0x80 ? Cp874::unicodeToByte(u) : -1;
    if (b >= 0x80) {
        static const char hex[] = "0123456789abcdef";
        out += "\\'";
        out += hex[b >> 4];
        out += hex[b & 15];
    } else {
        out += '?';
    }
}

// A name in a table or a class name. Every character survives: those that
// would end the name (";" in a table) or that RTF does not carry as they
// are go by number.
QByteArray escapeName(const QString& name)
{
    QByteArray out;
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += char(u);
        } else if (u >= 0x20 && u < 0x80 && u != ';') {
            out += char(u);
        } else {
            writeNumbered(out, u);
        }
    }
    return out;
}

void writeText(QByteArray& out, const QString& text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += char(u);
        } else if (u == '\t') {
            out += "\\tab ";
        } else if (u == QChar::LineSeparator) {
            out += "\\line ";
        } else if (u >= 0x20 && u < 0x80) {
            out += char(u);
        } else {
            writeNumbered(out, u);
        }
    }
}

} // namespace

QByteArray Write(const Document& document, bool withObjects)
{
    QList<FontKey> fonts;
    QList<std::uint32_t> colors; // index + 1 in the table; 0 is automatic
    const auto fontIndex = [&](const TCharFormat& f) {
        const FontKey key{f.szFaceName, f.bCharSet, f.bPitchAndFamily & 3};
        qsizetype i = fonts.indexOf(key);
        if (i < 0) {
            fonts.append(key);
            i = fonts.size() - 1;
        }
        return int(i);
    };
    const auto colorIndex = [&](std::uint32_t rgb) {
        qsizetype i = colors.indexOf(rgb & 0xFFFFFF);
        if (i < 0) {
            colors.append(rgb & 0xFFFFFF);
            i = colors.size() - 1;
        }
        return int(i) + 1;
    };

    QByteArray body;
    for (qsizetype p = 0; p < document.paragraphs.size(); ++p) {
        const Paragraph& para = document.paragraphs[p];
        const TParaFormat& pf = para.format;
        body += "\\pard";
        switch (pf.wAlignment) {
        case PFA_RIGHT:
            body += "\\qr";
            break;
        case PFA_CENTER:
            body += "\\qc";
            break;
        case PFA_JUSTIFY:
            body += "\\qj";
            break;
        default:
            break;
        }
        const long long first = -(long long)pf.dxOffset;
        const long long left = (long long)pf.dxStartIndent + pf.dxOffset;
        if (first != 0)
            body += "\\fi" + QByteArray::number(std::clamp<long long>(first, INT_MIN, INT_MAX));
        if (left != 0)
            body += "\\li" + QByteArray::number(std::clamp<long long>(left, INT_MIN, INT_MAX));
        if (pf.dxRightIndent != 0)
            body += "\\ri" + QByteArray::number(pf.dxRightIndent);
        for (int t = 0; t < std::clamp<int>(pf.cTabCount, 0, MaxTabStops); ++t)
            body += "\\tx" + QByteArray::number(pf.rgxTabs[size_t(t)]);
        switch (pf.wNumbering) {
        case PFN_NONE:
            break;
        case PFN_ARABIC:
            body += "{\\*\\pn\\pnlvlbody\\pndec\\pnindent0}";
            break;
        case PFN_LCLETTER:
            body += "{\\*\\pn\\pnlvlbody\\pnlcltr\\pnindent0}";
            break;
        case PFN_UCLETTER:
            body += "{\\*\\pn\\pnlvlbody\\pnucltr\\pnindent0}";
            break;
        case PFN_LCROMAN:
            body += "{\\*\\pn\\pnlvlbody\\pnlcrm\\pnindent0}";
            break;
        case PFN_UCROMAN:
            body += "{\\*\\pn\\pnlvlbody\\pnucrm\\pnindent0}";
            break;
        default:
            body += "{\\*\\pn\\pnlvlblt\\pnindent0{\\pntxtb\\'b7}}";
            break;
        }
        for (const Run& run : para.runs) {
            const TCharFormat& f = run.format;
            if (run.object >= 0) {
                if (!withObjects || run.object >= document.objects.size())
                    continue;
                const Object& o = document.objects[run.object];
                body += "{\\object\\objemb{\\*\\objclass " + escapeName(o.className) + "}\\objw" +
                        QByteArray::number(o.width) + "\\objh" + QByteArray::number(o.height) +
                        "{\\*\\objdata ";
                body += o.data.toHex();
                body += "}}";
                continue;
            }
            body += "\\plain\\f" + QByteArray::number(fontIndex(f));
            if (f.yHeight > 0)
                body += "\\fs" + QByteArray::number(std::clamp(f.yHeight / 10, 1, 3276));
            if (f.dwEffects & CFE_BOLD)
                body += "\\b";
            if (f.dwEffects & CFE_ITALIC)
                body += "\\i";
            if (f.dwEffects & CFE_UNDERLINE)
                body += "\\ul";
            if (f.dwEffects & CFE_STRIKEOUT)
                body += "\\strike";
            if (!(f.dwEffects & CFE_AUTOCOLOR))
                body += "\\cf" + QByteArray::number(colorIndex(f.crTextColor));
            if (!(f.dwEffects & CFE_AUTOBACKCOLOR))
                body += "\\highlight" + QByteArray::number(colorIndex(f.crBackColor));
            body += ' ';
            writeText(body, run.text);
        }
        if (p + 1 < document.paragraphs.size())
            body += "\\par\r\n";
    }

    QByteArray out = "{\\rtf1\\ansi\\ansicpg874\\deff0\\uc1{\\fonttbl";
    if (fonts.isEmpty())
        fonts.append(FontKey{QString(), DEFAULT_CHARSET, DEFAULT_PITCH});
    for (qsizetype i = 0; i < fonts.size(); ++i) {
        out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset" +
               QByteArray::number(fonts[i].charset);
        if (fonts[i].pitch)
            out += "\\fprq" + QByteArray::number(fonts[i].pitch);
        out += ' ' + escapeName(fonts[i].name) + ";}";
    }
    out += "}{\\colortbl ;";
    for (std::uint32_t rgb : colors)
        out += "\\red" + QByteArray::number(rgb & 0xFF) + "\\green" +
               QByteArray::number((rgb >> 8) & 0xFF) + "\\blue" +
               QByteArray::number((rgb >> 16) & 0xFF) + ';';
    out += "}\r\n";
    out += body;
    out += "}\r\n";
    return out;
}

} // namespace RxRtf
