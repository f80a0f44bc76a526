// Icon and animated-cursor documents: adding, inserting, deleting and ordering images.
#include "model/Icon.h"

#include <algorithm>
#include <iterator>

namespace velto {
namespace {

bool SameFormat(const TmyImagePal& img, ImageSize size, int bitCount) {
    return img.Width() == size.Width && img.Height() == size.Height && img.BitCount == bitCount;
}

}  // namespace

TmyIcon::TmyIcon(const TmyIcon& other) : IsCursor(other.IsCursor), Current(other.Current) {
    Images.reserve(other.Images.size());
    for (const auto& img : other.Images) Images.push_back(std::make_unique<TmyImagePal>(*img));
}

TmyIcon& TmyIcon::operator=(const TmyIcon& other) {
    if (this != &other) {
        TmyIcon copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void TmyIcon::SetItemIndex(int index) { Current = Images.empty() ? 0 : std::clamp(index, 0, Count() - 1); }

bool TmyIcon::CanAdd(ImageSize size, int bitCount) const {
    return std::none_of(Images.begin(), Images.end(),
                        [&](const auto& img) { return SameFormat(*img, size, bitCount); });
}

int TmyIcon::AddImage(ImageSize size, int bitCount) {
    return AppendImage(std::make_unique<TmyImagePal>(size, bitCount));
}

int TmyIcon::AppendImage(std::unique_ptr<TmyImagePal> image) {
    if (!image) return -1;
    Images.push_back(std::move(image));
    Current = Count() - 1;
    return Current;
}

int TmyIcon::InsertSorted(ImageSize size, int bitCount) {
    if (!CanAdd(size, bitCount)) return -1;
    // The first image that comes after the new one in the canonical order.
    int position = Count();
    for (int i = 0; i < Count(); ++i) {
        const TmyImagePal& img = Image(i);
        if (img.BitCount != bitCount ? img.BitCount < bitCount
            : img.Width() != size.Width ? img.Width() < size.Width
                                        : img.Height() < size.Height) {
            position = i;
            break;
        }
    }
    InsertAt(size, bitCount, position);
    return position;
}

void TmyIcon::InsertAt(ImageSize size, int bitCount, int index) {
    index = std::clamp(index, 0, Count());
    Images.insert(Images.begin() + index, std::make_unique<TmyImagePal>(size, bitCount));
    Current = index;
}

void TmyIcon::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    Images.erase(Images.begin() + index);
    if (index == Current)
        Current = 0;
    else if (index < Current)
        --Current;
}

void TmyIcon::Reverse() { std::reverse(Images.begin(), Images.end()); }

template <class Before>
bool TmyIcon::SortBy(Before before) {
    if (Images.empty()) return false;
    const TmyImagePal* current = Images[static_cast<std::size_t>(Current)].get();
    auto cmp = [&](const auto& a, const auto& b) { return before(*a, *b); };
    if (std::is_sorted(Images.begin(), Images.end(), cmp)) return false;
    // Stable: images equal in all three keys keep their order, as with
    // exchanges of strictly misordered neighbours only.
    std::stable_sort(Images.begin(), Images.end(), cmp);
    const auto it = std::find_if(Images.begin(), Images.end(), [&](const auto& p) { return p.get() == current; });
    Current = static_cast<int>(std::distance(Images.begin(), it));
    return true;
}

bool TmyIcon::SortImages() {
    return SortBy([](const TmyImagePal& a, const TmyImagePal& b) {
        if (a.BitCount != b.BitCount) return a.BitCount > b.BitCount;
        if (a.Width() != b.Width()) return a.Width() > b.Width();
        return a.Height() > b.Height();
    });
}

bool TmyIcon::SortImagesDepthAsc() {
    return SortBy([](const TmyImagePal& a, const TmyImagePal& b) {
        if (a.BitCount != b.BitCount) return a.BitCount < b.BitCount;
        if (a.Width() != b.Width()) return a.Width() > b.Width();
        return a.Height() > b.Height();
    });
}

bool TmyANI::CanAdd(ImageSize size, int bitCount) const {
    return std::all_of(Images.begin(), Images.end(),
                       [&](const auto& img) { return SameFormat(*img, size, bitCount); });
}

int TmyANI::AddImage(ImageSize size, int bitCount) {
    const int index = TmyIcon::AddImage(size, bitCount);
    Image(index).SetRate(TmyImage::DefaultRate);
    return index;
}

}  // namespace velto
