#include "components/speedbar/RxButtonGlyph.h"

#include "components/VCLUtils.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>

namespace {

// The program's glyph cache (one per program): made with the first glyph,
// freed when the last glyph goes and no list is left.
TGlyphCache* glyphCache = nullptr;

TGlyphCache& cache()
{
    if (!glyphCache)
        glyphCache = new TGlyphCache;
    return *glyphCache;
}

// A copy of cell `cell` of a strip whose cells are `width` wide; the copy
// never reaches past the strip.
QImage cellOf(const QImage& strip, int cell, int width)
{
    const int x = cell * width;
    if (width <= 0 || x < 0 || x + width > strip.width())
        return {};
    return strip.copy(x, 0, width, strip.height());
}

} // namespace

TGlyphCache* GlyphCache()
{
    return glyphCache;
}

// --- TGlyphList --------------------------------------------------------------

TGlyphList::TGlyphList(int width, int height) : TImageList(width, height) {}

int TGlyphList::TakeSlot()
{
    auto free = std::find(slots_.begin(), slots_.end(), false);
    int index = int(free - slots_.begin());
    if (free == slots_.end()) {
        QImage empty(Width(), Height(), QImage::Format_ARGB32);
        empty.fill(0);
        index = Add(empty);
        slots_.resize(size_t(index) + 1, false);
    }
    slots_[size_t(index)] = true;
    return index;
}

int TGlyphList::AddImage(const QImage& image, const QImage& mask)
{
    const int index = TakeSlot();
    Replace(index, image, mask);
    ++usedCount_;
    return index;
}

int TGlyphList::AddImageMasked(const QImage& image, QRgb key)
{
    const int index = TakeSlot();
    ReplaceMasked(index, image, key);
    ++usedCount_;
    return index;
}

void TGlyphList::ReleaseSlot(int index)
{
    if (index < 0 || size_t(index) >= slots_.size() || !slots_[size_t(index)])
        return;
    --usedCount_;
    slots_[size_t(index)] = false;
}

// --- TGlyphCache -------------------------------------------------------------

TGlyphList* TGlyphCache::ListForSize(int width, int height)
{
    for (auto it = lists_.rbegin(); it != lists_.rend(); ++it)
        if ((*it)->Width() == width && (*it)->Height() == height)
            return it->get();
    lists_.push_back(std::make_unique<TGlyphList>(width, height));
    return lists_.back().get();
}

void TGlyphCache::ReturnList(TGlyphList* list)
{
    if (!list || list->UsedCount() != 0)
        return;
    lists_.erase(std::remove_if(lists_.begin(), lists_.end(),
                                [list](const auto& held) { return held.get() == list; }),
                 lists_.end());
}

// --- layout ------------------------------------------------------------------

TGlyphPlacement PlaceGlyphAndCaption(QSize client, QSize glyph, QSize caption, bool drawMark,
                                     int spacing, int margin, TButtonLayout layout)
{
    const int w = client.width(), h = client.height();
    int gw = glyph.width(), gh = glyph.height();
    int tw = caption.width();
    const int th = caption.height();

    // Room for the mark.
    if (drawMark) {
        if (gw == 0 || gh == 0 || layout == blGlyphLeft)
            tw += 9;
        else
            gw += 6;
    }

    TGlyphPlacement place;
    const bool vertical = layout == blGlyphTop || layout == blGlyphBottom;
    if (vertical) {
        place.glyph.setX(w / 2 - gw / 2);
        place.caption.setX(w / 2 - tw / 2);
    } else {
        place.glyph.setY(h / 2 - gh / 2);
        place.caption.setY(h / 2 - th / 2);
    }

    if (tw == 0 || gw == 0)
        spacing = 0;

    // Sizes along the layout direction.
    const int clientAlong = vertical ? h : w;
    const int glyphAlong = vertical ? gh : gw;
    const int captionAlong = vertical ? th : tw;
    if (margin == -1 && spacing == -1) {
        const int total = glyphAlong + captionAlong;
        spacing = (clientAlong - total) / 3;
        margin = spacing;
    } else if (margin == -1) {
        const int total = glyphAlong + spacing + captionAlong;
        margin = clientAlong / 2 - total / 2;
    } else if (spacing == -1) {
        spacing = (clientAlong - margin - glyphAlong) / 2 - captionAlong / 2;
    }

    switch (layout) {
    case blGlyphLeft:
        place.glyph.setX(margin);
        place.caption.setX(margin + gw + spacing);
        break;
    case blGlyphRight:
        place.glyph.setX(w - margin - gw);
        place.caption.setX(place.glyph.x() - spacing - tw);
        break;
    case blGlyphTop:
        place.glyph.setY(margin);
        place.caption.setY(margin + gh + spacing);
        break;
    case blGlyphBottom:
        place.glyph.setY(h - margin - gh);
        place.caption.setY(place.glyph.y() - spacing - th);
        break;
    }
    return place;
}

