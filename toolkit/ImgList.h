#pragma once

#include "toolkit/Classes.h"

#include <QImage>
#include <QList>

class QPainter;

// A list of images of one size, drawn by index. Images are kept with their
// transparency: pixels of a key colour, or outside a mask, are clear.
// `Change` is emitted whenever the images or the size change (the class
// library's change link); a holder that may outlive the list watches it
// with a QPointer.
class TImageList : public TComponent
{
    Q_OBJECT
public:
    TImageList(int width, int height, QObject* owner = nullptr, const QString& name = {});

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Changing the size empties the list.
    void SetSize(int width, int height);
    int Count() const { return int(images_.size()); }

    // Appends an image; `mask` (when not null) is white where the image is
    // clear. Images of another size are scaled to the list's size. Returns
    // the index.
    int Add(const QImage& image, const QImage& mask = {});
    // Appends an image whose pixels of the key colour are clear.
    int AddMasked(const QImage& image, QRgb key);
    // Puts an image in place of the one at `index`.
    void Replace(int index, const QImage& image, const QImage& mask = {});
    void ReplaceMasked(int index, const QImage& image, QRgb key);
    void Delete(int index);
    void Clear();

    // The image with its transparency (ARGB), null outside the list.
    QImage Image(int index) const;
    // Draws the image with its transparency; nothing outside the list.
    void Draw(QPainter& painter, int x, int y, int index) const;

signals:
    void Change();

private:
    QImage prepared(const QImage& image, const QImage& mask) const;
    QImage preparedMasked(const QImage& image, QRgb key) const;
    int width_;
    int height_;
    QList<QImage> images_;
};
