#include "toolkit/ImgList.h"

#include <QPainter>

TImageList::TImageList(int width, int height, QObject* owner, const QString& name)
    : TComponent(owner, name), width_(qMax(0, width)), height_(qMax(0, height))
{}

void TImageList::SetSize(int width, int height)
{
    width = qMax(0, width);
    height = qMax(0, height);
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    images_.clear();
    emit Change();
}

QImage TImageList::prepared(const QImage& image, const QImage& mask) const
{
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    if (result.size() != QSize(width_, height_))
        result = result.scaled(width_, height_);
    if (!mask.isNull()) {
        const QImage m = mask.convertToFormat(QImage::Format_RGB32).scaled(width_, height_);
        for (int y = 0; y < result.height(); ++y)
            for (int x = 0; x < result.width(); ++x)
                if (qGray(m.pixel(x, y)) >= 128)
                    result.setPixel(x, y, 0);
    }
    return result;
}

QImage TImageList::preparedMasked(const QImage& image, QRgb key) const
{
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    if (result.size() != QSize(width_, height_))
        result = result.scaled(width_, height_);
    for (int y = 0; y < result.height(); ++y)
        for (int x = 0; x < result.width(); ++x)
            if (result.pixel(x, y) == key)
                result.setPixel(x, y, 0);
    return result;
}

int TImageList::Add(const QImage& image, const QImage& mask)
{
    images_.append(prepared(image, mask));
    emit Change();
    return int(images_.size()) - 1;
}

int TImageList::AddMasked(const QImage& image, QRgb key)
{
    images_.append(preparedMasked(image, key));
    emit Change();
    return int(images_.size()) - 1;
}

void TImageList::Replace(int index, const QImage& image, const QImage& mask)
{
    if (index < 0 || index >= images_.size())
        return;
    images_[index] = prepared(image, mask);
    emit Change();
}

void TImageList::ReplaceMasked(int index, const QImage& image, QRgb key)
{
    if (index < 0 || index >= images_.size())
        return;
    images_[index] = preparedMasked(image, key);
    emit Change();
}

void TImageList::Delete(int index)
{
    if (index < 0 || index >= images_.size())
        return;
    images_.removeAt(index);
    emit Change();
}

void TImageList::Clear()
{
    if (images_.isEmpty())
        return;
    images_.clear();
    emit Change();
}

QImage TImageList::Image(int index) const
{
    if (index < 0 || index >= images_.size())
        return {};
    return images_.at(index);
}

void TImageList::Draw(QPainter& painter, int x, int y, int index) const
{
    if (index < 0 || index >= images_.size())
        return;
    painter.drawImage(x, y, images_.at(index));
}