// --- TRxButtonGlyph ----------------------------------------------------------

TRxButtonGlyph::TRxButtonGlyph()
{
    cache();
}

TRxButtonGlyph::~TRxButtonGlyph()
{
    ReleaseImages();
    if (glyphCache && glyphCache->IsEmpty()) {
        delete glyphCache;
        glyphCache = nullptr;
    }
}

bool TRxButtonGlyph::hasStrip() const
{
    return !glyphStrip_.isNull() && glyphStrip_.width() > 0 && glyphStrip_.height() > 0;
}

void TRxButtonGlyph::SetGlyph(const QImage& strip)
{
    ReleaseImages();
    glyphStrip_ = strip.isNull() ? QImage() : strip.convertToFormat(QImage::Format_ARGB32);
    stripChanged();
}

void TRxButtonGlyph::SetNumGlyphs(int value)
{
    if (value <= 0)
        return;
    value = std::min(value, 5);
    if (value == numGlyphs_)
        return;
    ReleaseImages();
    numGlyphs_ = value;
}

void TRxButtonGlyph::stripChanged()
{
    ReleaseImages();
    if (glyphStrip_.height() > 0) {
        // The class library's automatic transparent colour: the strip's
        // bottom-left pixel.
        transparentColor_ = glyphStrip_.pixel(0, glyphStrip_.height() - 1);
        if (glyphStrip_.width() % glyphStrip_.height() == 0) {
            int cells = glyphStrip_.width() / glyphStrip_.height();
            if (cells > 5)
                cells = 1;
            SetNumGlyphs(cells);
        }
    }
    if (OnChange)
        OnChange();
}

void TRxButtonGlyph::ReleaseImages()
{
    for (int& index : stateIndexes_) {
        if (index != -1 && glyphList_)
            glyphList_->ReleaseSlot(index);
        index = -1;
    }
    if (glyphList_ && glyphCache)
        glyphCache->ReturnList(glyphList_);
    glyphList_ = nullptr;
    madeFrom_.reset();
}

void TRxButtonGlyph::makeFrom(const ImageSource& source)
{
    if (madeFrom_ && *madeFrom_ != source)
        ReleaseImages();
    madeFrom_ = source;
}

TGlyphList* TRxButtonGlyph::listFor(int width, int height)
{
    if (!glyphList_)
        glyphList_ = cache().ListForSize(width, height);
    return glyphList_;
}

QRgb TRxButtonGlyph::GreyColor(QRgb color) const
{
    if (color == transparentColor_ || (color & RGB_MASK) == (SysColor(clBtnFace).rgb() & RGB_MASK))
        return color;
    const int grey = (77 * qRed(color) + 150 * qGreen(color) + 29 * qBlue(color)) >> 8;
    return qRgba(grey, grey, grey, qAlpha(color));
}

int TRxButtonGlyph::StateImageIndex(TGlyphDrawState state)
{
    if (state == gdsDown && numGlyphs_ < 3)
        state = gdsUp;
    const ImageSource fromStrip;
    if (stateIndexes_[state] != -1 && madeFrom(fromStrip))
        return stateIndexes_[state];
    if (!hasStrip())
        return -1;
    const int width = glyphStrip_.width() / numGlyphs_;
    const int height = glyphStrip_.height();
    if (width <= 0)
        return -1; // more cells than pixels: no image to cut
    makeFrom(fromStrip);
    const int cell = int(state) < numGlyphs_ ? int(state) : 0;

    QImage work;
    QRgb key = transparentColor_;
    switch (state) {
    case gdsUp:
    case gdsDown:
    case gdsLatched:
        work = cellOf(glyphStrip_, cell, width);
        break;
    case gdsDisabled:
        if (numGlyphs_ == 1) {
            work = MakeDisabledBitmap(glyphStrip_, QColor(Qt::black));
            key = SysColor(clBtnFace).rgb();
        } else {
            work = cellOf(glyphStrip_, 1, width);
        }
        break;
    case gdsInactive:
        if (numGlyphs_ < 5) {
            work = QImage(width, height, QImage::Format_ARGB32);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    work.setPixel(x, y, GreyColor(glyphStrip_.pixel(x, y)));
        } else {
            work = cellOf(glyphStrip_, 4, width);
        }
        break;
    }
    if (work.isNull())
        return -1;
    TGlyphList* list = listFor(width, height);
    const int index = list->AddImageMasked(work, key);
    stateIndexes_[state] = index;
    return index;
}

