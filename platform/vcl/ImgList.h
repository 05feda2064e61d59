#pragma once
// A list of equal-sized images, each with its mask (kept as the image's alpha), drawn by index.
// Listeners hear of every change (the old change links).

#include "platform/vcl/Canvas.h"

#include <QImage>
#include <functional>
#include <map>
#include <vector>

class TImageList {
public:
    TImageList(int width = 16, int height = 16);
    TImageList(const TImageList&) = delete;
    TImageList& operator=(const TImageList&) = delete;
    virtual ~TImageList();

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Changing the size empties the list.
    void SetSize(int width, int height);
    int Count() const { return int(FImages.size()); }
    bool ValidIndex(int index) const { return index >= 0 && index < Count(); }

    // Adds the bitmap (cut into as many images as its width holds); a mask pixel that is white
    // leaves the image pixel out. Returns the index of the first image added, -1 for none.
    int Add(const TBitmap& image, const TBitmap* mask = nullptr);
    // The same with the pixels of one colour left out.
    int AddMasked(const TBitmap& image, TColor maskColor);
    int AddImage(const QImage& argb);
    void Replace(int index, const TBitmap& image, const TBitmap* mask = nullptr);
    void ReplaceMasked(int index, const TBitmap& image, TColor maskColor);
    void Delete(int index);
    void Clear();

    // The image with its mask as alpha.
    const QImage& Image(int index) const;
    // Draws the image; a disabled one as the platform draws disabled images (its silhouette
    // embossed in the highlight and shadow colours).
    void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true) const;
    void GetBitmap(int index, TBitmap& bitmap) const;

    // Listeners of changes; the key given back removes one.
    int AddChangeListener(std::function<void()> listener);
    void RemoveChangeListener(int key);
    // Told when the list is destroyed (the key given back removes one).
    int AddFreeListener(std::function<void()> listener);
    void RemoveFreeListener(int key);

protected:
    void Change();

private:
    // The image at index becomes the given one.
    void Put(int index, const QImage& argb);
    static QImage Masked(const QImage& rgb, const QImage* mask, TColor maskColor, bool useColor);
    int FWidth;
    int FHeight;
    std::vector<QImage> FImages;
    std::map<int, std::function<void()>> FListeners;
    std::map<int, std::function<void()>> FFreeListeners;
    int FNextKey = 1;
};
