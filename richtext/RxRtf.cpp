// The RTF reader of the rich text control (the writer is RxRtfWrite.cpp).

#include "richtext/RxRtf.h"

#include "platform/Cp874.h"

#include <QHash>
#include <QMap>

#include <algorithm>
#include <climits>

using namespace RxFormat;

namespace RxRtf {

QString Document::plainText() const
{
    QString text;
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        if (i > 0)
            text += QLatin1Char('\r');
        for (const Run& run : paragraphs[i].runs)
            text += run.text;
    }
    return text;
}

namespace {

// Character sets of fonts as RTF numbers them.
constexpr int DEFAULT_CHARSET = 1;
constexpr int SYMBOL_CHARSET = 2;
constexpr int THAI_CHARSET = 222;

// --- code pages of \'hh and raw 8-bit text ---

// Windows-1252 at 0x80-0x9F; the rest of the page is Latin-1.
constexpr char16_t cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

enum class CodePage { Thai, Western, Symbol };

char16_t decodeByte(unsigned char b, CodePage page)
{
    if (b < 0x80)
        return b;
    switch (page) {
    case CodePage::Thai:
        return Cp874::byteToUnicode(b);
    case CodePage::Western:
        return b < 0xA0 ? cp1252High[b - 0x80] : char16_t(b);
    case CodePage::Symbol:
        return char16_t(b);
    }
    return b;
}

// --- reader ---

struct Font
{
    QString name;
    int charset = DEFAULT_CHARSET;
    int pitch = DEFAULT_PITCH;
};

struct Color
{
    bool automatic = true;
    std::uint32_t rgb = 0;
};

enum class Dest {
    Text,      // document text
    Skip,      // ignored with everything inside
    FontTable, // \fonttbl
    ColorTable,
    Numbering, // \*\pn: keywords set the paragraph's numbering
    Object,    // \object: keywords describe the object
    ObjClass,  // its class name
    ObjData,   // its data in hex
};

struct State
{
    Dest dest = Dest::Text;
    // Character format.
    int font = -1;
    int halfPoints = 24;
    bool bold = false, italic = false, underline = false, strike = false;
    int color = 0; // colour table index; 0 or unknown: automatic
    int back = 0;
    int uc = 1;
    // Paragraph format, with the indents as RTF gives them (the first line
    // from the left indent); \pard resets them with the rest.
    TParaFormat para;
    int leftIndent = 0;
    int firstIndent = 0;
};

class Reader
{
public:
    Reader(QByteArrayView in, Document& doc, const Limits& limits)
        : in_(in), doc_(doc), limits_(limits)
    {}

    bool run(QString* error)
    {
        // A byte-order mark and blanks before the group belong to whoever
        // saved the file, not to the text.
        if (in_.startsWith("\xEF\xBB\xBF"))
            pos_ = 3;
        while (pos_ < in_.size() && (in_[pos_] == ' ' || (in_[pos_] >= '\t' && in_[pos_] <= '\r')))
            ++pos_;
        if (!in_.sliced(pos_).startsWith("{\\rtf"))
            return fail(error, QStringLiteral("not RTF"));
        doc_ = Document{};
        doc_.paragraphs.append(Paragraph{defaultPara(), {}});
        state_ = State{};
        state_.para = defaultPara();
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                skip_ = 0;
                pendingIgnorable_ = false;
                if (stack_.size() >= MaxDepth)
                    return fail(error, QStringLiteral("nesting too deep"));
                stack_.append(state_);
                formatDirty_ = true;
            } else if (c == '}') {
                skip_ = 0;
                pendingIgnorable_ = false;
                if (stack_.isEmpty())
                    return fail(error, QStringLiteral("unbalanced braces"));
                closeGroup();
                if (!tooLarge_.isEmpty())
                    return fail(error, tooLarge_);
                if (stack_.isEmpty()) {
                    finish();
                    return true;
                }
            } else if (c == '\\') {
                if (!controlWord(error))
                    return false;
            } else if (c == '\r' || c == '\n') {
                // Line ends in the source are not text.
            } else {
                byte(static_cast<unsigned char>(c));
            }
            if (!tooLarge_.isEmpty())
                return fail(error, tooLarge_);
        }
        return fail(error, QStringLiteral("unbalanced braces"));
    }

