// The one-click image commands on real document windows: every effect Tag,
// the palette step after an effect, effects on every frame of an animation,
// the floating selection's road, the colour-depth commands, Last Effect, and
// Undo and Redo from the menu, the keys and the tool bar after every kind of
// change.
#include <QComboBox>

#include "CommandFixture.h"
#include "browse/ThumbnailGrid.h"
#include "shell/SelectionControl.h"
#include "shell/Effects.h"
#include "shell/MainActions.h"
#include "engine/Filter.h"

using namespace velto;
using velto::test::CommandTest;
using velto::test::ScriptedDialog;

namespace {

TmyPixel Gray(const TmyPixel& p) {
    const auto y = static_cast<std::uint8_t>((30 * p.R + 59 * p.G + 11 * p.B) / 100);
    return {y, y, y, p.A};
}

// ---------------------------------------------------------------- the table

// Filter effects by Tag and the kernel they run, as the effect list gives them.
constexpr std::pair<int, int> kFilterTags[] = {
    {12, 0},  {13, 1},  {14, 2},  {15, 3},  {16, 19}, {17, 4},  {18, 5},  {19, 6},  {20, 7},  {21, 12},
    {22, 13}, {23, 14}, {24, 15}, {25, 16}, {26, 17}, {27, 18}, {28, 8},  {29, 10}, {30, 9},  {31, 11},
    {32, 20}, {33, 21}, {34, 22}, {35, 23}, {36, 24}, {37, 26}, {38, 25}, {39, 27}, {40, 28},
};

TEST(EffectTable, EveryTagHasOneCommandAndEveryFilterItsKernel) {
    std::vector<int> commands(kEffectCount, 0);
    for (const ActionSpec& row : MainActionTable()) {
        if (row.tag < 0) continue;
        ASSERT_NE(EffectOfTag(row.tag), nullptr) << row.name;
        ++commands[static_cast<size_t>(row.tag)];
    }
    for (int tag = 0; tag < kEffectCount; ++tag) EXPECT_EQ(commands[static_cast<size_t>(tag)], 1) << "Tag " << tag;
    EXPECT_EQ(EffectOfTag(-1), nullptr);
    EXPECT_EQ(EffectOfTag(kEffectCount), nullptr);
    for (const auto& [tag, kernel] : kFilterTags) {
        SCOPED_TRACE(FilterKernels[static_cast<size_t>(kernel)].Name);
        const TEffectSpec* e = EffectOfTag(tag);
        ASSERT_EQ(e->Kind, TEffectKind::Filter);
        EXPECT_EQ(e->Arg, kernel);
        // The kernel list knows its effect by the same Tag.
        EXPECT_EQ(KernelForEffectTag(tag), kernel);
    }
}

// ---------------------------------------------------------------- each effect

struct EffectCase {
    const char* name;
    const char* action;
    bool filterOnAlpha;
    // Checks the image after the effect against the one before.
    std::function<void(const TmyImagePal& before, const TmyImagePal& after)> check;
};

void ExpectEach(const TmyImagePal& before, const TmyImagePal& after, const std::function<TmyPixel(int, int)>& want) {
    ASSERT_EQ(after.Size(), before.Size());
    for (int y = 0; y < after.Height(); ++y)
        for (int x = 0; x < after.Width(); ++x) ASSERT_EQ(after.At(x, y), want(x, y)) << "at " << x << "," << y;
}

const EffectCase kEffectCases[] = {
    {"grayscale", "actnGrayscale", false,
     [](const TmyImagePal& b, const TmyImagePal& a) { ExpectEach(b, a, [&](int x, int y) { return Gray(b.At(x, y)); }); }},
    {"invert", "actnInvert", false,
     [](const TmyImagePal& b, const TmyImagePal& a) {
         ExpectEach(b, a, [&](int x, int y) {
             const TmyPixel p = b.At(x, y);
             return TmyPixel{static_cast<std::uint8_t>(255 - p.R), static_cast<std::uint8_t>(255 - p.G),
                             static_cast<std::uint8_t>(255 - p.B), p.A};
         });
     }},
    {"red tint", "actnRed", false,
     [](const TmyImagePal& b, const TmyImagePal& a) {
         ExpectEach(b, a, [&](int x, int y) {
             const TmyPixel g = Gray(b.At(x, y));
             return TmyPixel{g.R, 0, 0, g.A};
         });
     }},
    {"swap red and blue", "actnRedBlue", false,
     [](const TmyImagePal& b, const TmyImagePal& a) {
         ExpectEach(b, a, [&](int x, int y) {
             const TmyPixel p = b.At(x, y);
             return TmyPixel{p.B, p.G, p.R, p.A};
         });
     }},
    {"flip horizontally", "actnFlipHoriz", false,
     [](const TmyImagePal& b, const TmyImagePal& a) { ExpectEach(b, a, [&](int x, int y) { return b.At(7 - x, y); }); }},
    {"flip vertically", "actnFlipVert", false,
     [](const TmyImagePal& b, const TmyImagePal& a) { ExpectEach(b, a, [&](int x, int y) { return b.At(x, 5 - y); }); }},
    {"rotate 180", "actnRotate", false,
     [](const TmyImagePal& b, const TmyImagePal& a) { ExpectEach(b, a, [&](int x, int y) { return b.At(7 - x, 5 - y); }); }},
    {"rotate left", "actnRotateLeft", false,
     [](const TmyImagePal& b, const TmyImagePal& a) {
         ASSERT_EQ(a.Size(), (ImageSize{6, 8}));
         // The top-left corner ends at the bottom left, the top-right at the top left.
         EXPECT_EQ(a.At(0, 7), b.At(0, 0));
         EXPECT_EQ(a.At(0, 0), b.At(7, 0));
         EXPECT_EQ(a.At(5, 7), b.At(0, 5));
     }},
    {"rotate right", "actnRotateRight", false,
     [](const TmyImagePal& b, const TmyImagePal& a) {
         ASSERT_EQ(a.Size(), (ImageSize{6, 8}));
         EXPECT_EQ(a.At(5, 0), b.At(0, 0));
         EXPECT_EQ(a.At(0, 0), b.At(0, 5));
     }},
    {"move left", "actnLeft", false,
     [](const TmyImagePal& b, const TmyImagePal& a) {
         ExpectEach(b, a, [&](int x, int y) { return x < 7 ? b.At(x + 1, y) : TmyPixel{}; });
     }},
    {"move down", "actnDown", false,
     [](const TmyImagePal& b, const TmyImagePal& a) {
         ExpectEach(b, a, [&](int x, int y) { return y > 0 ? b.At(x, y - 1) : TmyPixel{}; });
     }},
    {"blur", "actBlurNormal", false,
     [](const TmyImagePal& b, const TmyImagePal& a) {
         EXPECT_FALSE(a.Equals(b));
         // Without "FilterOnAlpha" visible pixels keep their alpha.
         for (int i = 0; i < 48; ++i) EXPECT_EQ(a.Pixels()[size_t(i)].A, b.Pixels()[size_t(i)].A);
     }},
    {"blur with alpha", "actBlurNormal", true,
     [](const TmyImagePal& b, const TmyImagePal& a) {
         int changed = 0;
         for (int i = 0; i < 48; ++i) changed += a.Pixels()[size_t(i)].A != b.Pixels()[size_t(i)].A;
         EXPECT_GT(changed, 0);
     }},
    {"drop shadow", "actShadow", false,
     [](const TmyImagePal& b, const TmyImagePal& a) {
         EXPECT_EQ(a.Size(), b.Size());
         EXPECT_FALSE(a.Equals(b));
     }},
};

TEST_F(CommandTest, EachEffectChangesTheImageOnceAndUndoRedoFollow) {
    for (const EffectCase& c : kEffectCases) {
        SCOPED_TRACE(c.name);
        Options().FilterOnAlpha = c.filterOnAlpha;
        TfrmDesk* d = openIcon({Pattern({8, 6}, 32)}, QString("effect-%1.ico").arg(&c - kEffectCases));
        ASSERT_NE(d, nullptr);
        const TmyImagePal before = *d->CurrentImage();
        ASSERT_TRUE(d->Saved());
        run(c.action);
        const TmyImagePal after = *d->CurrentImage();
        c.check(before, after);
        EXPECT_FALSE(d->Saved());
        // The canvas shows the image at its new size.
        EXPECT_EQ(d->ImagesCombo()->currentText().contains(QString("%1x%2").arg(after.Width()).arg(after.Height())), true)
            << d->ImagesCombo()->currentText().toStdString();
        EXPECT_EQ(main->LastEffect(), act(c.action));
        EXPECT_TRUE(act("actLast")->isEnabled());
        EXPECT_TRUE(act("actnUndo")->isEnabled());
        run("actnUndo");
        EXPECT_TRUE(Same(*d->CurrentImage(), before));
        EXPECT_TRUE(act("actnRedo")->isEnabled());
        run("actnRedo");
        EXPECT_TRUE(Same(*d->CurrentImage(), after));
        d->SetSaved(true);
        d->Frame()->close();
    }
    EXPECT_TRUE(shown.isEmpty()) << shown.front().text.toStdString();
}

TEST_F(CommandTest, QuarterTurnLaysTheCanvasOutAtTheNewSize) {
    TfrmDesk* d = openIcon({Pattern({32, 48}, 32)});
    ASSERT_NE(d, nullptr);
    d->SetZoom(4);
    const QSize tall = d->CanvasImage()->size();
    run("actnRotateLeft");
    ASSERT_EQ(d->CurrentImage()->Size(), (ImageSize{48, 32}));
    const QSize wide = d->CanvasImage()->size();
    // Both fit whole in the window at zoom 4: the canvas turned with the image.
    EXPECT_EQ(wide, tall.transposed());
    EXPECT_EQ(d->SideBar()->Item(0).Caption, "48x32 - 32");
}

// An icon keeps one image of each size and depth: a turn onto the format of
// another image is refused, and nothing is stored or changed.
TEST_F(CommandTest, QuarterTurnOntoAnotherImagesFormatIsRefused) {
    TfrmDesk* d = openIcon({Pattern({32, 16}, 32), Pattern({16, 32}, 32, 1)});
    ASSERT_NE(d, nullptr);
    const int index = d->ItemIndex();
    const TmyImagePal before = *d->CurrentImage();
    run("actnRotateRight");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "There is already an image with this format in the icon!");
    EXPECT_EQ(shown[0].kind, mkWarning);
    EXPECT_TRUE(Same(*d->CurrentImage(), before));
    EXPECT_EQ(d->ItemIndex(), index);
    EXPECT_FALSE(d->CanUndo());
    EXPECT_TRUE(d->Saved());
}

