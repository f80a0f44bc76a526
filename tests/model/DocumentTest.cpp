#include "model/Icon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velto {
namespace {

constexpr ImageSize Sz(int w, int h) { return {.Width = w, .Height = h}; }
using V = std::vector<std::string>;

V Formats(const TmyIcon& doc) {
    V out;
    for (int i = 0; i < doc.Count(); ++i) {
        const TmyImagePal& img = doc.Image(i);
        out.push_back(std::to_string(img.Width()) + "x" + std::to_string(img.Height()) + "x" +
                      std::to_string(img.BitCount));
    }
    return out;
}

std::vector<double> Rates(const TmyIcon& doc) {
    std::vector<double> out;
    for (int i = 0; i < doc.Count(); ++i) out.push_back(doc.Image(i).Rate());
    return out;
}

TEST(IconDocument, InsertSortedAndSortingFollowTheCurrentImage) {
    TmyIcon doc;
    EXPECT_EQ(doc.InsertSorted(Sz(32, 32), 8), 0);
    EXPECT_EQ(doc.InsertSorted(Sz(16, 16), 32), 0);
    EXPECT_EQ(doc.InsertSorted(Sz(48, 48), 8), 1);
    EXPECT_EQ(doc.InsertSorted(Sz(32, 32), 32), 0);
    EXPECT_EQ(Formats(doc), (V{"32x32x32", "16x16x32", "48x48x8", "32x32x8"}));
    EXPECT_EQ(doc.InsertSorted(Sz(48, 48), 8), -1);  // present: refused, nothing changes
    EXPECT_EQ(doc.ItemIndex(), 0);
    EXPECT_TRUE(doc.CanAdd(Sz(48, 48), 24));

    doc.SetItemIndex(1);
    const TmyImagePal* current = &doc.CurrentImage();
    EXPECT_TRUE(doc.SortImagesDepthAsc());
    EXPECT_EQ(Formats(doc), (V{"48x48x8", "32x32x8", "32x32x32", "16x16x32"}));
    EXPECT_EQ(&doc.CurrentImage(), current);
    EXPECT_TRUE(doc.SortImages());
    EXPECT_EQ(Formats(doc), (V{"32x32x32", "16x16x32", "48x48x8", "32x32x8"}));
    EXPECT_EQ(doc.ItemIndex(), 1);
    EXPECT_FALSE(doc.SortImages());

    // Width before height.
    TmyIcon wh;
    wh.InsertSorted(Sz(32, 48), 4);
    EXPECT_EQ(wh.InsertSorted(Sz(48, 32), 4), 0);
    EXPECT_EQ(wh.InsertSorted(Sz(48, 16), 4), 1);
    EXPECT_FALSE(wh.SortImages());  // SortImages agrees

    // Duplicate formats, as some files hold them, keep their order and the
    // current one stays current.
    TmyIcon dup;
    dup.AddImage(Sz(16, 16), 8);
    dup.AddImage(Sz(32, 32), 8);
    dup.AddImage(Sz(32, 32), 8);
    dup.SetItemIndex(1);
    const TmyImagePal* a = &dup.Image(1);
    const TmyImagePal* b = &dup.Image(2);
    EXPECT_TRUE(dup.SortImages());
    EXPECT_EQ(&dup.Image(0), a);
    EXPECT_EQ(&dup.Image(1), b);
    EXPECT_EQ(dup.ItemIndex(), 0);
    EXPECT_FALSE(TmyIcon().SortImages());
}

TEST(AniDocument, FramesShareOneFormatAndCopiesAreDeep) {
    TmyANI ani;
    EXPECT_TRUE(ani.CanAdd(Sz(7, 9), 1));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ani.AddImage(Sz(32, 32), 32), i);
    EXPECT_EQ(ani.ItemIndex(), 2);
    EXPECT_FALSE(ani.CanAdd(Sz(32, 32), 8));
    EXPECT_FALSE(ani.CanAdd(Sz(32, 16), 32));
    EXPECT_EQ(ani.InsertSorted(Sz(16, 16), 32), -1);  // through the animation's own CanAdd
    EXPECT_EQ(ani.InsertSorted(Sz(32, 32), 32), 3);
    // Sorting neither moves frames nor jumps to the last one.
    ani.SetItemIndex(1);
    EXPECT_FALSE(ani.SortImages());
    EXPECT_EQ(ani.ItemIndex(), 1);
    ani.SetItemIndex(17);
    EXPECT_EQ(ani.ItemIndex(), 3);  // clamped

    ani.Title = "t";
    TmyANI copy = ani;
    EXPECT_EQ(copy.Title, "t");
    copy.Image(0).At(0, 0).A = 5;
    EXPECT_EQ(ani.Image(0).At(0, 0).A, 0);
    auto img = std::make_unique<TmyImagePal>(Sz(32, 32), 32);
    img->SetRate(2);
    EXPECT_EQ(ani.AppendImage(std::move(img)), 4);
    EXPECT_EQ(ani.CurrentImage().Rate(), 2);
    EXPECT_EQ(ani.AppendImage(nullptr), -1);
}

TEST(AniDocument, InsertAtAndDeleteMoveFramesAndAdjustItemIndex) {
    TmyANI ani;
    for (int i = 0; i < 5; ++i) ani.Image(ani.AddImage(Sz(8, 8), 32)).SetRate(i + 1);
    const TmyImagePal* third = &ani.Image(2);
    ani.InsertAt(Sz(8, 8), 32, 2);
    EXPECT_EQ(ani.ItemIndex(), 2);
    EXPECT_EQ(&ani.Image(3), third);  // moved, not copied
    ani.InsertAt(Sz(8, 8), 32, 99);   // clamped: appended
    EXPECT_EQ(ani.ItemIndex(), 6);
    ani.InsertAt(Sz(8, 8), 32, -1);
    EXPECT_EQ(ani.ItemIndex(), 0);
    EXPECT_EQ(Rates(ani), (std::vector<double>{0.3, 1, 2, 0.3, 3, 4, 5, 0.3}));

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
    EXPECT_EQ(Rates(ani), (std::vector<double>{0.3, 2, 0.3, 4, 0.3}));

    ani.SetItemIndex(1);
    ani.Reverse();
    EXPECT_EQ(Rates(ani), (std::vector<double>{0.3, 4, 0.3, 2, 0.3}));
    EXPECT_EQ(ani.ItemIndex(), 1);
}

}  // namespace
}  // namespace velto
