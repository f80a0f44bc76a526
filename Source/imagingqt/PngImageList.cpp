#include "imagingqt/PngImageList.h"

#include <QPixmap>

#include <algorithm>

#include "png/PngDraw.h"

namespace velto {

namespace {

std::unique_ptr<TPNGObject> CopyOf(const TPNGObject* png) {
    auto out = std::make_unique<TPNGObject>();
    if (png) out->Assign(*png);
    return out;
}

// The list operations' images: nullptr for a missing source.
std::unique_ptr<TPNGObject> FromBitmap(const TBitmap* image, const TBitmap* mask) {
    if (!image) return nullptr;
    if (!mask) return ConvertToPNG(*image);
    return CreatePNG(*image, *mask, false);
}

std::unique_ptr<TPNGObject> FromMasked(const TBitmap* image, TColor maskColor) {
    return image ? CreatePNGMasked(*image, maskColor) : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------

TPngImageCollectionItem::TPngImageCollectionItem() : png_(std::make_unique<TPNGObject>()) {}

void TPngImageCollectionItem::Assign(const TPngImageCollectionItem& other) {
    png_ = CopyOf(other.png_.get());
    png2x_ = other.png2x_ ? CopyOf(other.png2x_.get()) : nullptr;
    background_ = other.background_;
    Name = other.Name;
    Changed();
}

void TPngImageCollectionItem::SetPngImage(const TPNGObject* png) {
    png_ = CopyOf(png);
    Changed();
}

void TPngImageCollectionItem::SetPngImage2x(const TPNGObject* png) {
    png2x_ = png ? CopyOf(png) : nullptr;
    Changed();
}

void TPngImageCollectionItem::SetBackground(TColor c) {
    if (c == background_) return;
    background_ = c;
    Changed();
}

void TPngImageCollectionItem::Changed() {
    if (owner_) owner_->ItemChanged();
}

// ---------------------------------------------------------------------------

TPngImageList::TPngImageList(int width, int height) : width_(width), height_(height) {}
TPngImageList::~TPngImageList() = default;

void TPngImageList::SetWidth(int w) {
    if (w == width_) return;
    width_ = w;
    Clear();
}

void TPngImageList::SetHeight(int h) {
    if (h == height_) return;
    height_ = h;
    Clear();
}

void TPngImageList::SetEnabledImages(bool on) {
    if (on == enabledImages_) return;
    enabledImages_ = on;
    CopyPngs();
}

void TPngImageList::SetPngOptions(TPngOptions options) {
    if (options == options_) return;
    options_ = options;
    CopyPngs();
}

int TPngImageList::IndexOf(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (items_[static_cast<std::size_t>(i)]->Name == name) return i;
    return -1;
}

TPngImageCollectionItem& TPngImageList::NewItem(int index, std::unique_ptr<TPNGObject> png) {
    auto item = std::make_unique<TPngImageCollectionItem>();
    item->Name = "PngImage" + std::to_string(index);
    item->png_ = std::move(png);
    item->owner_ = this;
    return **items_.insert(items_.begin() + index, std::move(item));
}

QImage TPngImageList::DisplayOf(const TPngImageCollectionItem& item) const {
    if (enabledImages_ || options_ == 0) return PngToIconImage(item.PngImage(), item.Background());
    return PngToIconImage(*DisabledCopy(item.PngImage(), options_), clNone);
}

void TPngImageList::CopyPngs() {
    if (updating_ > 0) return;
    display_.clear();
    for (const auto& item : items_)
        if (item->PngImage().HeaderPresent()) display_.push_back(DisplayOf(*item));
}

void TPngImageList::EndUpdate(bool rebuild) {
    Changed();
    if (updating_ > 0) --updating_;
    if (rebuild && updating_ == 0) CopyPngs();
}

void TPngImageList::ItemChanged() {
    CopyPngs();
    Changed();
}

void TPngImageList::Changed() {
    if (OnChange) OnChange();
}

int TPngImageList::AddPng(const TPNGObject& png, const std::string& name, const TPNGObject* png2x) {
    BeginUpdate();
    const int index = Count();
    TPngImageCollectionItem& item = NewItem(index, CopyOf(&png));
    if (!name.empty()) item.Name = name;
    if (png2x) item.png2x_ = CopyOf(png2x);
    EndUpdate(true);
    return index;
}

int TPngImageList::Add(const TBitmap* image, const TBitmap* mask) {
    auto png = FromBitmap(image, mask);
    return png ? AddPng(*png) : -1;
}

int TPngImageList::AddIcon(const QIcon* icon) {
    if (!icon || icon->isNull()) return -1;
    auto png = IconToPng(*icon, QSize(width_, height_));
    return png ? AddPng(*png) : -1;
}

void TPngImageList::AddImages(const TPngImageList* other) {
    if (!other || other == this) return;
    BeginUpdate();
    for (int i = 0; i < other->Count(); ++i) {
        auto png = std::make_unique<TPNGObject>();
        CopyImageFromImageList(*png, *other, i);
        NewItem(Count(), std::move(png));
    }
    EndUpdate(true);
}

int TPngImageList::AddMasked(const TBitmap* image, TColor maskColor) {
    auto png = FromMasked(image, maskColor);
    return png ? AddPng(*png) : -1;
}

void TPngImageList::Clear() {
    BeginUpdate();
    items_.clear();
    display_.clear();
    EndUpdate(false);
}

void TPngImageList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    BeginUpdate();
    items_.erase(items_.begin() + index);
    if (index < DisplayCount()) display_.erase(display_.begin() + index);
    EndUpdate(false);
}

void TPngImageList::InsertPng(int index, std::unique_ptr<TPNGObject> png) {
    if (!png || index < 0 || index > Count()) return;
    BeginUpdate();
    const TPngImageCollectionItem& item = NewItem(index, std::move(png));
    display_.insert(display_.begin() + std::min(index, DisplayCount()), DisplayOf(item));
    EndUpdate(false);
}

void TPngImageList::Insert(int index, const TBitmap* image, const TBitmap* mask) {
    InsertPng(index, FromBitmap(image, mask));
}

void TPngImageList::InsertIcon(int index, const QIcon* icon) {
    if (!icon || icon->isNull() || index < 0 || index > Count()) return;
    InsertPng(index, IconToPng(*icon, QSize(width_, height_)));
}

void TPngImageList::InsertMasked(int index, const TBitmap* image, TColor maskColor) {
    InsertPng(index, FromMasked(image, maskColor));
}

void TPngImageList::Move(int curIndex, int newIndex) {
    if (curIndex < 0 || curIndex >= Count() || newIndex < 0 || newIndex >= Count() || curIndex == newIndex) return;
    BeginUpdate();
    auto item = std::move(items_[static_cast<std::size_t>(curIndex)]);
    items_.erase(items_.begin() + curIndex);
    if (curIndex < DisplayCount()) display_.erase(display_.begin() + curIndex);
    display_.insert(display_.begin() + std::min(newIndex, DisplayCount()), DisplayOf(*item));
    items_.insert(items_.begin() + newIndex, std::move(item));
    EndUpdate(false);
}

void TPngImageList::ReplacePng(int index, std::unique_ptr<TPNGObject> png) {
    if (!png || index < 0 || index >= Count()) return;
    BeginUpdate();
    TPngImageCollectionItem& item = *items_[static_cast<std::size_t>(index)];
    item.png_ = std::move(png);
    item.png2x_.reset();
    if (index < DisplayCount()) display_[static_cast<std::size_t>(index)] = DisplayOf(item);
    EndUpdate(false);
}

void TPngImageList::Replace(int index, const TBitmap* image, const TBitmap* mask) {
    ReplacePng(index, FromBitmap(image, mask));
}

void TPngImageList::ReplaceIcon(int index, const QIcon* icon) {
    if (!icon || icon->isNull() || index < 0 || index >= Count()) return;
    ReplacePng(index, IconToPng(*icon, QSize(width_, height_)));
}

void TPngImageList::ReplaceMasked(int index, const TBitmap* newImage, TColor maskColor) {
    ReplacePng(index, FromMasked(newImage, maskColor));
}

void TPngImageList::DoDraw(int index, TCanvas& canvas, int x, int y, bool enabled) const {
    if (index < 0 || index >= Count()) return;
    DrawPNG(Item(index).PngImage(), canvas, {x, y, x + width_, y + height_}, enabled ? 0 : options_);
}

void TPngImageList::AssignTo(TPngImageList& dest) const {
    if (&dest == this) return;
    dest.BeginUpdate();
    dest.width_ = width_;
    dest.height_ = height_;
    dest.items_.clear();
    for (const auto& item : items_) {
        TPngImageCollectionItem& copy = dest.NewItem(dest.Count(), nullptr);
        copy.owner_ = nullptr;  // no rebuild per item
        copy.Assign(*item);
        copy.owner_ = &dest;
    }
    dest.enabledImages_ = enabledImages_;
    dest.EndUpdate(true);
}

QIcon TPngImageList::Icon(int index) const {
    if (index < 0 || index >= Count()) return {};
    const TPngImageCollectionItem& item = Item(index);
    if (!item.PngImage().HeaderPresent()) return {};
    QIcon icon;
    auto add = [&](const TPNGObject& png, qreal dpr) {
        // The display list's look for the normal state; the disabled state as
        // DoDraw draws a disabled item: the options' looks with their alpha.
        QImage normal = enabledImages_ || options_ == 0 ? PngToIconImage(png, item.Background())
                                                        : PngToIconImage(*DisabledCopy(png, options_), clNone);
        QImage disabled = PngToIconImage(options_ ? *DisabledCopy(png, options_) : png, clNone);
        normal.setDevicePixelRatio(dpr);
        disabled.setDevicePixelRatio(dpr);
        icon.addPixmap(QPixmap::fromImage(normal), QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(disabled), QIcon::Disabled);
    };
    add(item.PngImage(), 1);
    if (const TPNGObject* twice = item.PngImage2x()) add(*twice, 2);
    return icon;
}

void CopyImageFromImageList(TPNGObject& dest, const TPngImageList& list, int index) {
    if (index < 0 || index >= list.Count()) return;
    dest.Assign(list.Item(index).PngImage());
}

}  // namespace velto
