#include "model/Icon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velto {
namespace {

constexpr ImageSize Sz(int w, int h) { return {.Width = w, .Height = h}; }

// "WxHxBits" of every image in order.
std::vector<std::string> Formats(const TmyIcon& doc) {
    std::vector<std::string> out;
    for (int i = 0; i < doc.Count(); ++i) {
        const TmyImagePal& img = doc.Image(i);
        out.push_back(std::to_string(img.Width()) + "x" + std::to_string(img.Height()) + "x" +
                      std::to_string(img.BitCount));
    }
    return out;
}

using V = std::vector<std::string>;

TEST(IconDocument, InsertSortedKeepsCanonicalOrder) {
    TmyIcon doc;
    EXPECT_FALSE(doc.IsCursor);
    EXPECT_EQ(doc.InsertSorted(Sz(32, 32), 8), 0);
    EXPECT_EQ(doc.InsertSorted(Sz(16, 16), 32), 0);
    EXPECT_EQ(doc.InsertSorted(Sz(48, 48), 8), 1);
    EXPECT_EQ(doc.InsertSorted(Sz(32, 32), 32), 0);
    EXPECT_EQ(Formats(doc), (V{"32x32x32", "16x16x32", "48x48x8", "32x32x8"}));
    EXPECT_EQ(doc.ItemIndex(), 0);

    // Width before height: 48 wide x 32 high comes before 32 wide x 48 high.
    EXPECT_EQ(doc.InsertSorted(Sz(32, 48), 4), 4);
    EXPECT_EQ(doc.InsertSorted(Sz(48, 32), 4), 4);
    EXPECT_EQ(doc.Image(4).Width(), 48);
    EXPECT_EQ(doc.InsertSorted(Sz(48, 16), 4), 5);  // same width, lower

    // A format already present is refused without changes.
    doc.SetItemIndex(2);
    EXPECT_FALSE(doc.CanAdd(Sz(48, 48), 8));
    EXPECT_TRUE(doc.CanAdd(Sz(48, 48), 24));
    EXPECT_EQ(doc.InsertSorted(Sz(48, 48), 8), -1);
    EXPECT_EQ(doc.Count(), 7);
    EXPECT_EQ(doc.ItemIndex(), 2);
}

TEST(IconDocument, SortingFollowsTheCurrentImage) {
    TmyIcon doc;
    for (auto [w, b] : {std::pair{32, 8}, {16, 32}, {48, 8}, {32, 32}}) doc.InsertSorted(Sz(w, w), b);
    doc.SetItemIndex(1);  // 16x16x32
    const TmyImagePal* current = &doc.CurrentImage();

    EXPECT_TRUE(doc.SortImagesDepthAsc());
    EXPECT_EQ(Formats(doc), (V{"48x48x8", "32x32x8", "32x32x32", "16x16x32"}));
    EXPECT_EQ(&doc.CurrentImage(), current);
    EXPECT_FALSE(doc.SortImagesDepthAsc());

    EXPECT_TRUE(doc.SortImages());
    EXPECT_EQ(Formats(doc), (V{"32x32x32", "16x16x32", "48x48x8", "32x32x8"}));
    EXPECT_EQ(&doc.CurrentImage(), current);
    EXPECT_EQ(doc.ItemIndex(), 1);
    EXPECT_FALSE(doc.SortImages());

    // Duplicate formats (as some files hold them) keep their order and the
    // current one stays current.
    TmyIcon dup;
    dup.AddImage(Sz(16, 16), 8);
    dup.AddImage(Sz(32, 32), 8);
    dup.AddImage(Sz(32, 32), 8);
    dup.Image(1).SetRate(1);
    dup.SetItemIndex(1);
    const TmyImagePal* first32 = &dup.Image(1);
    const TmyImagePal* second32 = &dup.Image(2);
    EXPECT_TRUE(dup.SortImages());
    EXPECT_EQ(&dup.Image(0), first32);
    EXPECT_EQ(&dup.Image(1), second32);
    EXPECT_EQ(&dup.CurrentImage(), first32);

    TmyIcon empty;
    EXPECT_FALSE(empty.SortImages());
}

TEST(AniDocument, FramesShareOneFormatAndKeepTheCurrentFrame) {
    TmyANI ani;
    EXPECT_TRUE(ani.IsCursor);
    EXPECT_TRUE(ani.CanAdd(Sz(7, 9), 1));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ani.AddImage(Sz(32, 32), 32), i);
    EXPECT_EQ(ani.ItemIndex(), 3);
    EXPECT_EQ(ani.Image(2).Rate(), 0.3);
    EXPECT_TRUE(ani.CanAdd(Sz(32, 32), 32));
    EXPECT_FALSE(ani.CanAdd(Sz(32, 32), 8));
    EXPECT_FALSE(ani.CanAdd(Sz(32, 16), 32));
    EXPECT_EQ(ani.InsertSorted(Sz(16, 16), 32), -1);
    // InsertSorted goes through the animation's own CanAdd.
    EXPECT_EQ(ani.InsertSorted(Sz(32, 32), 32), 4);

