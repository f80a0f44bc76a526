// PNG images in the windowing layer: conversions to and from QImage, icons of
// an image list (normal, disabled, 2x), the list operations, the tool button
// with a PNG glyph, the picture registry and the clipboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPainter>
#include <QPixmap>

#include "imagingqt/PictureRegistry.h"
#include "imagingqt/PngImageList.h"
#include "imagingqt/PngQt.h"
#include "imagingqt/PngSpeedButton.h"
#include "png/PngDraw.h"
#include "GuiTestApp.h"

namespace velto {
namespace {

// A w x h RGBA image of one colour and alpha, with pixel (0, 0) fully transparent.
std::unique_ptr<TPNGObject> Png(TColor c, std::uint8_t alpha, int w = 4, int h = 4) {
    auto png = std::make_unique<TPNGObject>();
    png->CreateBlank(COLOR_RGBALPHA, 8, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            png->SetPixels(x, y, c);
            png->AlphaScanline(y)[x] = x == 0 && y == 0 ? 0 : alpha;
        }
    return png;
}

TBitmap Filled(int w, int h, TColor c) {
    TBitmap b;
    b.Allocate(w, h, pf24bit);
    b.Canvas().Brush.Color = c;
    b.Canvas().FillRect({0, 0, w, h});
    return b;
}

QRgb Rgb(TColor c) { return qRgb(ColorR(c), ColorG(c), ColorB(c)); }

}  // namespace

TEST(PngQt, IconImageBlendsOntoTheBackgroundAndCutsOutTransparentPixels) {
    velto::test::EnsureGuiApp();
    auto png = Png(MakeColor(200, 0, 0), 128);
    const QImage icon = PngToIconImage(*png, MakeColor(0, 0, 100));
    EXPECT_EQ(icon.pixel(1, 1), qRgba(BlendChannel(200, 128, 0), 0, BlendChannel(0, 128, 100), 255));
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    const QImage straight = PngToIconImage(*png, clNone);
    EXPECT_EQ(straight.pixel(1, 1), qRgba(200, 0, 0, 128));
    // One transparent colour cuts out its pixels.
    TPNGObject keyed;
    keyed.CreateBlank(COLOR_RGB, 8, 2, 1);
    keyed.SetPixels(1, 0, MakeColor(5, 5, 5));
    keyed.Chunks().Add<TChunktRNS>()->SetTransparentColor(MakeColor(5, 5, 5));
    const QImage k = PngToIconImage(keyed, clWhite);
    EXPECT_EQ(qAlpha(k.pixel(1, 0)), 0);
    EXPECT_EQ(k.pixel(0, 0), qRgb(0, 0, 0));
    // Bitmaps and QImages round trip, alpha in the fourth byte.
    QImage q(3, 2, QImage::Format_ARGB32);
    q.fill(qRgba(1, 2, 3, 4));
    EXPECT_EQ(BitmapToImage(ImageToBitmap(q), true).pixel(2, 1), qRgba(1, 2, 3, 4));
    EXPECT_EQ(BitmapToImage(ImageToBitmap(q), false).pixel(2, 1), qRgba(1, 2, 3, 255));
}

TEST(PngImageList, AddDeleteNamesAndSizes) {
    velto::test::EnsureGuiApp();
    TPngImageList list(4, 4);
    int changes = 0;
    list.OnChange = [&] { ++changes; };
    EXPECT_EQ(list.Add(nullptr, nullptr), -1);
    EXPECT_EQ(list.AddMasked(nullptr, clWhite), -1);
    EXPECT_EQ(list.AddIcon(nullptr), -1);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(changes, 0);
    const TBitmap red = Filled(4, 4, MakeColor(255, 0, 0));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(list.Add(&red, nullptr), i);
    EXPECT_EQ(list.AddMasked(&red, MakeColor(255, 0, 0)), 3);
    EXPECT_EQ(list.Item(3).Name, "PngImage3");
    EXPECT_EQ(list.Item(3).Background(), clBtnFace);
    EXPECT_EQ(qAlpha(list.DisplayImage(3).pixel(1, 1)), 0) << "the mask colour is transparent";
    EXPECT_GT(changes, 0);
    list.Delete(list.Count());
    list.Delete(-1);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.DisplayCount(), 4);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.DisplayCount(), 3);
    list.SetWidth(4);
    EXPECT_EQ(list.Count(), 3) << "the same size keeps the images";
    list.SetWidth(8);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.DisplayCount(), 0);
}

