#pragma once
// An image list that keeps its images as PNG images with alpha, with the
// display list (what tool bars and menus draw) kept in step: one icon image
// per item, on the item's background, or in the disabled looks when the list
// shows disabled images. Icon() gives the QIcon of an item with its normal
// and disabled pixmaps, at 1x and, where the item has one, at 2x.
#include <QIcon>
#include <QImage>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imagingqt/PngQt.h"
#include "platform/Bitmap.h"
#include "png/PngFunctions.h"
#include "png/PngImage.h"

namespace velto {

class TPngImageList;

class TPngImageCollectionItem {
public:
    TPngImageCollectionItem();
    // Copies the other item's images, Background and Name.
    void Assign(const TPngImageCollectionItem& other);

    const TPNGObject& PngImage() const { return *png_; }
    // A copy of the image becomes the item's (nullptr: an empty image).
    void SetPngImage(const TPNGObject* png);
    // The same picture drawn at twice the size for displays of twice the
    // density; nullptr when the item has none (the 1x image is scaled).
    const TPNGObject* PngImage2x() const { return png2x_.get(); }
    void SetPngImage2x(const TPNGObject* png);
    TColor Background() const { return background_; }
    void SetBackground(TColor c);
    // Name when not empty, else the class's own description.
    std::string DisplayName() const { return Name.empty() ? std::string("TPngImageCollectionItem") : Name; }

    std::string Name;

private:
    friend class TPngImageList;
    void Changed();
    std::unique_ptr<TPNGObject> png_;
    std::unique_ptr<TPNGObject> png2x_;
    TColor background_ = clBtnFace;
    TPngImageList* owner_ = nullptr;
};

class TPngImageList {
public:
    TPngImageList(int width = 16, int height = 16);
    ~TPngImageList();
    TPngImageList(const TPngImageList&) = delete;
    TPngImageList& operator=(const TPngImageList&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // A new size drops every image; the same size keeps them.
    void SetWidth(int w);
    void SetHeight(int h);
    bool EnabledImages() const { return enabledImages_; }
    void SetEnabledImages(bool on);
    TPngOptions PngOptions() const { return options_; }
    void SetPngOptions(TPngOptions options);

    int Count() const { return static_cast<int>(items_.size()); }
    TPngImageCollectionItem& Item(int index) { return *items_.at(static_cast<std::size_t>(index)); }
    const TPngImageCollectionItem& Item(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
    // The first item of that name, -1 when none.
    int IndexOf(const std::string& name) const;

    // The list operations of an image list, on PNG images. Adding returns the
    // new index, -1 (nothing changed) for a missing image.
    int Add(const TBitmap* image, const TBitmap* mask);
    int AddIcon(const QIcon* icon);
    void AddImages(const TPngImageList* other);
    int AddMasked(const TBitmap* image, TColor maskColor);
    void Clear();
    // An index outside 0..Count-1 is ignored.
    void Delete(int index);
    void Insert(int index, const TBitmap* image, const TBitmap* mask);
    void InsertIcon(int index, const QIcon* icon);
    void InsertMasked(int index, const TBitmap* image, TColor maskColor);
    void Move(int curIndex, int newIndex);
    void Replace(int index, const TBitmap* image, const TBitmap* mask);
    void ReplaceIcon(int index, const QIcon* icon);
    void ReplaceMasked(int index, const TBitmap* newImage, TColor maskColor);
    // A PNG image (and its 2x drawing) as a new named item.
    int AddPng(const TPNGObject& png, const std::string& name = {}, const TPNGObject* png2x = nullptr);

    // Draws item index with DrawPNG into (x, y, x + Width, y + Height): as it
    // is when enabled, with PngOptions when not. Nothing for a missing item.
    void DoDraw(int index, TCanvas& canvas, int x, int y, bool enabled) const;
    // Rebuilds the display list (only outside an update bracket).
    void CopyPngs();
    void BeginUpdate() { ++updating_; }
    void EndUpdate(bool rebuild);
    // The destination takes this list's size, items and EnabledImages.
    void AssignTo(TPngImageList& dest) const;

    // The display list: one ARGB32 image per item.
    int DisplayCount() const { return static_cast<int>(display_.size()); }
    const QImage& DisplayImage(int index) const { return display_.at(static_cast<std::size_t>(index)); }
    // The item as an icon: normal and disabled looks, 1x and 2x. Null for a
    // missing item.
    QIcon Icon(int index) const;

    // Called after every change of the list or of an item.
    std::function<void()> OnChange;

private:
    friend class TPngImageCollectionItem;
    TPngImageCollectionItem& NewItem(int index, std::unique_ptr<TPNGObject> png);
    // The bodies of the Insert and Replace operations: nothing for a null
    // png or an index out of range.
    void InsertPng(int index, std::unique_ptr<TPNGObject> png);
    void ReplacePng(int index, std::unique_ptr<TPNGObject> png);
    QImage DisplayOf(const TPngImageCollectionItem& item) const;
    void ItemChanged();
    void Changed();

    int width_, height_;
    bool enabledImages_ = true;
    TPngOptions options_ = pngBlendOnDisabled;
    int updating_ = 0;
    std::vector<std::unique_ptr<TPngImageCollectionItem>> items_;
    std::vector<QImage> display_;
};

// Dest becomes item index of the list; an index outside it changes nothing.
void CopyImageFromImageList(TPNGObject& dest, const TPngImageList& list, int index);

}  // namespace velto