private:
    static TParaFormat defaultPara()
    {
        TParaFormat p;
        p.dwMask = PFM_ALL;
        p.wAlignment = PFA_LEFT;
        return p;
    }

    bool fail(QString* error, const QString& why)
    {
        if (error)
            *error = why;
        return false;
    }

    void closeGroup()
    {
        const State inner = state_;
        state_ = stack_.takeLast();
        if (inner.dest == Dest::FontTable && state_.dest != Dest::FontTable)
            endFont();
        // The numbering group describes the paragraph it stands in.
        if (inner.dest == Dest::Numbering && state_.dest == Dest::Text) {
            state_.para.wNumbering = inner.para.wNumbering;
            doc_.paragraphs.last().format = state_.para;
        }
        if (inner.dest == Dest::Object && state_.dest != Dest::Object && object_ >= 0) {
            // The object takes its place in the text once its group ends.
            const int index = object_;
            object_ = -1;
            if (!doc_.objects[index].className.isEmpty() && state_.dest == Dest::Text) {
                Run run;
                run.text = QString(QChar(0xFFFC));
                run.format = charFormat();
                run.object = index;
                if (addRun())
                    doc_.paragraphs.last().runs.append(run);
            }
        }
        formatDirty_ = true;
    }

    // Reads a control word or symbol after the backslash.
    bool controlWord(QString* error)
    {
        if (pos_ >= in_.size())
            return fail(error, QStringLiteral("backslash at the end"));
        const char c = in_[pos_];
        if (!isLetter(c)) {
            ++pos_;
            return controlSymbol(c, error);
        }
        const qsizetype start = pos_;
        while (pos_ < in_.size() && isLetter(in_[pos_]))
            ++pos_;
        if (pos_ - start > 32)
            return fail(error, QStringLiteral("control word too long"));
        const QByteArrayView word = in_.sliced(start, pos_ - start);
        bool hasParam = false;
        long long param = 0;
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() &&
            isDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        const qsizetype digits = pos_;
        while (pos_ < in_.size() && isDigit(in_[pos_])) {
            if (pos_ - digits >= 10)
                return fail(error, QStringLiteral("number too long"));
            param = param * 10 + (in_[pos_] - '0');
            ++pos_;
            hasParam = true;
        }
        if (negative)
            param = -param;
        const int value = int(std::clamp<long long>(param, INT_MIN, INT_MAX));
        // One space ends the word and belongs to it.
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_;
        if (word == "bin") {
            // Binary data of the given length follows.
            if (!hasParam || param < 0 || param > in_.size() - pos_)
                return fail(error, QStringLiteral("binary data past the end"));
            pos_ += qsizetype(param);
            return true;
        }
        if (skip_ > 0) {
            --skip_;
            return true;
        }
        keyword(word, hasParam, value);
        return true;
    }

    bool controlSymbol(char c, QString* error)
    {
        if (c == '\'') {
            if (pos_ + 2 > in_.size())
                return fail(error, QStringLiteral("hex character past the end"));
            const int hi = hexValue(in_[pos_]);
            const int lo = hexValue(in_[pos_ + 1]);
            if (hi < 0 || lo < 0)
                return fail(error, QStringLiteral("bad hex character"));
            pos_ += 2;
            if (skip_ > 0) {
                --skip_;
                return true;
            }
            byte(static_cast<unsigned char>(hi * 16 + lo), true);
            return true;
        }
        if (skip_ > 0) {
            --skip_;
            return true;
        }
        switch (c) {
        case '\\':
        case '{':
        case '}':
            text(QChar(QLatin1Char(c)));
            break;
        case '~':
            text(QChar(0x00A0));
            break;
        case '_':
            text(QChar(0x2011));
            break;
        case '*':
            // An ignorable destination: skipped unless we know it.
            pendingIgnorable_ = true;
            break;
        case '\r':
        case '\n':
            keyword("par", false, 0);
            break;
        case '\t':
            text(QChar(QLatin1Char('\t')));
            break;
        default:
            // \- \| \: and the like: nothing to show.
            break;
        }
        return true;
    }

    void keyword(QByteArrayView w, bool hasParam, int n)
    {
        const bool ignorable = pendingIgnorable_;
        pendingIgnorable_ = false;
        const bool on = !hasParam || n != 0;

        // Destinations.
        if (w == "fonttbl") {
            state_.dest = Dest::FontTable;
            return;
        }
        if (w == "colortbl") {
            state_.dest = Dest::ColorTable;
            colorPending_ = false;
            return;
        }
        if (w == "pn" && state_.dest == Dest::Text) {
            state_.dest = Dest::Numbering;
            state_.para.wNumbering = PFN_BULLET;
            return;
        }
        if (w == "object" && state_.dest == Dest::Text) {
            state_.dest = Dest::Object;
            object_ = int(doc_.objects.size());
            doc_.objects.append(Object{});
            return;
        }
        if (w == "objclass" && state_.dest == Dest::Object) {
            state_.dest = Dest::ObjClass;
            return;
        }
        if (w == "objdata" && state_.dest == Dest::Object) {
            state_.dest = Dest::ObjData;
            hexHigh_ = -1;
            return;
        }
        if (w == "field" || w == "fldrslt") {
            // A field shows its result.
            return;
        }
        static const QByteArrayView skipped[] = {"info",
                                                 "stylesheet",
                                                 "pict",
                                                 "header",
                                                 "footer",
                                                 "headerl",
                                                 "headerr",
                                                 "headerf",
                                                 "footerl",
                                                 "footerr",
                                                 "footerf",
                                                 "footnote",
                                                 "pntext",
                                                 "pntxtb",
                                                 "pntxta",
                                                 "fldinst",
                                                 "result",
                                                 "listtable",
                                                 "listoverridetable",
                                                 "revtbl",
                                                 "generator",
                                                 "annotation",
                                                 "xmlnstbl",
                                                 "rsidtbl",
                                                 "themedata",
                                                 "colorschememapping",
                                                 "datastore",
                                                 "latentstyles",
                                                 "object"};
        if (ignorable ||
            std::find(std::begin(skipped), std::end(skipped), w) != std::end(skipped)) {
            state_.dest = Dest::Skip;
            return;
        }

        // Characters by number count wherever text does: in the text, in
        // font names and in class names. The fallback that follows them is
        // skipped everywhere.
        if (w == "uc") {
            state_.uc = std::clamp(n, 0, 0xFFFF);
            return;
        }
        if (w == "u") {
            if (hasParam && n >= -32768 && n <= 65535)
                text(QChar(char16_t(n < 0 ? n + 65536 : n)));
            skip_ = state_.uc;
            return;
        }

        switch (state_.dest) {
        case Dest::Skip:
        case Dest::ObjClass:
        case Dest::ObjData:
            return;
        case Dest::FontTable:
            fontKeyword(w, n);
            return;
        case Dest::ColorTable:
            if (w == "red")
                colorValue(0, n);
            else if (w == "green")
                colorValue(8, n);
            else if (w == "blue")
                colorValue(16, n);
            return;
        case Dest::Numbering:
            numberingKeyword(w);
            return;
        case Dest::Object:
            if (w == "objw" && object_ >= 0)
                doc_.objects[object_].width = std::max(0, n);
            else if (w == "objh" && object_ >= 0)
                doc_.objects[object_].height = std::max(0, n);
            return;
        case Dest::Text:
            break;
        }

        formatDirty_ = true;
        if (w == "ansicpg") {
            ansi_ = n == 1252 ? CodePage::Western : CodePage::Thai;
        } else if (w == "deff") {
            defaultFont_ = n;
        } else if (w == "par") {
            paragraphBreak();
        } else if (w == "line") {
            text(QChar(QChar::LineSeparator));
        } else if (w == "tab") {
            text(QChar(QLatin1Char('\t')));
        } else if (w == "emdash") {
            text(QChar(0x2014));
        } else if (w == "endash") {
            text(QChar(0x2013));
        } else if (w == "lquote") {
            text(QChar(0x2018));
        } else if (w == "rquote") {
            text(QChar(0x2019));
        } else if (w == "ldblquote") {
            text(QChar(0x201C));
        } else if (w == "rdblquote") {
            text(QChar(0x201D));
        } else if (w == "bullet") {
            text(QChar(0x2022));
        } else if (w == "emspace") {
            text(QChar(0x2003));
        } else if (w == "enspace") {
            text(QChar(0x2002));
        } else if (w == "plain") {
            state_.font = -1;
            state_.halfPoints = 24;
            state_.bold = state_.italic = state_.underline = state_.strike = false;
            state_.color = state_.back = 0;
        } else if (w == "b") {
            state_.bold = on;
        } else if (w == "i") {
            state_.italic = on;
        } else if (w == "ul") {
            state_.underline = on;
        } else if (w == "ulnone") {
            state_.underline = false;
        } else if (w == "strike") {
            state_.strike = on;
        } else if (w == "f") {
            state_.font = n;
        } else if (w == "fs") {
            state_.halfPoints = hasParam ? std::clamp(n, 1, 3276) : 24;
        } else if (w == "cf") {
            state_.color = n;
        } else if (w == "cb" || w == "highlight") {
            state_.back = n;
        } else if (w == "pard") {
            state_.para = defaultPara();
            state_.leftIndent = state_.firstIndent = 0;
        } else if (w == "ql") {
            state_.para.wAlignment = PFA_LEFT;
        } else if (w == "qr") {
            state_.para.wAlignment = PFA_RIGHT;
        } else if (w == "qc") {
            state_.para.wAlignment = PFA_CENTER;
        } else if (w == "qj") {
            state_.para.wAlignment = PFA_JUSTIFY;
        } else if (w == "fi") {
            state_.firstIndent = n;
            applyIndents();
        } else if (w == "li") {
            state_.leftIndent = n;
            applyIndents();
        } else if (w == "ri") {
            state_.para.dxRightIndent = n;
        } else if (w == "tx") {
            if (state_.para.cTabCount < MaxTabStops)
                state_.para.rgxTabs[size_t(state_.para.cTabCount++)] = n;
        } else {
            return;
        }
        // A paragraph keyword: the paragraph being read takes it.
        if (w != "par")
            doc_.paragraphs.last().format = state_.para;
    }

    void applyIndents()
    {
        // RTF measures the first line from the left indent; the records
        // measure the first line from the edge and the others from it.
        state_.para.dxStartIndent = int(std::clamp<long long>(
            (long long)state_.leftIndent + state_.firstIndent, INT_MIN, INT_MAX));
        state_.para.dxOffset =
            int(std::clamp<long long>(-(long long)state_.firstIndent, INT_MIN, INT_MAX));
    }

    void fontKeyword(QByteArrayView w, int n)
    {
        if (w == "f") {
            endFont();
            fontNumber_ = n;
            font_ = Font{};
            fontOpen_ = true;
        } else if (w == "fcharset") {
            font_.charset = std::clamp(n, 0, 255);
        } else if (w == "fprq") {
            font_.pitch = std::clamp(n, 0, 2);
        }
    }

    void endFont()
    {
        if (!fontOpen_)
            return;
        fontOpen_ = false;
        QString name = font_.name.trimmed().left(FaceNameLength);
        if (!name.isEmpty() && name.back().isHighSurrogate())
            name.chop(1);
        font_.name = name.trimmed();
        if (!fonts_.contains(fontNumber_))
            fonts_.insert(fontNumber_, font_);
    }

    void colorValue(int shift, int n)
    {
        if (!colorPending_) {
            color_ = Color{false, 0};
            colorPending_ = true;
        }
        color_.rgb |= std::uint32_t(std::clamp(n, 0, 255)) << shift;
    }

    void numberingKeyword(QByteArrayView w)
    {
        if (w == "pnlvlblt")
            state_.para.wNumbering = PFN_BULLET;
        else if (w == "pndec")
            state_.para.wNumbering = PFN_ARABIC;
        else if (w == "pnlcltr")
            state_.para.wNumbering = PFN_LCLETTER;
        else if (w == "pnucltr")
            state_.para.wNumbering = PFN_UCLETTER;
        else if (w == "pnlcrm")
            state_.para.wNumbering = PFN_LCROMAN;
        else if (w == "pnucrm")
            state_.para.wNumbering = PFN_UCROMAN;
    }

    // A text byte (raw or from \'hh).
    void byte(unsigned char b, bool escaped = false)
    {
        if (!escaped && skip_ > 0) {
            --skip_;
            return;
        }
        switch (state_.dest) {
        case Dest::FontTable:
            if (b == ';')
                endFont();
            else
                text(QChar(decodeByte(b, codePageOf(font_.charset))));
            return;
        case Dest::ColorTable:
            if (b == ';') {
                colors_.append(colorPending_ ? color_ : Color{});
                colorPending_ = false;
            }
            return;
        case Dest::ObjClass:
            text(QChar(decodeByte(b, CodePage::Western)));
            return;
        case Dest::ObjData: {
            const int v = hexValue(char(b));
            if (v < 0 || object_ < 0)
                return;
            if (hexHigh_ < 0) {
                hexHigh_ = v;
            } else if (++objectBytes_ > limits_.objectBytes) {
                tooLarge_ = QStringLiteral("too much object data");
            } else {
                doc_.objects[object_].data.append(char(hexHigh_ * 16 + v));
                hexHigh_ = -1;
            }
            return;
        }
        case Dest::Text:
            if (b == '\t')
                text(QChar(QLatin1Char('\t')));
            else if (b >= 0x20)
                text(QChar(decodeByte(b, codePage())));
            return;
        default:
            return;
        }
    }

    CodePage codePage() const
    {
        auto it = fonts_.constFind(state_.font < 0 ? defaultFont_ : state_.font);
        if (it == fonts_.constEnd())
            it = fonts_.constFind(defaultFont_);
        return codePageOf(it == fonts_.constEnd() ? DEFAULT_CHARSET : it->charset);
    }

    // The code page of a font's character set; the ANSI and the default
    // set take the document's.
    CodePage codePageOf(int charset) const
    {
        if (charset == THAI_CHARSET)
            return CodePage::Thai;
        if (charset == SYMBOL_CHARSET)
            return CodePage::Symbol;
        return charset <= DEFAULT_CHARSET ? ansi_ : CodePage::Western;
    }

    const TCharFormat& charFormat() const
    {
        if (formatDirty_) {
            format_ = makeFormat();
            formatDirty_ = false;
        }
        return format_;
    }

    TCharFormat makeFormat() const
    {
        TCharFormat f;
        f.dwMask = CFM_ALL & ~CFM_WEIGHT;
        if (state_.bold)
            f.dwEffects |= CFE_BOLD;
        if (state_.italic)
            f.dwEffects |= CFE_ITALIC;
        if (state_.underline)
            f.dwEffects |= CFE_UNDERLINE;
        if (state_.strike)
            f.dwEffects |= CFE_STRIKEOUT;
        f.yHeight = state_.halfPoints * 10;
        // A font number outside the table means the default font.
        auto font = fonts_.constFind(state_.font < 0 ? defaultFont_ : state_.font);
        if (font == fonts_.constEnd())
            font = fonts_.constFind(defaultFont_);
        if (font != fonts_.constEnd()) {
            f.szFaceName = font->name;
            f.bCharSet = std::uint8_t(font->charset);
            f.bPitchAndFamily = std::uint8_t(font->pitch);
        }
        // Colour numbers outside the table are ignored: automatic.
        if (state_.color > 0 && state_.color < colors_.size() && !colors_[state_.color].automatic)
            f.crTextColor = colors_[state_.color].rgb;
        else
            f.dwEffects |= CFE_AUTOCOLOR;
        if (state_.back > 0 && state_.back < colors_.size() && !colors_[state_.back].automatic)
            f.crBackColor = colors_[state_.back].rgb;
        else
            f.dwEffects |= CFE_AUTOBACKCOLOR;
        return f;
    }

    void text(QChar c)
    {
        pendingIgnorable_ = false;
        if (skip_ > 0) {
            --skip_;
            return;
        }
        // Names in the tables take their characters like the text does.
        if (state_.dest == Dest::FontTable) {
            if (fontOpen_ && font_.name.size() < 256)
                font_.name += c;
            return;
        }
        if (state_.dest == Dest::ObjClass) {
            if (object_ >= 0 && doc_.objects[object_].className.size() < 256)
                doc_.objects[object_].className += c;
            return;
        }
        if (state_.dest != Dest::Text)
            return;
        Paragraph& p = doc_.paragraphs.last();
        p.format = state_.para;
        const TCharFormat& f = charFormat();
        if (!p.runs.isEmpty() && p.runs.last().object < 0 && p.runs.last().format == f) {
            p.runs.last().text += c;
        } else if (addRun()) {
            p.runs.append(Run{QString(c), f, -1});
        }
    }

    void paragraphBreak()
    {
        doc_.paragraphs.last().format = state_.para;
        if (doc_.paragraphs.size() >= limits_.paragraphs) {
            tooLarge_ = QStringLiteral("too many paragraphs");
            return;
        }
        doc_.paragraphs.append(Paragraph{state_.para, {}});
    }

    // Counts a run about to be added; false (and the reading ends) past
    // the most a document may have.
    bool addRun()
    {
        if (++runs_ <= limits_.runs)
            return true;
        tooLarge_ = QStringLiteral("too many format runs");
        return false;
    }

    void finish()
    {
        // The last paragraph keeps the format its text was given in.
        // Objects without a class cannot be made again.
        for (Paragraph& p : doc_.paragraphs)
            p.runs.removeIf([&](const Run& r) {
                return r.object >= 0 && doc_.objects[r.object].className.isEmpty();
            });
    }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    QByteArrayView in_;
    Document& doc_;
    Limits limits_;
    qsizetype pos_ = 0;
    State state_;
    QList<State> stack_;
    long long skip_ = 0;
    bool pendingIgnorable_ = false;
    CodePage ansi_ = CodePage::Thai;
    int defaultFont_ = 0;
    QHash<int, Font> fonts_;
    Font font_;
    int fontNumber_ = 0;
    bool fontOpen_ = false;
    QList<Color> colors_;
    Color color_;
    bool colorPending_ = false;
    int object_ = -1;
    int hexHigh_ = -1;
    // What the document has taken so far, and why it cannot take more.
    qsizetype runs_ = 0;
    qsizetype objectBytes_ = 0;
    QString tooLarge_;
    // The character format of the state, made again after a change.
    mutable TCharFormat format_;
    mutable bool formatDirty_ = true;
};

} // namespace

bool Read(QByteArrayView rtf, Document& document, QString* error, const Limits& limits)
{
    Document result;
    Reader reader(rtf, result, limits);
    if (!reader.run(error))
        return false;
    document = std::move(result);
    return true;
}

} // namespace RxRtf
