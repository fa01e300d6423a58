#include "richtext/RxTextAttributes.h"

#include "richtext/RxRichEd.h"

#include <algorithm>
#include <climits>

using namespace RxFormat;

namespace {

// Points to twips, kept inside the record's range.
std::int32_t toTwips(int points)
{
    return std::int32_t(std::clamp<long long>(points * 20LL, INT_MIN, INT_MAX));
}

} // namespace

TRxTextAttributes::TRxTextAttributes(TRxCustomRichEdit* owner, TAttributeType kind)
    : owner_(owner), kind_(kind)
{}

TCharFormat TRxTextAttributes::GetAttributes() const
{
    if (!owner_->HandleAllocated())
        return {};
    if (kind_ == atDefaultText)
        return owner_->DefaultFormat();
    const QPair<int, int> range = owner_->AttributeRange(kind_);
    return owner_->ReadCharFormat(range.first, range.second);
}

void TRxTextAttributes::SetAttributes(const TCharFormat& record)
{
    if (!owner_->HandleAllocated())
        return;
    if (kind_ == atDefaultText) {
        owner_->SetDefaultFormat(record);
        return;
    }
    if (owner_->PlainText()) {
        // Plain text has one format for the whole text.
        owner_->WriteCharFormat(0, owner_->GetTextLength(), record);
        owner_->WriteCharFormat(0, 0, record);
        return;
    }
    const QPair<int, int> range = owner_->AttributeRange(kind_);
    owner_->WriteCharFormat(range.first, range.second, record);
}

TFontCharset TRxTextAttributes::GetCharset() const
{
    return GetAttributes().bCharSet;
}

TCharFormat TRxTextAttributes::CharsetRecord(TFontCharset value)
{
    TCharFormat r;
    r.dwMask = CFM_CHARSET;
    r.bCharSet = value;
    return r;
}

void TRxTextAttributes::SetCharset(TFontCharset value)
{
    SetAttributes(CharsetRecord(value));
}

TColor TRxTextAttributes::GetColor() const
{
    const TCharFormat r = GetAttributes();
    if (r.dwEffects & CFE_AUTOCOLOR)
        return clWindowText;
    return TColor(r.crTextColor);
}

TCharFormat TRxTextAttributes::ColorRecord(TColor value)
{
    TCharFormat r;
    r.dwMask = CFM_COLOR;
    if (value == clWindowText || value == clDefault)
        r.dwEffects = CFE_AUTOCOLOR;
    else
        r.crTextColor = std::uint32_t(ColorToRGB(value));
    return r;
}

void TRxTextAttributes::SetColor(TColor value)
{
    SetAttributes(ColorRecord(value));
}

TColor TRxTextAttributes::GetBackColor() const
{
    if (RichLibraryVersion < 2)
        return clWindow;
    const TCharFormat r = GetAttributes();
    if (r.dwEffects & CFE_AUTOBACKCOLOR)
        return clWindow;
    return TColor(r.crBackColor);
}

TCharFormat TRxTextAttributes::BackColorRecord(TColor value)
{
    TCharFormat r;
    if (RichLibraryVersion < 2)
        return r;
    r.dwMask = CFM_BACKCOLOR;
    if (value == clWindow || value == clDefault)
        r.dwEffects = CFE_AUTOBACKCOLOR;
    else
        r.crBackColor = std::uint32_t(ColorToRGB(value));
    return r;
}

void TRxTextAttributes::SetBackColor(TColor value)
{
    if (RichLibraryVersion < 2)
        return;
    SetAttributes(BackColorRecord(value));
}

QString TRxTextAttributes::GetName() const
{
    return GetAttributes().szFaceName.left(FaceNameLength);
}

TCharFormat TRxTextAttributes::NameRecord(const QString& value)
{
    TCharFormat r;
    r.dwMask = CFM_FACE;
    r.szFaceName = value.left(FaceNameLength);
    return r;
}

void TRxTextAttributes::SetName(const QString& value)
{
    SetAttributes(NameRecord(value));
}

TFontStyles TRxTextAttributes::GetStyle() const
{
    return TFontStyles(int(GetAttributes().dwEffects & 0xF));
}

TCharFormat TRxTextAttributes::StyleRecord(TFontStyles value)
{
    TCharFormat r;
    r.dwMask = CFM_STYLES;
    r.dwEffects = std::uint32_t(value.toInt()) & 0xF;
    return r;
}

void TRxTextAttributes::SetStyle(TFontStyles value)
{
    SetAttributes(StyleRecord(value));
}

int TRxTextAttributes::GetSize() const
{
    return GetAttributes().yHeight / 20;
}

TFontPitch TRxTextAttributes::GetPitch() const
{
    switch (GetAttributes().bPitchAndFamily & 3) {
    case FIXED_PITCH:
        return fpFixed;
    case VARIABLE_PITCH:
        return fpVariable;
    default:
        return fpDefault;
    }
}

