// The screen as a player shows each frame: offsets and clipping, transparent
// pixels, every disposal method (restore to previous across frames that keep),
// indices the map lacks, passes of a loop, random access, the background
// colour rules, and the same screens as the tests' own reference compositor.
#include "GifTestUtil.h"
#include "gif/GifCompose.h"

using namespace giftest;

namespace {

// Global map: 0 red, 1 green, 2 blue, 3 white; the screen is 4 x 3.
// Pixels print as r g b w, '.' for transparent and 'k' for opaque black.
char Letter(const TGIFPixel& p) {
    if (p.A == 0) return '.';
    if (p == TGIFPixel{255, 0, 0, 255}) return 'r';
    if (p == TGIFPixel{0, 255, 0, 255}) return 'g';
    if (p == TGIFPixel{0, 0, 255, 255}) return 'b';
    if (p == TGIFPixel{255, 255, 255, 255}) return 'w';
    if (p == TGIFPixel{0, 0, 0, 255}) return 'k';
    if (p == TGIFPixel{9, 9, 9, 255}) return 'z';
    return '?';
}

std::string Screen(const TGIFCanvas& c) {
    std::string s;
    for (int y = 0; y < c.Height; ++y) {
        if (y) s += '|';
        for (const TGIFPixel& p : c.Row(y)) s += Letter(p);
    }
    return s;
}

void Palette(TGIFImage& gif) {
    for (TColor c : {MakeColor(255, 0, 0), MakeColor(0, 255, 0), MakeColor(0, 0, 255), MakeColor(255, 255, 255)})
        gif.GlobalColorMap().Add(c);
}

// A frame of one index everywhere but `hole` pixels (index 7 when
// transparent is 7); disposal -1 means no graphic control extension.
TGIFSubImage& Frame(TGIFImage& gif, TRect r, std::uint8_t index, int disposal, int transparent = -1,
                    std::vector<int> holes = {}) {
    auto f = std::make_unique<TGIFSubImage>(gif);
    f->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    std::fill(f->Data(), f->Data() + f->DataSize(), index);
    for (int h : holes) f->Data()[h] = std::uint8_t(transparent);
    if (disposal >= 0) {
        auto& gce = f->Extensions().Add<TGIFGraphicControlExtension>();
        gce.SetDisposal(std::uint8_t(disposal));
        if (transparent >= 0) {
            gce.SetTransparent(true);
            gce.TransparentIndex = std::uint8_t(transparent);
        }
    }
    return gif.Images()[gif.Images().Add(std::move(f))];
}

std::vector<std::string> PlayAll(const TGIFImage& gif, const TGIFComposeOptions& o = {}) {
    TGIFComposer c(gif, o);
    std::vector<std::string> out;
    for (int i = 0; i < gif.Images().Count(); ++i) {
        c.Step(i);
        out.push_back(Screen(c.Canvas()));
    }
    return out;
}

TEST(GifCompose, DisposalMethods) {
    struct Case {
        const char* name;
        int disposal;  // of the middle frame
        std::vector<std::string> screens;
    };
    // Frame 0 fills the screen red (keeps); frame 1 puts green on the 2 x 2
    // top-left square; frame 2 puts blue on the bottom-right pixel.
    const Case cases[] = {
        {"none: kept", 0, {"rrrr|rrrr|rrrr", "ggrr|ggrr|rrrr", "ggrr|ggrr|rrrb"}},
        {"keep", 1, {"rrrr|rrrr|rrrr", "ggrr|ggrr|rrrr", "ggrr|ggrr|rrrb"}},
        {"to background: the area cleared", 2, {"rrrr|rrrr|rrrr", "ggrr|ggrr|rrrr", "..rr|..rr|rrrb"}},
        {"to previous: red again", 3, {"rrrr|rrrr|rrrr", "ggrr|ggrr|rrrr", "rrrr|rrrr|rrrb"}},
        {"reserved values keep", 5, {"rrrr|rrrr|rrrr", "ggrr|ggrr|rrrr", "ggrr|ggrr|rrrb"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TGIFImage gif;
        Palette(gif);
        Frame(gif, {0, 0, 4, 3}, 0, 1);
        Frame(gif, {0, 0, 2, 2}, 1, c.disposal);
        Frame(gif, {3, 2, 4, 3}, 2, 1);
        EXPECT_EQ(PlayAll(gif), c.screens);
    }
}

TEST(GifCompose, RestoreToPreviousAcrossFrames) {
    TGIFImage gif;
    Palette(gif);
    Frame(gif, {0, 0, 4, 3}, 0, 2);                 // red, then cleared
    Frame(gif, {1, 0, 4, 1}, 1, 3);                // green on the cleared screen, then undone
    Frame(gif, {0, 1, 4, 3}, 3, 3, 7, {0, 1, 2});  // white with three holes, then undone
    Frame(gif, {3, 0, 4, 1}, 2, -1);               // blue, no extension: keeps
    EXPECT_EQ(PlayAll(gif), (std::vector<std::string>{"rrrr|rrrr|rrrr", ".ggg|....|....", "....|...w|wwww",
                                                      "...b|....|...."}));
}

TEST(GifCompose, PlacingAndColours) {
    struct Case {
        const char* name;
        std::function<void(TGIFImage&)> build;
        std::string screen;  // after the last frame
    };
    const Case cases[] = {
        {"frames beyond the screen are cut", [](TGIFImage& g) { Frame(g, {2, 1, 6, 9}, 2, -1); }, "....|..bb|..bb"},
        {"a frame wholly outside draws nothing", [](TGIFImage& g) { Frame(g, {5, 0, 6, 1}, 2, -1); }, "....|....|...."},
        {"transparent pixels leave what is below",
         [](TGIFImage& g) {
             Frame(g, {0, 0, 4, 3}, 0, 1);
             Frame(g, {0, 0, 4, 1}, 1, 1, 7, {1, 3});
         },
         "grgr|rrrr|rrrr"},
        {"the transparent index may lie beyond the map",
         [](TGIFImage& g) { Frame(g, {0, 0, 2, 1}, 3, 1, 200, {0}); }, ".w..|....|...."},
        {"an index the map lacks is opaque black", [](TGIFImage& g) { Frame(g, {0, 0, 1, 1}, 9, -1); },
         "k...|....|...."},
        {"a local map comes before the global one",
         [](TGIFImage& g) { Frame(g, {1, 1, 3, 3}, 0, -1).ColorMap().Add(MakeColor(9, 9, 9)); }, "....|.zz.|.zz."},
        {"a frame of extensions only draws nothing",
         [](TGIFImage& g) {
             Frame(g, {0, 0, 1, 1}, 1, 1);
             auto f = std::make_unique<TGIFSubImage>(g);
             f->Extensions().Add<TGIFCommentExtension>();
             g.Images().Add(std::move(f));
         },
         "g...|....|...."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TGIFImage gif;
        Palette(gif);
        c.build(gif);
        gif.Header().Width = 4, gif.Header().Height = 3;  // frames grew it; files may hold larger ones
        EXPECT_EQ(Screen(ComposeGIFFrame(gif, gif.Images().Count() - 1)), c.screen);
    }
    TGIFImage none;
    Frame(none, {0, 0, 2, 1}, 0, -1);
    EXPECT_EQ(Screen(ComposeGIFFrame(none, 0)), "kk") << "no colour map at all: every index is black";
}

TEST(GifCompose, BackgroundAndOpaqueFrames) {
    TGIFImage gif;
    Palette(gif);
    Frame(gif, {0, 0, 4, 3}, 0, 2, 7, {0});
    Frame(gif, {1, 1, 2, 2}, 3, 1);
    TGIFComposeOptions blue;
    blue.Background = {0, 0, 255, 255};
    EXPECT_EQ(PlayAll(gif, blue), (std::vector<std::string>{"brrr|rrrr|rrrr", "bbbb|bwbb|bbbb"}));
    TGIFComposeOptions opaque;
    opaque.Transparent = false;
    EXPECT_EQ(PlayAll(gif, opaque)[0], "krrr|rrrr|rrrr") << "index 7 shows the colour the map lacks";
}

// A loop's later pass starts on the screen the last frame left, after its
// disposal; Compose gives any frame as played from the start, whatever was
// stepped before.
TEST(GifCompose, PassesAndRandomAccess) {
    TGIFImage gif;
    Palette(gif);
    Frame(gif, {0, 0, 4, 1}, 0, 1);
    Frame(gif, {0, 1, 4, 2}, 1, 1);
    Frame(gif, {0, 2, 4, 3}, 2, 2);
    TGIFComposer c(gif);
    for (int i = 0; i < 3; ++i) c.Step(i);
    c.Step(1);
    EXPECT_EQ(Screen(c.Canvas()), "rrrr|gggg|....") << "second pass from frame 1";
    EXPECT_EQ(c.Last(), 1);
    EXPECT_EQ(Screen(c.Compose(1)), "rrrr|gggg|....");
    EXPECT_EQ(Screen(c.Compose(0)), "rrrr|....|....") << "backwards starts again";
    EXPECT_EQ(Screen(c.Compose(2)), "rrrr|gggg|bbbb") << "forwards continues";
    c.Reset();
    EXPECT_EQ(c.Last(), -1);
    EXPECT_EQ(Screen(c.Canvas()), "....|....|....");
}

// The composer agrees with the tests' reference compositor on an animation
// with maps of every size, interlacing, transparency and every disposal.
TEST(GifCompose, SameAsReference) {
    TGIFImage gif;
    BuildFeatureGif(gif);
    const std::vector<Bytes> expected = Compose(FromOurs(gif));
    TGIFComposer c(gif);
    for (int i = 0, shot = 0; i < gif.Images().Count(); ++i) {
        c.Step(i);
        if (gif.Images()[i].Empty()) continue;
        const auto& px = c.Canvas().Pixels;
        const Bytes got(reinterpret_cast<const std::uint8_t*>(px.data()),
                        reinterpret_cast<const std::uint8_t*>(px.data() + px.size()));
        EXPECT_EQ(Hash(got), Hash(expected[std::size_t(shot++)])) << "frame " << i;
    }
}

TEST(GifCompose, BackgroundColourRules) {
    TGIFImage gif;
    const TColor window = MakeColor(1, 2, 3);
    EXPECT_EQ(GIFBackgroundPixel(gif, window), (TGIFPixel{1, 2, 3, 255})) << "no global map: the window colour";
    Palette(gif);
    gif.Header().BackgroundColorIndex = 2;
    EXPECT_EQ(GIFBackgroundPixel(gif, window), (TGIFPixel{0, 0, 255, 255})) << "the header's";
    gif.Header().BackgroundColorIndex = 40;
    EXPECT_EQ(GIFBackgroundPixel(gif, window), (TGIFPixel{0, 0, 0, 255})) << "beyond the map: black";
    gif.PaintBackgroundColor = MakeColor(7, 8, 9);
    EXPECT_EQ(GIFBackgroundPixel(gif, window), (TGIFPixel{7, 8, 9, 255})) << "the paint colour first";
}

// A screen without width or height has no pixel: frames of every disposal
// step over it and leave it empty.
TEST(GifCompose, ScreenWithoutPixels) {
    for (const auto& [w, h] : {std::pair{0, 3}, std::pair{4, 0}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        TGIFImage gif;
        Palette(gif);
        Frame(gif, {0, 0, 2, 2}, 1, 2);
        Frame(gif, {0, 0, 2, 2}, 2, 3);
        Frame(gif, {1, 1, 2, 2}, 0, 1);
        gif.Header().Width = w, gif.Header().Height = h;
        TGIFComposer c(gif);
        for (int pass = 0; pass < 2; ++pass)
            for (int i = 0; i < gif.Images().Count(); ++i) c.Step(i);
        EXPECT_TRUE(c.Canvas().Pixels.empty());
    }
}

TEST(GifCompose, ScreenBeyondTheLimitIsRefused) {
    TGIFImage gif;
    gif.Header().Width = 5000, gif.Header().Height = 5000;
    gif.Limits.pixels = 1000;
    EXPECT_THROW(TGIFComposer c(gif), GIFException);
}

}  // namespace