// ---------------------------------------------------------------- the palette step

struct PaletteCase {
    const char* name;
    const char* action;
    int setting;  // "PaletteAction"
    TPaletteChoice answer;
    int questions;
    bool paletteKept;
    // The palette follows the colours (a colour mode with setting Change).
    bool paletteFollows;
};

const PaletteCase kPaletteCases[] = {
    {"grayscale, change: the palette turns grey with the pixels", "actnGrayscale", 0, TPaletteChoice::Keep, 0, false, true},
    {"grayscale, keep: pixels refitted to the old palette", "actnGrayscale", 1, TPaletteChoice::Keep, 0, true, false},
    {"grayscale, ask: kept", "actnGrayscale", 2, TPaletteChoice::Keep, 1, true, false},
    {"blur, change: a new palette for the new colours", "actBlurNormal", 0, TPaletteChoice::Keep, 0, false, false},
    {"blur, keep: pixels refitted", "actBlurNormal", 1, TPaletteChoice::Change, 0, true, false},
    {"blur, ask: changed", "actBlurNormal", 2, TPaletteChoice::Change, 1, false, false},
    {"blur, ask: kept", "actBlurNormal", 2, TPaletteChoice::Keep, 1, true, false},
    {"flip, keep: nothing to refit", "actnFlipHoriz", 1, TPaletteChoice::Keep, 0, true, false},
};