    // Sorting an animation neither moves frames nor jumps to the last one.
    ani.SetItemIndex(1);
    EXPECT_FALSE(ani.SortImages());
    EXPECT_EQ(ani.ItemIndex(), 1);
}

TEST(IconDocument, InsertAtAndDeleteMoveImagesAndAdjustItemIndex) {
    TmyANI ani;
    for (int i = 0; i < 5; ++i) {
        ani.AddImage(Sz(8, 8), 32);
        ani.Image(i).SetRate(i + 1);
    }
    const TmyImagePal* third = &ani.Image(2);
    ani.InsertAt(Sz(8, 8), 32, 2);
    EXPECT_EQ(ani.Count(), 6);
    EXPECT_EQ(ani.ItemIndex(), 2);
    EXPECT_EQ(ani.Image(2).Rate(), 0.3);
    EXPECT_EQ(&ani.Image(3), third);  // moved, not copied
    EXPECT_EQ(ani.Image(5).Rate(), 5);
    ani.InsertAt(Sz(8, 8), 32, 99);  // past the end: appended
    EXPECT_EQ(ani.ItemIndex(), 6);
    ani.InsertAt(Sz(8, 8), 32, -1);
    EXPECT_EQ(ani.ItemIndex(), 0);
    EXPECT_EQ(ani.Image(1).Rate(), 1);
    EXPECT_EQ(ani.Count(), 8);

    // Rates now: 0.3 1 2 0.3 3 4 5 0.3
    ani.SetItemIndex(4);
    ani.Delete(6);  // after the current one
    EXPECT_EQ(ani.ItemIndex(), 4);
    ani.Delete(1);  // before it
    EXPECT_EQ(ani.ItemIndex(), 3);
    EXPECT_EQ(ani.CurrentImage().Rate(), 3);
    ani.Delete(3);  // the current one
    EXPECT_EQ(ani.ItemIndex(), 0);
    ani.Delete(-1);
    ani.Delete(ani.Count());
    EXPECT_EQ(ani.Count(), 5);
    std::vector<double> rates;
    for (int i = 0; i < ani.Count(); ++i) rates.push_back(ani.Image(i).Rate());
    EXPECT_EQ(rates, (std::vector<double>{0.3, 2, 0.3, 4, 0.3}));

    while (ani.Count() > 0) ani.Delete(ani.Count() - 1);
    EXPECT_EQ(ani.ItemIndex(), 0);
    EXPECT_TRUE(ani.CanAdd(Sz(1, 1), 1));
}

TEST(IconDocument, ReverseKeepsTheItemIndexNumber) {
    TmyIcon doc;
    doc.AddImage(Sz(1, 1), 32);
    doc.Reverse();
    EXPECT_EQ(doc.Count(), 1);
    doc.AddImage(Sz(2, 2), 32);
    doc.AddImage(Sz(3, 3), 32);
    doc.SetItemIndex(0);
    doc.Reverse();
    EXPECT_EQ(Formats(doc), (V{"3x3x32", "2x2x32", "1x1x32"}));
    EXPECT_EQ(doc.ItemIndex(), 0);
}

TEST(IconDocument, CopiesAreDeepAndAppendTakesAFinishedImage) {
    TmyANI ani;
    ani.Title = "t";
    ani.AddImage(Sz(4, 4), 8);
    ani.AddImage(Sz(4, 4), 8);
    ani.SetItemIndex(0);
    TmyANI copy = ani;
    EXPECT_EQ(copy.Title, "t");
    EXPECT_EQ(copy.ItemIndex(), 0);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_NE(&copy.Image(0), &ani.Image(0));
    copy.Image(0).At(0, 0).A = 5;
    EXPECT_EQ(ani.Image(0).At(0, 0).A, 0);

    auto img = std::make_unique<TmyImagePal>(Sz(4, 4), 8);
    img->SetRate(2);
    EXPECT_EQ(ani.AppendImage(std::move(img)), 2);
    EXPECT_EQ(ani.CurrentImage().Rate(), 2);
    EXPECT_EQ(ani.AppendImage(nullptr), -1);
    EXPECT_EQ(ani.Count(), 3);

    ani.SetItemIndex(17);
    EXPECT_EQ(ani.ItemIndex(), 2);
}

}  // namespace
}  // namespace velto