TEST(PngImageList, InsertMoveReplaceKeepTheDisplayListInStep) {
    velto::test::EnsureGuiApp();
    TPngImageList list(2, 2);
    const TBitmap a = Filled(2, 2, MakeColor(10, 0, 0)), b = Filled(2, 2, MakeColor(20, 0, 0)),
                  c = Filled(2, 2, MakeColor(30, 0, 0));
    list.Add(&a, nullptr);
    list.Add(&b, nullptr);
    list.Insert(1, &c, nullptr);
    auto reds = [&] {
        std::vector<int> v;
        for (int i = 0; i < list.DisplayCount(); ++i) v.push_back(qRed(list.DisplayImage(i).pixel(0, 0)));
        for (int i = 0; i < list.Count(); ++i)
            EXPECT_EQ(ColorR(list.Item(i).PngImage().GetPixels(0, 0)), v.at(static_cast<std::size_t>(i)));
        return v;
    };
    EXPECT_EQ(reds(), (std::vector<int>{10, 30, 20}));
    list.Move(0, 2);
    EXPECT_EQ(reds(), (std::vector<int>{30, 20, 10}));
    list.Replace(1, &a, nullptr);
    EXPECT_EQ(reds(), (std::vector<int>{30, 10, 10}));
    const TBitmap mask = Filled(2, 2, MakeColor(0, 0, 0));
    list.ReplaceMasked(0, &b, MakeColor(20, 0, 0));
    EXPECT_EQ(qAlpha(list.DisplayImage(0).pixel(0, 0)), 0);
    list.InsertMasked(0, &c, clWhite);
    EXPECT_EQ(list.Count(), 4);
    QPixmap pm(2, 2);
    pm.fill(QColor(0, 90, 0));
    const QIcon icon(pm);
    list.InsertIcon(4, &icon);
    EXPECT_EQ(list.Item(4).PngImage().GetPixels(1, 1), MakeColor(0, 90, 0));
    list.ReplaceIcon(4, &icon);
    EXPECT_EQ(list.DisplayCount(), 5);
    TPngImageList other(2, 2);
    other.AddImages(&list);
    EXPECT_EQ(other.Count(), 5);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.DisplayCount(), 0);
}

TEST(PngImageList, DisabledLooksOfTheDisplayListIconsAndDoDraw) {
    velto::test::EnsureGuiApp();
    TPngImageList list(4, 4);
    list.AddPng(*Png(MakeColor(255, 0, 0), 255), "red");
    list.Item(0).SetBackground(clWhite);
    EXPECT_EQ(list.DisplayImage(0).pixel(2, 2), qRgb(255, 0, 0));
    // Disabled images in the list: grey on no background colour.
    list.SetPngOptions(pngGrayscaleOnDisabled);
    list.SetEnabledImages(false);
    EXPECT_EQ(list.DisplayImage(0).pixel(2, 2), qRgba(76, 76, 76, 255));
    EXPECT_EQ(qAlpha(list.DisplayImage(0).pixel(0, 0)), 0);
    list.SetEnabledImages(true);
    list.SetPngOptions(pngBlendOnDisabled);
    // The icon: normal as the list shows it, disabled half transparent.
    const QIcon icon = list.Icon(0);
    const QImage disabled = icon.pixmap(QSize(4, 4), QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(disabled.pixel(2, 2)), 128);
    EXPECT_EQ(qRed(disabled.pixel(2, 2)), 255);
    EXPECT_TRUE(list.Icon(7).isNull());
    // DoDraw: options only when disabled; with no options the image unchanged.
    auto drawn = [&](bool enabled) {
        TBitmap b = Filled(4, 4, MakeColor(0, 0, 255));
        list.DoDraw(0, b.Canvas(), 0, 0, enabled);
        return b.Canvas().Pixels(2, 2);
    };
    EXPECT_EQ(drawn(true), MakeColor(255, 0, 0));
    EXPECT_EQ(drawn(false), MakeColor(BlendChannel(255, 128, 0), 0, BlendChannel(0, 128, 255)));
    list.SetPngOptions(0);
    EXPECT_EQ(drawn(false), MakeColor(255, 0, 0));
    // A copy of the list takes its items and settings.
    TPngImageList copy(16, 16);
    list.AssignTo(copy);
    EXPECT_EQ(copy.Count(), 1);
    EXPECT_EQ(copy.Width(), 4);
    EXPECT_EQ(copy.Item(0).Name, "red");
    EXPECT_EQ(copy.DisplayCount(), 1);
}