TEST_F(CommandTest, IndexedImagesStayOnTheirPaletteAfterEveryEffect) {
    for (const PaletteCase& c : kPaletteCases) {
        SCOPED_TRACE(c.name);
        Options().PaletteAction = static_cast<std::uint8_t>(c.setting);
        paletteAnswer = c.answer;
        paletteQuestions = 0;
        TfrmDesk* d = openIcon({Pattern({12, 12}, 8)}, QString("pal-%1.ico").arg(&c - kPaletteCases));
        ASSERT_NE(d, nullptr);
        const TmyImagePal before = *d->CurrentImage();
        run(c.action);
        const TmyImagePal& after = *d->CurrentImage();
        EXPECT_EQ(paletteQuestions, c.questions);
        EXPECT_EQ(after.BitCount, 8);
        EXPECT_TRUE(OnPalette(after));
        EXPECT_EQ(after.Palette->Equals(*before.Palette), c.paletteKept);
        if (c.paletteFollows) {
            for (int i = 0; i < 256; ++i) ASSERT_EQ((*after.Palette)[i], Gray((*before.Palette)[i])) << "entry " << i;
        }
        d->SetSaved(true);
        d->Frame()->close();
    }
}

// The palette step the dialogs and the tool palette call on their own.
TEST_F(CommandTest, ApplyPaletteActionRefitsIndexedImagesAsTheSettingSays) {
    struct Case {
        const char* name;
        int bits;
        int setting;
        int questions;
        bool paletteKept;
    };
    const Case cases[] = {
        {"8 bits, change", 8, 0, 0, false}, {"8 bits, keep", 8, 1, 0, true}, {"4 bits, ask, keep", 4, 2, 1, true},
        {"1 bit, ask, keep", 1, 2, 1, true}, {"24 bits: nothing to do", 24, 2, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Options().PaletteAction = static_cast<std::uint8_t>(c.setting);
        paletteAnswer = TPaletteChoice::Keep;
        paletteQuestions = 0;
        TmyImagePal img = Pattern({9, 7}, c.bits);
        // Colours the palette does not have, as a filter leaves them.
        for (int x = 0; x < 9; ++x) img.At(x, 3) = TmyPixel{static_cast<std::uint8_t>(13 + x), 101, 77, 255};
        const TmyImagePal before = img;
        main->ApplyPaletteAction(img);
        EXPECT_EQ(paletteQuestions, c.questions);
        EXPECT_EQ(img.BitCount, c.bits);
        EXPECT_TRUE(OnPalette(img));
        if (img.Palette) {
            EXPECT_EQ(img.Palette->Equals(*before.Palette), c.paletteKept);
        } else {
            EXPECT_TRUE(img.Equals(before));
        }
    }
}

// ---------------------------------------------------------------- every frame

TEST_F(CommandTest, EffectOnEveryFrameOfAnAnimationAsksAndCannotBeUndone) {
    Options().EffectOnAllImages = true;
    TfrmDesk* d = openAnimation(3, {8, 8}, 32);
    ASSERT_NE(d, nullptr);
    d->SetCurrentImage(1);
    // One undoable change of the current frame first.
    Options().EffectOnAllImages = false;
    run("actnFlipVert");
    ASSERT_TRUE(d->CanUndo());
    Options().EffectOnAllImages = true;
    std::vector<TmyImagePal> before;
    for (int i = 0; i < 3; ++i) before.push_back(d->Document()->Image(i));
    d->SetSaved(true);

    answers = {idNo};
    run("actnInvert");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "This action cannot be undone! Continue?");
    EXPECT_EQ(shown[0].kind, mkWarning);
    EXPECT_EQ(shown[0].buttons, mbYes | mbNo);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Same(d->Document()->Image(i), before[size_t(i)])) << i;
    EXPECT_TRUE(d->Saved());
    EXPECT_TRUE(d->CanUndo());
    // Declined, the effect is still the last one.
    EXPECT_EQ(main->LastEffect(), act("actnInvert"));

    answers = {idYes};
    run("actnInvert");
    for (int i = 0; i < 3; ++i) {
        const TmyPixel p = before[size_t(i)].At(2, 3), q = d->Document()->Image(i).At(2, 3);
        EXPECT_EQ(q.R, 255 - p.R) << i;
    }
    EXPECT_FALSE(d->Saved());
    // A snapshot of one frame cannot take back a change of all of them.
    EXPECT_FALSE(d->CanUndo());
    EXPECT_FALSE(act("actnUndo")->isEnabled());
    EXPECT_EQ(d->ItemIndex(), 1);
}

