#include "model/Undo.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

// A 2x2 frame told apart by the red of its first pixel.
TmyImagePal Frame(int tag) {
    TmyImagePal img({.Width = 2, .Height = 2}, 32);
    img.At(0, 0).R = static_cast<std::uint8_t>(tag);
    return img;
}
int Tag(const TmyImagePal* img) { return img ? img->At(0, 0).R : -1; }

TEST(Undo, StoreBeforeUndoKeepsTheLatestStateForRedo) {
    tmyUndo u;
    EXPECT_EQ(u.Undo(), nullptr);
    EXPECT_EQ(u.Redo(), nullptr);
    u.Store(Frame('A'));
    EXPECT_EQ(u.Undo(), nullptr);  // nothing before A: nothing returned, nothing changed
    EXPECT_FALSE(u.SkipNextStore());
    ASSERT_TRUE(u.StoreBeforeUndo());
    u.Store(Frame('B'));  // the Undo command stores the present frame first
    EXPECT_EQ(Tag(u.Undo()), 'A');
    EXPECT_FALSE(u.CanUndo());
    EXPECT_FALSE(u.StoreBeforeUndo());
    EXPECT_EQ(Tag(u.Redo()), 'B');
    EXPECT_FALSE(u.CanRedo());
    EXPECT_EQ(u.Redo(), nullptr);
}

TEST(Undo, WalksBackAndForthAndAnEditDropsTheRedoTail) {
    tmyUndo u;
    for (char c : {'A', 'B', 'C', 'D'}) u.Store(Frame(c));  // D: stored by the Undo command
    EXPECT_EQ(Tag(u.Undo()), 'C');
    ASSERT_FALSE(u.StoreBeforeUndo());
    EXPECT_EQ(Tag(u.Undo()), 'B');
    EXPECT_EQ(Tag(u.Redo()), 'C');
    EXPECT_EQ(Tag(u.Redo()), 'D');
    EXPECT_EQ(Tag(u.Undo()), 'C');
    EXPECT_EQ(Tag(u.Undo()), 'B');

    EXPECT_TRUE(u.SkipNextStore());
    u.Store(Frame('X'));  // B is shown and being edited: nothing stored, C and D dropped
    EXPECT_FALSE(u.SkipNextStore());
    EXPECT_FALSE(u.CanRedo());
    EXPECT_TRUE(u.StoreBeforeUndo());
    EXPECT_EQ(u.Count(), 2);
    u.Store(Frame('E'));
    u.Store(Frame('F'));
    EXPECT_EQ(Tag(u.Undo()), 'E');
    EXPECT_EQ(Tag(u.Undo()), 'B');
    EXPECT_EQ(Tag(u.Undo()), 'A');
    EXPECT_FALSE(u.CanUndo());
}

TEST(Undo, KeepsTheNewest21FullCopies) {
    tmyUndo u;
    for (int i = 1; i <= 25; ++i) u.Store(Frame(i));
    EXPECT_EQ(u.Count(), tmyUndo::MaxSnapshots);
    int steps = 0, last = 0;
    while (const TmyImagePal* s = u.Undo()) last = Tag(s), ++steps;
    EXPECT_EQ(steps, 20);
    EXPECT_EQ(last, 5);
    while (u.Redo()) {
    }
    EXPECT_EQ(Tag(u.Undo()), 24);

    tmyUndo v;
    TmyImagePal img({.Width = 3, .Height = 5}, 4);
    img.SetHotSpotY(4);
    v.Store(img);
    img.At(1, 1).A = 200;
    v.Store(img);
    const TmyImagePal* snap = v.Undo();
    ASSERT_NE(snap, nullptr);
    EXPECT_EQ(snap->HotSpotY(), 4);
    EXPECT_TRUE(snap->Palette.has_value());
    EXPECT_EQ(snap->At(1, 1).A, 0);
}

TEST(Undo, ClearStartsOver) {
    tmyUndo u;
    u.Store(Frame('A'));
    u.Store(Frame('B'));
    u.Undo();
    u.Clear();
    EXPECT_FALSE(u.CanUndo());
    EXPECT_FALSE(u.CanRedo());
    EXPECT_TRUE(u.StoreBeforeUndo());
    EXPECT_FALSE(u.SkipNextStore());
    EXPECT_EQ(u.Count(), 0);
    u.Store(Frame('C'));  // stored, not skipped
    u.Store(Frame('D'));
    EXPECT_EQ(Tag(u.Undo()), 'C');
}

}  // namespace
}  // namespace velto