void TRxTextAttributes::SetPitch(TFontPitch value)
{
    TCharFormat r;
    r.bPitchAndFamily = value == fpVariable ? VARIABLE_PITCH
                        : value == fpFixed  ? FIXED_PITCH
                                            : DEFAULT_PITCH;
    // No mask bit names the pitch: on its own it changes nothing.
    SetAttributes(r);
}

void TRxTextAttributes::AssignFont(const TFont& font)
{
    TCharFormat r;
    r.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_STYLES | CFM_CHARSET | CFM_WEIGHT;
    r.yHeight = toTwips(font.Size);
    r.dwEffects = std::uint32_t(font.Style.toInt()) & 0xF;
    if (font.Color == clWindowText || font.Color == clDefault)
        r.dwEffects |= CFE_AUTOCOLOR;
    else
        r.crTextColor = std::uint32_t(ColorToRGB(font.Color));
    r.bPitchAndFamily = font.Pitch == fpVariable ? VARIABLE_PITCH
                        : font.Pitch == fpFixed  ? FIXED_PITCH
                                                 : DEFAULT_PITCH;
    r.szFaceName = font.Name.left(FaceNameLength);
    r.bCharSet = font.Charset;
    r.wWeight = std::uint16_t(font.ToQFont().weight());
    SetAttributes(r);
}

void TRxTextAttributes::Assign(const TRxTextAttributes& source)
{
    SetAttributes(source.GetAttributes());
}

void TRxTextAttributes::AssignTo(TFont& font) const
{
    font.Color = GetColor();
    font.Name = GetName();
    font.Charset = GetCharset();
    font.Style = GetStyle();
    font.Size = GetSize();
    font.Pitch = GetPitch();
}

// --- paragraphs ---

TRxParaAttributes::TRxParaAttributes(TRxCustomRichEdit* owner) : owner_(owner) {}

TParaFormat TRxParaAttributes::GetAttributes() const
{
    return owner_->ReadParaFormat();
}

void TRxParaAttributes::SetAttributes(const TParaFormat& record)
{
    owner_->WriteParaFormat(record);
}

TParaAlignment TRxParaAttributes::GetAlignment() const
{
    return TParaAlignment(int(GetAttributes().wAlignment) - 1);
}

void TRxParaAttributes::SetAlignment(TParaAlignment value)
{
    TParaFormat r;
    r.dwMask = PFM_ALIGNMENT;
    r.wAlignment = std::uint16_t(int(value) + 1);
    SetAttributes(r);
}

int TRxParaAttributes::GetNumbering() const
{
    const int value = GetAttributes().wNumbering & 0xFF;
    if (RichLibraryVersion < 2 && value != 0)
        return PFN_BULLET;
    return value;
}

void TRxParaAttributes::SetNumbering(int value)
{
    if (RichLibraryVersion < 2 && value != 0)
        value = PFN_BULLET;
    if (value == 0)
        SetLeftIndent(0);
    else if (GetLeftIndent() < 10)
        SetLeftIndent(10);
    TParaFormat r;
    r.dwMask = PFM_NUMBERING;
    r.wNumbering = std::uint16_t(value);
    SetAttributes(r);
}

int TRxParaAttributes::GetFirstIndent() const
{
    return GetAttributes().dxStartIndent / 20;
}

void TRxParaAttributes::SetFirstIndent(int value)
{
    TParaFormat r;
    r.dwMask = PFM_STARTINDENT;
    r.dxStartIndent = toTwips(value);
    SetAttributes(r);
}

int TRxParaAttributes::GetLeftIndent() const
{
    return GetAttributes().dxOffset / 20;
}

void TRxParaAttributes::SetLeftIndent(int value)
{
    TParaFormat r;
    r.dwMask = PFM_OFFSET;
    r.dxOffset = toTwips(value);
    SetAttributes(r);
}

int TRxParaAttributes::GetRightIndent() const
{
    return GetAttributes().dxRightIndent / 20;
}

void TRxParaAttributes::SetRightIndent(int value)
{
    TParaFormat r;
    r.dwMask = PFM_RIGHTINDENT;
    r.dxRightIndent = toTwips(value);
    SetAttributes(r);
}

int TRxParaAttributes::GetTab(int index) const
{
    if (index < 0 || index >= MaxTabStops)
        return 0;
    const TParaFormat r = GetAttributes();
    return index < r.cTabCount ? r.rgxTabs[size_t(index)] / 20 : 0;
}

void TRxParaAttributes::SetTab(int index, int value)
{
    // The table has 32 entries; another index is not written.
    if (index < 0 || index >= MaxTabStops)
        return;
    TParaFormat r = GetAttributes();
    r.dwMask = PFM_TABSTOPS;
    r.rgxTabs[size_t(index)] = toTwips(value);
    if (r.cTabCount < index + 1)
        r.cTabCount = std::int16_t(index + 1);
    SetAttributes(r);
}

int TRxParaAttributes::GetTabCount() const
{
    return GetAttributes().cTabCount;
}

void TRxParaAttributes::Assign(const TRxParaAttributes& source)
{
    SetAttributes(source.GetAttributes());
}