TEST_F(CommandTest, EffectOnAllImagesLeavesIconsToTheCurrentImage) {
    Options().EffectOnAllImages = true;
    TfrmDesk* d = openIcon({Pattern({16, 16}, 32), Pattern({8, 8}, 32, 1)});
    ASSERT_NE(d, nullptr);
    const TmyImagePal other = d->Document()->Image(1);
    run("actnInvert");
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_TRUE(Same(d->Document()->Image(1), other));
    EXPECT_TRUE(d->CanUndo());
}

// Every changed frame of an indexed animation takes the palette step, with
// one question for all of them.
TEST_F(CommandTest, PaletteQuestionIsAskedOncePerCommandAndEveryFrameIsRefitted) {
    Options().EffectOnAllImages = true;
    TfrmDesk* d = openAnimation(4, {10, 10}, 8);
    ASSERT_NE(d, nullptr);
    std::vector<TmyPalette> palettes;
    for (int i = 0; i < 4; ++i) palettes.push_back(*d->Document()->Image(i).Palette);
    answers = {idYes};
    paletteAnswer = TPaletteChoice::Keep;
    run("actBlurMore");
    EXPECT_EQ(paletteQuestions, 1);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const TmyImagePal& f = d->Document()->Image(i);
        EXPECT_TRUE(OnPalette(f));
        EXPECT_TRUE(f.Palette->Equals(palettes[size_t(i)]));
    }
}