TEST(PngImageList, ProgramPicturesLoadAtBothScales) {
    velto::test::EnsureGuiApp();
    for (const char* name : {"actToolNew", "toolSelection", "cmdUp"}) {
        auto one = ArtPng(name, false);
        auto two = ArtPng(name, true);
        ASSERT_TRUE(one && two) << name;
        EXPECT_EQ(two->Width(), 2 * one->Width()) << name;
        EXPECT_EQ(one->GetHeader().ColorType, COLOR_RGBALPHA) << name;
    }
    EXPECT_EQ(ArtPng("noSuchPicture", false), nullptr);
}

TEST(PngSpeedButton, GlyphLooksEnabledAndDisabled) {
    velto::test::EnsureGuiApp();
    TPngSpeedButton button;
    button.resize(26, 25);
    button.setEnabled(true);
    auto png = Png(MakeColor(255, 0, 0), 255, 16, 16);
    button.SetPngImage(png.get());
    EXPECT_EQ(button.iconSize(), QSize(16, 16));
    EXPECT_EQ(button.CurrentLayout().GlyphPos, (TLayoutPoint{5, 5}));
    const QColor window = button.palette().color(QPalette::Window);
    const TColor bg = MakeColor(static_cast<std::uint8_t>(window.red()), static_cast<std::uint8_t>(window.green()),
                                static_cast<std::uint8_t>(window.blue()));
    auto at = [&](int x, int y) { return button.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(x, y); };
    EXPECT_EQ(at(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(at(5, 5), Rgb(bg)) << "the glyph's transparent pixel shows the button";
    button.setEnabled(false);
    EXPECT_EQ(at(10, 10), qRgb(BlendChannel(255, 128, ColorR(bg)), BlendChannel(0, 128, ColorG(bg)),
                               BlendChannel(0, 128, ColorB(bg))));
    button.SetPngOptions(0);
    EXPECT_EQ(at(10, 10), qRgb(255, 0, 0));
    button.SetPngImage(nullptr);
    EXPECT_TRUE(button.PngImage().Empty());
    EXPECT_EQ(button.iconSize(), QSize(0, 0));
}

TEST(PngSpeedButton, ImageFromAnActionsImageList) {
    velto::test::EnsureGuiApp();
    TPngImageList list(4, 4);
    list.AddPng(*Png(MakeColor(1, 2, 3), 255), "a");
    list.AddPng(*Png(MakeColor(4, 5, 6), 255), "b");
    TPngSpeedButton button;
    button.ActionChange(&list, 2);
    EXPECT_TRUE(button.PngImage().Empty()) << "an index beyond the list leaves the glyph";
    button.ActionChange(&list, 1);
    EXPECT_EQ(button.PngImage().GetPixels(1, 1), MakeColor(4, 5, 6));
    EXPECT_TRUE(button.ImageFromAction());
    button.ActionChange(&list, 0);
    EXPECT_EQ(button.PngImage().GetPixels(1, 1), MakeColor(1, 2, 3));
    // A glyph of its own is not replaced by the action's.
    button.SetPngImage(Png(MakeColor(9, 9, 9), 255).get());
    button.ActionChange(&list, 1);
    EXPECT_EQ(button.PngImage().GetPixels(1, 1), MakeColor(9, 9, 9));
}

TEST(PngQt, RegistryAndClipboard) {
    velto::test::EnsureGuiApp();
    RegisterPngGraphic();
    const TPictureFileFormat* f = PictureRegistry().Find("PNG");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Description, "Portable Network Graphics");
    EXPECT_EQ(f->ClassName, "TPNGObject");
    EXPECT_NE(dynamic_cast<TPngGraphic*>(PictureRegistry().Create("png").get()), nullptr);
    UnregisterPngGraphic();
    EXPECT_TRUE(PictureRegistry().Find("png") == nullptr || PictureRegistry().Find("png")->ClassName != "TPNGObject");

    // Copy and paste back: an image without alpha.
    auto png = Png(MakeColor(200, 100, 50), 255, 3, 2);
    SavePngToClipboard(*png);
    TPNGObject back;
    ASSERT_TRUE(LoadPngFromClipboard(back));
    EXPECT_TRUE(back.GetHeader().ColorType == COLOR_RGB || back.GetHeader().ColorType == COLOR_PALETTE);
    EXPECT_EQ(back.Width(), 3);
    EXPECT_EQ(back.GetPixels(2, 1), MakeColor(200, 100, 50));
    EXPECT_EQ(back.GetPixels(0, 0), clBlack) << "the transparent pixel was drawn onto a fresh black bitmap";
}

}  // namespace velto
