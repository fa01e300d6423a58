#pragma once

#include "toolkit/Graphics.h"
#include "toolkit/ImgList.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QFontMetrics;
class QPainter;

// A speed button's glyph: a strip of up to five state images cut into
// cells, the images made from it for each drawing state, kept in image
// lists that all buttons of the program share, and the layout and drawing
// of glyph, caption and drop-down mark inside a button.

// The drawing states of a speed button and of its glyph images; the number
// of a state is also its cell in a glyph strip.
enum TGlyphDrawState { gdsUp, gdsDisabled, gdsDown, gdsLatched, gdsInactive };
// Where the glyph sits against the caption.
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// An image list of one image size whose places are taken and given back:
// a place given back keeps its image until the next one taken overwrites
// it.
class TGlyphList : public TImageList
{
    Q_OBJECT
public:
    TGlyphList(int width, int height);
    int TakeSlot();
    int AddImage(const QImage& image, const QImage& mask);
    int AddImageMasked(const QImage& image, QRgb key);
    void ReleaseSlot(int index);
    int UsedCount() const { return usedCount_; }

private:
    std::vector<bool> slots_;
    int usedCount_ = 0;
};

// The program's image lists of glyph images, one per image size.
class TGlyphCache
{
public:
    // The list of that exact size, made when there is none.
    TGlyphList* ListForSize(int width, int height);
    // Frees the list when no place of it is in use any more.
    void ReturnList(TGlyphList* list);
    bool IsEmpty() const { return lists_.empty(); }
    int Count() const { return int(lists_.size()); }

private:
    std::vector<std::unique_ptr<TGlyphList>> lists_;
};
// The program's cache while any glyph or list exists, else null.
TGlyphCache* GlyphCache();

// Where glyph and caption go inside a button, from their sizes alone
// (steps 4 to 8 of the layout): positions relative to the client's
// top-left corner. All divisions truncate toward zero.
struct TGlyphPlacement
{
    QPoint glyph;
    QPoint caption;
};
TGlyphPlacement PlaceGlyphAndCaption(QSize client, QSize glyph, QSize caption, bool drawMark,
                                     int spacing, int margin, TButtonLayout layout);

// What the full layout gives: the glyph's top-left corner, the caption's
// rectangle and the caption as it is drawn (cut to fit).
struct TButtonLayoutResult
{
    QPoint glyphPos;
    QRect textBounds;
    QString caption;
};

class TRxButtonGlyph
{
public:
    TRxButtonGlyph();
    ~TRxButtonGlyph();
    TRxButtonGlyph(const TRxButtonGlyph&) = delete;
    TRxButtonGlyph& operator=(const TRxButtonGlyph&) = delete;

    // The strip; assigning it (a copy) releases the made images and counts
    // the cells again. A null image empties the glyph.
    const QImage& Glyph() const { return glyphStrip_; }
    void SetGlyph(const QImage& strip);
    int NumGlyphs() const { return numGlyphs_; }
    // 0, negative values and the current value are ignored; above 5 is 5.
    void SetNumGlyphs(int value);
    QRgb TransparentColor() const { return transparentColor_; }
    bool WordWrap = false;
    TAlignment Alignment = taCenter;
    // After the strip changed.
    std::function<void()> OnChange;

    void ReleaseImages();
    // The state's image in the shared list, made on first use; -1 when the
    // strip has no image for it.
    int StateImageIndex(TGlyphDrawState state);
    // The grey image of an image-list image (inactive state only).
    int ImageListStateIndex(TGlyphDrawState state, const TImageList* list, int index);
    // The colour as the inactive image shows it.
    QRgb GreyColor(QRgb color) const;

    // Each returns the size drawn, (0, 0) when nothing was drawn.
    QSize DrawStateGlyph(QPainter& painter, int x, int y, TGlyphDrawState state);
    QSize DrawStateImage(QPainter& painter, int x, int y, TGlyphDrawState state,
                         const TImageList* list, int index);
    static void DrawDropDownMark(QPainter& painter, int x, int y, TGlyphDrawState state);

    QString FitCaption(const QString& caption, const QFontMetrics& metrics, int width) const;
    void DrawCaption(QPainter& painter, const QString& caption, const QRect& rect,
                     TGlyphDrawState state, Qt::Alignment flags) const;
    TButtonLayoutResult ComputeLayout(const QFontMetrics& metrics, const QRect& client,
                                      const TImageList* list, int index, Qt::Alignment flags,
                                      bool drawMark, int spacing, int margin, TButtonLayout layout,
                                      const QString& caption) const;
    // Draws glyph (or the list's image when a list and index are given),
    // caption and mark with the painter's font and pen; returns the
    // caption's rectangle.
    QRect DrawButton(QPainter& painter, const QRect& client, TGlyphDrawState state, bool drawMark,
                     int spacing, int margin, TButtonLayout layout, const QString& caption,
                     Qt::Alignment flags, const TImageList* list = nullptr, int index = -1);

    // The shared list that holds this glyph's images (null until one is
    // made), for tests.
    const TGlyphList* SharedList() const { return glyphList_; }

private:
    // What the made images were cut or greyed from: the strip (no list), or
    // one image of an image list. The images of one source share the state
    // slots; drawing from another source releases them first.
    struct ImageSource
    {
        const TImageList* list = nullptr;
        int index = -1;
        QSize size;
        bool operator==(const ImageSource&) const = default;
    };
    bool madeFrom(const ImageSource& source) const { return madeFrom_ == source; }
    void makeFrom(const ImageSource& source);

    void stripChanged();
    TGlyphList* listFor(int width, int height);
    bool hasStrip() const;

    QImage glyphStrip_;
    TGlyphList* glyphList_ = nullptr;
    std::array<int, 5> stateIndexes_{-1, -1, -1, -1, -1};
    std::optional<ImageSource> madeFrom_;
    QRgb transparentColor_ = qRgb(255, 0, 255);
    int numGlyphs_ = 1;
};

// Draws a whole raised button with a glyph and caption on any surface
// (the picture of a button that is being dragged).
class TButtonImage
{
public:
    TButtonImage();
    void SetNumGlyphs(int value) { glyph_.SetNumGlyphs(value); }
    int NumGlyphs() const { return glyph_.NumGlyphs(); }
    void SetGlyph(const QImage& strip) { glyph_.SetGlyph(strip); }
    const QImage& Glyph() const { return glyph_.Glyph(); }
    void SetWordWrap(bool value) { glyph_.WordWrap = value; }
    void SetAlignment(TAlignment value) { glyph_.Alignment = value; }
    TAlignment Alignment() const { return glyph_.Alignment; }
    void SetCaption(const QString& caption) { caption_ = caption; }
    QString Caption() const { return caption_; }
    QSize ButtonSize{24, 23};

    // `font` null keeps the painter's font.
    void DrawImage(QPainter& painter, int x, int y, Qt::Alignment flags, int imageIndex,
                   const TImageList* images, const QFont* font, TButtonLayout layout, int spacing,
                   int margin);

private:
    TRxButtonGlyph glyph_;
    QString caption_;
};