// ---------------------------------------------------------------- the floating selection

TEST_F(CommandTest, EffectsAndShiftsWorkOnASelectionFloatingInTheActiveWindow) {
    velto::test::PixelSelection sel;
    main->SetSelection(&sel);
    TfrmDesk* other = openIcon({Pattern({8, 8}, 32)}, "other.ico");
    TfrmDesk* d = openIcon({Pattern({8, 8}, 32, 2)}, "here.ico");
    ASSERT_TRUE(other && d);
    sel.pixels.Assign(Pattern({4, 4}, 32, 3));
    sel.empty = false;
    sel.owner = d->Tag;
    const TmyImagePal image = *d->CurrentImage(), pixels = sel.pixels;

    run("actnGrayscale");
    EXPECT_EQ(sel.pixels.At(1, 2), Gray(pixels.At(1, 2)));
    EXPECT_EQ(sel.edits, 1);
    EXPECT_TRUE(Same(*d->CurrentImage(), image));
    EXPECT_FALSE(d->CanUndo());
    EXPECT_TRUE(d->Saved());

    // A shift moves the selection by one image pixel, not the image.
    run("actnLeft");
    run("actnDown");
    EXPECT_EQ(sel.moves, (std::vector<std::pair<int, int>>{{-1, 0}, {0, 1}}));
    EXPECT_TRUE(Same(*d->CurrentImage(), image));

    // The selection of another window leaves this one's image to the command.
    sel.owner = other->Tag;
    run("actnInvert");
    EXPECT_EQ(sel.edits, 1);
    EXPECT_FALSE(Same(*d->CurrentImage(), image));
    EXPECT_TRUE(d->CanUndo());
    main->SetSelection(&selection);
}

// The program's own selection: lifted by Select All, inverted and nudged by
// the commands, then dropped into the image.
TEST_F(CommandTest, EffectsAndShiftsOnTheProgramsOwnSelectionLandInTheImageAtTheDrop) {
    main->SetSelection(&main->Tools().SelectionControl());
    Options().TransparentSelection = false;
    TfrmDesk* d = openIcon({Pattern({8, 8}, 32)});
    ASSERT_NE(d, nullptr);
    d->Frame()->show();
    const TmyImagePal before = *d->CurrentImage();
    run("actSelectAll");
    ASSERT_FALSE(main->Selection().Empty());
    run("actnInvert");
    run("actnRight");
    run("actDropSelection");
    ASSERT_TRUE(main->Selection().Empty());
    const TmyImagePal& after = *d->CurrentImage();
    for (int y = 0; y < 8; ++y)
        for (int x = 1; x < 8; ++x) {
            const TmyPixel p = before.At(x - 1, y);
            ASSERT_EQ(after.At(x, y), (TmyPixel{static_cast<std::uint8_t>(255 - p.R), static_cast<std::uint8_t>(255 - p.G),
                                                static_cast<std::uint8_t>(255 - p.B), p.A}))
                << x << "," << y;
        }
    main->SetSelection(&selection);
}