int TRxButtonGlyph::ImageListStateIndex(TGlyphDrawState state, const TImageList* list, int index)
{
    if (state != gdsInactive || !list)
        return -1;
    const ImageSource fromList{list, index, QSize(list->Width(), list->Height())};
    if (stateIndexes_[state] != -1 && madeFrom(fromList))
        return stateIndexes_[state];
    if (list->Width() <= 0 || list->Height() <= 0 || list->Count() == 0 || index < 0 ||
        index >= list->Count())
        return -1;
    makeFrom(fromList);
    const QRgb face = SysColor(clBtnFace).rgb();
    QImage work(list->Width(), list->Height(), QImage::Format_ARGB32);
    work.fill(face);
    {
        QPainter painter(&work);
        list->Draw(painter, 0, 0, index);
    }
    for (int y = 0; y < work.height(); ++y)
        for (int x = 0; x < work.width(); ++x)
            work.setPixel(x, y, GreyColor(work.pixel(x, y)));
    const int made = listFor(list->Width(), list->Height())->AddImageMasked(work, face);
    stateIndexes_[state] = made;
    return made;
}

QSize TRxButtonGlyph::DrawStateGlyph(QPainter& painter, int x, int y, TGlyphDrawState state)
{
    if (!hasStrip())
        return {0, 0};
    const int index = StateImageIndex(state);
    if (index < 0 || !glyphList_)
        return {0, 0};
    glyphList_->Draw(painter, x, y, index);
    return {glyphList_->Width(), glyphList_->Height()};
}

QSize TRxButtonGlyph::DrawStateImage(QPainter& painter, int x, int y, TGlyphDrawState state,
                                     const TImageList* list, int index)
{
    if (!list || index < 0 || index >= list->Count())
        return {0, 0};
    switch (state) {
    case gdsDisabled:
        DrawDisabledImage(*list, painter, x, y, index, SysColor(clBtnHighlight),
                          SysColor(clBtnShadow), true);
        break;
    case gdsInactive: {
        const int grey = ImageListStateIndex(gdsInactive, list, index);
        if (grey >= 0 && glyphList_)
            glyphList_->Draw(painter, x, y, grey);
        break;
    }
    default:
        list->Draw(painter, x, y, index);
        break;
    }
    return {list->Width(), list->Height()};
}

void TRxButtonGlyph::DrawDropDownMark(QPainter& painter, int x, int y, TGlyphDrawState state)
{
    auto triangle = [&painter](int x, int y, const QColor& colour) {
        painter.fillRect(QRect(x, y - 1, 7, 1), colour);
        painter.fillRect(QRect(x + 1, y, 5, 1), colour);
        painter.fillRect(QRect(x + 2, y + 1, 3, 1), colour);
        painter.fillRect(QRect(x + 3, y + 2, 1, 1), colour);
    };
    if (state == gdsDisabled) {
        triangle(x + 1, y + 1, SysColor(clBtnHighlight));
        triangle(x, y, SysColor(clBtnShadow));
    } else {
        triangle(x, y, SysColor(clBtnText));
    }
}

QString TRxButtonGlyph::FitCaption(const QString& caption, const QFontMetrics& metrics,
                                   int width) const
{
    QString text = caption.left(255);
    if (WordWrap)
        return text;
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (QString& line : lines)
        line = ShortenText(line, metrics, width);
    QString joined = lines.join(u'\n');
    while (!joined.isEmpty() && joined.back().isSpace())
        joined.chop(1);
    return joined;
}

void TRxButtonGlyph::DrawCaption(QPainter& painter, const QString& caption, const QRect& rect,
                                 TGlyphDrawState state, Qt::Alignment flags) const
{
    const int format = int(flags) | Qt::AlignVCenter | Qt::TextShowMnemonic |
                       (WordWrap ? int(Qt::TextWordWrap) : 0);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    if (state == gdsDisabled) {
        painter.setPen(SysColor(clBtnHighlight));
        painter.drawText(rect.translated(1, 1), format, caption);
        painter.setPen(SysColor(clBtnShadow));
        painter.drawText(rect, format, caption);
    } else {
        painter.drawText(rect, format, caption);
    }
    painter.restore();
}

