#include "platform/vcl/ImgList.h"

#include "platform/vcl/Edges.h"

#include <QPainter>

TImageList::TImageList(int width, int height) : FWidth(std::max(1, width)), FHeight(std::max(1, height)) {}

TImageList::~TImageList()
{
    const auto listeners = std::move(FFreeListeners);
    for (const auto& [key, fn] : listeners)
        if (fn) fn();
}

void TImageList::SetSize(int width, int height)
{
    FWidth = std::max(1, width);
    FHeight = std::max(1, height);
    FImages.clear();
    Change();
}

QImage TImageList::Masked(const QImage& rgb, const QImage* mask, TColor maskColor, bool useColor)
{
    QImage out = rgb.convertToFormat(QImage::Format_ARGB32);
    const TColor c = ColorToRGB(maskColor);
    const QRgb key = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF) & 0xFFFFFF;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            bool clear = false;
            if (useColor) clear = (line[x] & 0xFFFFFF) == key;
            else if (mask && mask->valid(x, y)) clear = (mask->pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
            if (clear) line[x] = 0;
        }
    }
    return out;
}

int TImageList::AddImage(const QImage& argb)
{
    QImage image(FWidth, FHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, argb.convertToFormat(QImage::Format_ARGB32));
    p.end();
    FImages.push_back(image);
    Change();
    return Count() - 1;
}

namespace {
// The cells of a bitmap as wide as several images, each the list's size.
template <typename Fn>
int EachCell(const QImage& image, int width, int height, Fn fn)
{
    if (image.isNull()) return -1;
    const int cells = std::max(1, image.width() / width);
    int first = -1;
    for (int i = 0; i < cells; ++i) {
        const int index = fn(image.copy(i * width, 0, width, height), i);
        if (first < 0) first = index;
    }
    return first;
}
} // namespace

int TImageList::Add(const TBitmap& image, const TBitmap* mask)
{
    return EachCell(image.Image(), FWidth, FHeight, [&](const QImage& cell, int i) {
        QImage m;
        if (mask && !mask->Image().isNull()) m = mask->Image().copy(i * FWidth, 0, FWidth, FHeight);
        return AddImage(Masked(cell, m.isNull() ? nullptr : &m, clNone, false));
    });
}

int TImageList::AddMasked(const TBitmap& image, TColor maskColor)
{
    return EachCell(image.Image(), FWidth, FHeight,
                    [&](const QImage& cell, int) { return AddImage(Masked(cell, nullptr, maskColor, true)); });
}

void TImageList::Put(int index, const QImage& argb)
{
    FImages[size_t(index)].fill(Qt::transparent);
    QPainter p(&FImages[size_t(index)]);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, argb);
    p.end();
    Change();
}

void TImageList::Replace(int index, const TBitmap& image, const TBitmap* mask)
{
    if (!ValidIndex(index)) return;
    const QImage m = mask ? mask->Image() : QImage();
    Put(index, Masked(image.Image(), m.isNull() ? nullptr : &m, clNone, false));
}

void TImageList::ReplaceMasked(int index, const TBitmap& image, TColor maskColor)
{
    if (ValidIndex(index)) Put(index, Masked(image.Image(), nullptr, maskColor, true));
}

void TImageList::Delete(int index)
{
    if (!ValidIndex(index)) return;
    FImages.erase(FImages.begin() + index);
    Change();
}

void TImageList::Clear()
{
    if (FImages.empty()) return;
    FImages.clear();
    Change();
}

const QImage& TImageList::Image(int index) const
{
    static const QImage none;
    return ValidIndex(index) ? FImages[size_t(index)] : none;
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) const
{
    if (!ValidIndex(index)) return;
    if (enabled) {
        canvas.DrawImage(x, y, FImages[size_t(index)]);
        return;
    }
    DrawImageSilhouette(canvas, x, y, FImages[size_t(index)]);
}

void TImageList::GetBitmap(int index, TBitmap& bitmap) const
{
    if (!ValidIndex(index)) return;
    bitmap = TBitmap(FImages[size_t(index)].convertToFormat(QImage::Format_RGB32));
    bitmap.Changed();
}

int TImageList::AddChangeListener(std::function<void()> listener)
{
    const int key = FNextKey++;
    FListeners[key] = std::move(listener);
    return key;
}

void TImageList::RemoveChangeListener(int key) { FListeners.erase(key); }

int TImageList::AddFreeListener(std::function<void()> listener)
{
    const int key = FNextKey++;
    FFreeListeners[key] = std::move(listener);
    return key;
}

void TImageList::RemoveFreeListener(int key) { FFreeListeners.erase(key); }

void TImageList::Change()
{
    // A listener may remove itself while it is told.
    const auto listeners = FListeners;
    for (const auto& [key, fn] : listeners)
        if (fn && FListeners.count(key)) fn();
}