// ---------------------------------------------------------------- last effect and the custom filter

TEST_F(CommandTest, LastEffectRepeatsTheEffectAndTheCustomFiltersCurrentKernel) {
    TfrmDesk* d = openIcon({Pattern({6, 6}, 32)});
    ASSERT_NE(d, nullptr);
    main->UpdateActions();
    EXPECT_FALSE(act("actLast")->isEnabled());
    const TmyImagePal original = *d->CurrentImage();
    run("actnInvert");
    EXPECT_EQ(act("actLast")->text(), "Last Effect (Invert)");
    run("actLast");
    EXPECT_TRUE(Same(*d->CurrentImage(), original));

    // The Custom Filter's OK makes it the last effect; Last Effect then reads
    // the kernel entered in the dialog at that time.
    ScriptedDialog* filter = forms["frmFilter"];
    ASSERT_NE(filter, nullptr);
    filter->kernel.Weights[12] = 1;
    filter->kernel.Offset = 10;
    main->SetLastEffect(act("actCustom"));
    EXPECT_EQ(act("actLast")->text(), "Last Effect (Custom Filter)");
    run("actLast");
    const TmyPixel p = original.At(3, 3);
    EXPECT_EQ(d->CurrentImage()->At(3, 3).G, std::min(255, p.G + 10));
    filter->kernel.Offset = -20;
    run("actLast");
    EXPECT_EQ(d->CurrentImage()->At(3, 3).G, std::max(0, std::min(255, p.G + 10) - 20));
    EXPECT_TRUE(runs.isEmpty()) << "Last Effect opens no dialog";
    // The command itself opens the dialog.
    run("actCustom");
    EXPECT_EQ(runs, QStringList{"frmFilter"});
}

// ---------------------------------------------------------------- colour depth

struct DepthCase {
    const char* name;
    std::vector<int> bits;  // the icon's images, 16 x 16; the first is current
    const char* command;
    bool refused;
    int resultBits;
    const TmyPalette* palette;  // the fixed palette expected, or null
};

const TmyPalette kWindows16(16), kBlackWhite(2);

const DepthCase kDepthCases[] = {
    {"32 to 32 is the image's own format", {32}, "actn32bit", true, 32, nullptr},
    {"32 to 8 beside an 8-bit image of that size", {32, 8}, "actn8bit", true, 32, nullptr},
    {"32 to 8", {32}, "actn8bit", false, 8, nullptr},
    {"32 to 24", {32}, "actn24bit", false, 24, nullptr},
    {"32 to 4", {32}, "actn4bit", false, 4, nullptr},
    {"32 to Windows 4", {32}, "actnWin4bit", false, 4, &kWindows16},
    {"24 to 1", {24}, "actn1bit", false, 1, nullptr},
    {"24 to black and white", {24}, "actnWin1bit", false, 1, &kBlackWhite},
    {"8 to 32", {8}, "actn32bit", false, 32, nullptr},
    {"4 to Windows 4 is the image's own depth", {4}, "actnWin4bit", true, 4, nullptr},
};

