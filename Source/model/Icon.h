#pragma once
// Documents: an icon or static cursor (at most one image per Width, Height and
// BitCount, in canonical order) and an animated cursor (frames of one format in
// playing order). A document owns its images; reordering moves owners, so an
// image object keeps its identity wherever it ends up.
#include <memory>
#include <string>
#include <vector>

#include "model/Image.h"

namespace velto {

class TmyIcon {
public:
    TmyIcon() = default;
    virtual ~TmyIcon() = default;
    // Deep copies (every image), e.g. to work on a copy and swap it in later.
    TmyIcon(const TmyIcon& other);
    TmyIcon& operator=(const TmyIcon& other);
    TmyIcon(TmyIcon&&) noexcept = default;
    TmyIcon& operator=(TmyIcon&&) noexcept = default;

    // True for a cursor (the hotspots are meaningful).
    bool IsCursor = false;

    int Count() const { return static_cast<int>(Images.size()); }
    // Index of the current image; 0 when the document is empty.
    int ItemIndex() const { return Current; }
    // Clamped into 0..Count()-1 (0 when empty).
    void SetItemIndex(int index);

    // Image at index (0..Count()-1) and the current image (Count() >= 1).
    TmyImagePal& Image(int index) { return *Images[static_cast<std::size_t>(index)]; }
    const TmyImagePal& Image(int index) const { return *Images[static_cast<std::size_t>(index)]; }
    TmyImagePal& CurrentImage() { return Image(Current); }
    const TmyImagePal& CurrentImage() const { return Image(Current); }

    // Icons: false when an image of exactly this size and depth exists.
    virtual bool CanAdd(ImageSize size, int bitCount) const;
    // Appends a new image of the format (CanAdd is not consulted), makes it
    // current and returns its index.
    virtual int AddImage(ImageSize size, int bitCount);
    // Appends a finished image as it is (readers build an image completely
    // before handing it over), makes it current and returns its index
    // (-1 and nothing changed for a null image).
    int AppendImage(std::unique_ptr<TmyImagePal> image);

    // -1 when CanAdd refuses; else inserts a new image at its place in the
    // canonical order, makes it current and returns the index.
    int InsertSorted(ImageSize size, int bitCount);
    // New image at index (clamped into 0..Count()); later images move up one
    // place; the new image becomes current.
    void InsertAt(ImageSize size, int bitCount, int index);
    // Removes the image at index (nothing when out of range). ItemIndex: 0 when
    // the current image was deleted, one less when an earlier one was, else kept.
    void Delete(int index);
    // Reverses the image order; ItemIndex keeps its number.
    void Reverse();

    // Canonical order: BitCount, Width, Height, all descending; images equal in
    // all three keep their order. True when anything moved. The current image
    // stays current wherever it moves.
    bool SortImages();
    // Order of ".cur" writing: BitCount ascending, Width and Height descending.
    bool SortImagesDepthAsc();

protected:
    std::vector<std::unique_ptr<TmyImagePal>> Images;
    int Current = 0;

private:
    template <class Before>
    bool SortBy(Before before);
};

class TmyANI : public TmyIcon {
public:
    TmyANI() { IsCursor = true; }

    std::string Title;   // UTF-8
    std::string Author;  // UTF-8

    // True when empty or when every frame has exactly this size and depth.
    bool CanAdd(ImageSize size, int bitCount) const override;
    // As for icons; the new frame's Rate is 0.3.
    int AddImage(ImageSize size, int bitCount) override;
};

}  // namespace velto