TButtonLayoutResult TRxButtonGlyph::ComputeLayout(const QFontMetrics& metrics, const QRect& client,
                                                  const TImageList* list, int index,
                                                  Qt::Alignment flags, bool drawMark, int spacing,
                                                  int margin, TButtonLayout layout,
                                                  const QString& caption) const
{
    const int w = client.width(), h = client.height();
    QSize glyph(0, 0);
    if (list && list->Width() > 0 && index >= 0 && index < list->Count())
        glyph = QSize(list->Width(), list->Height());
    else if (hasStrip())
        glyph = QSize(glyphStrip_.width() / numGlyphs_, glyphStrip_.height());

    // The room the caption may take.
    int roomW, roomH;
    if (layout == blGlyphTop || layout == blGlyphBottom) {
        roomW = w;
        roomH = h - glyph.height();
        if (margin != -1)
            roomH -= margin;
        if (spacing != -1)
            roomH -= spacing;
    } else {
        roomW = w - glyph.width();
        if (margin != -1)
            roomW -= margin;
        if (spacing != -1)
            roomW -= spacing;
        if (drawMark)
            roomW -= 9;
        roomH = h;
    }
    roomW = std::max(0, roomW);
    roomH = std::max(0, roomH);

    TButtonLayoutResult result;
    result.caption = FitCaption(caption, metrics, roomW);
    QSize text(0, 0);
    if (!result.caption.isEmpty()) {
        const int format = int(flags & Qt::AlignHorizontal_Mask) | Qt::TextShowMnemonic |
                           (WordWrap ? int(Qt::TextWordWrap) : 0);
        const QRect measured = metrics.boundingRect(QRect(0, 0, roomW, 0), format, result.caption);
        text = QSize(std::min(measured.width(), roomW), std::min(measured.height(), roomH));
    }

    const TGlyphPlacement place =
        PlaceGlyphAndCaption(QSize(w, h), glyph, text, drawMark, spacing, margin, layout);
    result.glyphPos = place.glyph + client.topLeft();
    result.textBounds = QRect(place.caption + client.topLeft(), text);
    return result;
}

QRect TRxButtonGlyph::DrawButton(QPainter& painter, const QRect& client, TGlyphDrawState state,
                                 bool drawMark, int spacing, int margin, TButtonLayout layout,
                                 const QString& caption, Qt::Alignment flags,
                                 const TImageList* list, int index)
{
    const TButtonLayoutResult l = ComputeLayout(painter.fontMetrics(), client, list, index, flags,
                                                drawMark, spacing, margin, layout, caption);
    const bool useList = list && list->Width() > 0 && index >= 0 && index < list->Count();
    const QSize drawn =
        useList ? DrawStateImage(painter, l.glyphPos.x(), l.glyphPos.y(), state, list, index)
                : DrawStateGlyph(painter, l.glyphPos.x(), l.glyphPos.y(), state);
    DrawCaption(painter, l.caption, l.textBounds, state, flags);
    if (drawMark) {
        const bool glyphDrawn = useList || hasStrip();
        int x, y;
        if (layout != blGlyphLeft && glyphDrawn) {
            x = l.glyphPos.x() + drawn.width() + 1;
            y = l.glyphPos.y() + drawn.height() / 2;
        } else {
            x = !l.caption.isEmpty() ? l.textBounds.x() + l.textBounds.width() + 3
                                     : (client.left() + client.left() + client.width() - 7) / 2;
            y = l.textBounds.top() + l.textBounds.height() / 2;
        }
        DrawDropDownMark(painter, x, y, state);
    }
    return l.textBounds;
}

// --- TButtonImage ------------------------------------------------------------

TButtonImage::TButtonImage()
{
    glyph_.SetNumGlyphs(1);
}

void TButtonImage::DrawImage(QPainter& painter, int x, int y, Qt::Alignment flags, int imageIndex,
                             const TImageList* images, const QFont* font, TButtonLayout layout,
                             int spacing, int margin)
{
    painter.save();
    QRect r(QPoint(x, y), ButtonSize);
    painter.fillRect(r, SysColor(clBtnFace));
    Frame3D(painter, r, SysColor(clBtnShadow), SysColor(clWindowFrame), 1);
    Frame3D(painter, r, SysColor(clBtnHighlight), SysColor(clBtnShadow), 1);
    if (font)
        painter.setFont(*font);
    painter.setPen(SysColor(clBtnText));
    glyph_.DrawButton(painter, r, gdsUp, false, spacing, margin, layout, caption_, flags, images,
                      imageIndex);
    painter.restore();
}