TEST_F(CommandTest, DataTypeCommandsChangeTheDepthOrRefuseATakenFormat) {
    for (const DepthCase& c : kDepthCases) {
        SCOPED_TRACE(c.name);
        shown.clear();
        std::vector<TmyImagePal> images;
        for (size_t i = 0; i < c.bits.size(); ++i) images.push_back(Pattern({16, 16}, c.bits[i], int(i)));
        TfrmDesk* d = openIcon(images, QString("depth-%1.ico").arg(&c - kDepthCases));
        ASSERT_NE(d, nullptr);
        // The command works on the image of the first depth listed.
        for (int i = 0; i < d->ImageCount(); ++i)
            if (d->Document()->Image(i).BitCount == c.bits[0]) d->SetCurrentImage(i);
        const TmyImagePal before = *d->CurrentImage();
        run(c.command);
        const TmyImagePal& after = *d->CurrentImage();
        EXPECT_EQ(after.BitCount, c.resultBits);
        if (c.refused) {
            ASSERT_EQ(shown.size(), 1);
            EXPECT_EQ(shown[0].text, "There is already an image with this format in the icon!");
            EXPECT_TRUE(Same(after, before));
            EXPECT_FALSE(d->CanUndo());
            EXPECT_TRUE(d->Saved());
        } else {
            EXPECT_TRUE(shown.isEmpty());
            EXPECT_TRUE(OnPalette(after));
            EXPECT_EQ(after.Palette.has_value(), c.resultBits <= 8);
            if (c.palette) {
                EXPECT_TRUE(after.Palette->Equals(*c.palette));
            }
            if (c.resultBits == 8) {
                EXPECT_GE(after.Palette->IndexOf(TmyPixel{0, 0, 0, 255}), 0) << "black is in";
            }
            EXPECT_TRUE(d->ImagesCombo()->currentText().contains("16x16"));
            EXPECT_FALSE(d->Saved());
            run("actnUndo");
            EXPECT_TRUE(Same(*d->CurrentImage(), before));
        }
        d->SetSaved(true);
        d->Frame()->close();
    }
}

TEST_F(CommandTest, DataTypeOnAnAnimationChangesEveryFrameAfterTheQuestion) {
    TfrmDesk* d = openAnimation(3, {8, 8}, 32);
    ASSERT_NE(d, nullptr);
    answers = {idNo, idYes};
    run("actn4bit");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "This action cannot be undone! Continue?");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(d->Document()->Image(i).BitCount, 32);
    EXPECT_TRUE(d->Saved());
    run("actn4bit");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d->Document()->Image(i).BitCount, 4) << i;
        EXPECT_TRUE(OnPalette(d->Document()->Image(i))) << i;
    }
    // Every frame keeps the one format an animation allows.
    EXPECT_TRUE(static_cast<TmyANI*>(d->Document())->CanAdd({8, 8}, 4));
    EXPECT_FALSE(d->CanUndo());
    EXPECT_FALSE(d->Saved());
}

// ---------------------------------------------------------------- undo and redo

struct UndoWay {
    const char* name;
    std::function<void(CommandTest&)> undo, redo;
};

struct ChangeCase {
    const char* name;
    int bits;
    std::function<void(CommandTest&, TfrmDesk*)> change;
};

class UndoTest : public CommandTest {
public:
    using CommandTest::ctrlKey;
    using CommandTest::run;
    void stroke(TfrmDesk* d) {
        main->Tools().SetTool(TToolId::Pencil);
        Options().ForeColor = TmyPixel{1, 2, 3, 255};
        auto send = [d](QEvent::Type t, int x, Qt::MouseButtons held) {
            const TCanvasGeometry g = d->CanvasGeometry();
            const QPointF at(x * g.zoom - g.hpos + g.zoom / 2, 2 * g.zoom - g.vpos + g.zoom / 2);
            QMouseEvent e(t, at, d->CanvasImage()->mapToGlobal(at), t == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          held, Qt::NoModifier);
            QApplication::sendEvent(d->CanvasImage(), &e);
        };
        send(QEvent::MouseButtonPress, 1, Qt::LeftButton);
        send(QEvent::MouseMove, 5, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, 5, Qt::NoButton);
    }
};

TEST_F(UndoTest, UndoAndRedoFromTheMenuTheKeysAndTheToolBarAfterEveryKindOfChange) {
    const UndoWay ways[] = {
        {"menu", [](CommandTest& t) { static_cast<UndoTest&>(t).run("actnUndo"); },
         [](CommandTest& t) { static_cast<UndoTest&>(t).run("actnRedo"); }},
        {"keys", [](CommandTest& t) { static_cast<UndoTest&>(t).ctrlKey(Qt::Key_Z); },
         [](CommandTest& t) { static_cast<UndoTest&>(t).ctrlKey(Qt::Key_Y); }},
        {"tool bar", [](CommandTest& t) { static_cast<UndoTest&>(t).run("actToolUndo"); },
         [](CommandTest& t) { static_cast<UndoTest&>(t).run("actToolRedo"); }},
    };
    const ChangeCase changes[] = {
        {"pencil stroke", 32, [](CommandTest& t, TfrmDesk* d) { static_cast<UndoTest&>(t).stroke(d); }},
        {"pencil stroke on 4 bits", 4, [](CommandTest& t, TfrmDesk* d) { static_cast<UndoTest&>(t).stroke(d); }},
        {"effect", 32, [](CommandTest& t, TfrmDesk*) { static_cast<UndoTest&>(t).run("actEmboss"); }},
        {"colour depth", 32, [](CommandTest& t, TfrmDesk*) { static_cast<UndoTest&>(t).run("actn4bit"); }},
        {"quarter turn", 24, [](CommandTest& t, TfrmDesk*) { static_cast<UndoTest&>(t).run("actnRotateRight"); }},
        {"shift", 8, [](CommandTest& t, TfrmDesk*) { static_cast<UndoTest&>(t).run("actnUp"); }},
    };
    Options().PaletteAction = 0;
    for (const ChangeCase& c : changes)
        for (const UndoWay& w : ways) {
            SCOPED_TRACE(std::string(c.name) + ", " + w.name);
            TfrmDesk* d = openIcon({Pattern({12, 10}, c.bits)}, QString("undo-%1-%2.ico").arg(c.bits).arg(w.name));
            ASSERT_NE(d, nullptr);
            d->Frame()->show();
            const TmyImagePal before = *d->CurrentImage();
            c.change(*this, d);
            const TmyImagePal after = *d->CurrentImage();
            ASSERT_FALSE(Same(after, before));
            main->UpdateActions();
            EXPECT_TRUE(act("actnUndo")->isEnabled());
            EXPECT_TRUE(act("actToolUndo")->isEnabled());
            w.undo(*this);
            EXPECT_TRUE(Same(*d->CurrentImage(), before));
            EXPECT_TRUE(act("actToolRedo")->isEnabled());
            w.redo(*this);
            EXPECT_TRUE(Same(*d->CurrentImage(), after));
            w.undo(*this);
            EXPECT_TRUE(Same(*d->CurrentImage(), before));
            d->SetSaved(true);
            d->Frame()->close();
        }
}

// The image list follows a restored image: an icon takes its order again, an
// animation's frames keep their playing order.
TEST_F(CommandTest, UndoSortsAnIconButNotTheFramesOfAnAnimation) {
    TfrmDesk* icon = openIcon({Pattern({16, 16}, 32), Pattern({16, 16}, 8, 1)});
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->CurrentImage()->BitCount, 32);
    run("actn4bit");  // [16x16x4, 16x16x8]: out of order until the list is sorted
    run("actnUndo");
    run("actnRedo");
    // The converted image moved behind the 8-bit one and stays current.
    EXPECT_EQ(icon->Document()->Image(0).BitCount, 8);
    EXPECT_EQ(icon->ItemIndex(), 1);
    EXPECT_EQ(icon->CurrentImage()->BitCount, 4);
    EXPECT_EQ(icon->ImagesCombo()->currentIndex(), 1);

    TmyANI doc;
    for (int i = 0; i < 3; ++i) doc.Image(doc.AddImage({8, 12}, 32)).Assign(Pattern({8, 12}, 32, i));
    TfrmDesk* ani = openDocument(doc, "frames.ani");
    ASSERT_NE(ani, nullptr);
    // A frame turned on its own (the setting off) leaves the frames of two sizes.
    ani->SetCurrentImage(2);
    run("actnRotateLeft");
    ani->SetCurrentImage(1);
    run("actnRotateLeft");
    run("actnUndo");
    EXPECT_EQ(ani->Document()->Image(1).Size(), (ImageSize{8, 12}));
    EXPECT_EQ(ani->Document()->Image(2).Size(), (ImageSize{12, 8}));
    EXPECT_TRUE(Same(ani->Document()->Image(0), Pattern({8, 12}, 32, 0)));
    EXPECT_EQ(ani->ItemIndex(), 1);
}

}  // namespace
