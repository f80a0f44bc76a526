#pragma once
// A scripted world for the tool tests: a host that records what the tools ask
// of the program, and strokes driven event by event the way the canvas input
// drives them (a stroke start image taken at the press, freed at the end).
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "EngineTestUtil.h"
#include "engine/ToolDispatch.h"

namespace velto::test {

struct TRecordingHost : TToolHost {
    std::vector<TToolId> pressed;
    int questions = 0;
    TPaletteChoice answer = TPaletteChoice::Change;
    std::vector<std::pair<TMouseButton, int>> picked;
    std::vector<int> zooms;
    int replaced = 0, resized = 0, commits = 0;
    std::vector<std::pair<TPoint, TPoint>> lifts;
    std::optional<TmyImagePal> floated;
    TPoint floatedAt;
    bool canAdd = true;
    std::vector<ImageSize> canAddAsked;
    std::optional<TTextStamp> text;
    std::vector<TTagColor> textAsked;
    std::vector<THotspotRequest> hotspots;
    int statuses = 0;
    TPoint lastStatus;

    void PressToolButton(TToolId id) override { pressed.push_back(id); }
    TPaletteChoice AskPaletteChoice() override {
        ++questions;
        return answer;
    }
    void ColorPicked(TMouseButton b, int index) override { picked.push_back({b, index}); }
    void ZoomTo(int z) override { zooms.push_back(z); }
    void ImageReplaced(bool r) override {
        ++replaced;
        resized += r;
    }
    void CommitSelection() override { ++commits; }
    void LiftSelection(TPoint a, TPoint b) override { lifts.push_back({a, b}); }
    void FloatSelection(TmyImagePal&& p, TPoint at) override {
        floated.emplace(std::move(p));
        floatedAt = at;
    }
    bool CanAdd(ImageSize size, int) override {
        canAddAsked.push_back(size);
        return canAdd;
    }
    std::optional<TTextStamp> AskText(TTagColor c) override {
        textAsked.push_back(c);
        return text;
    }
    void EditHotspot(const THotspotRequest& r) override { hotspots.push_back(r); }
    void ShowToolStatus(TPoint, TToolId, TMouseButton, TPoint at) override {
        ++statuses;
        lastStatus = at;
    }
};

// One image with its tool state, colours and host; strokes in image pixels
// at zoom 1 unless a zoom is set (then positions are canvas pixels).
struct TToolBench {
    TmyImagePal image;
    TToolState state;
    TStrokeColors colors{Px(255, 0, 0), Px(0, 0, 255)};
    TRecordingHost host;
    TToolSettings settings;
    int zoom = 1;
    std::mt19937 rng{7};
    TRandomSource random;  // the spray's numbers; a seeded generator when unset
    std::unique_ptr<TmyImagePal> start;  // the stroke's start image while a stroke runs
    TToolResult last;

    explicit TToolBench(TmyImagePal img, TToolId tool = TToolId::Pencil) : image(std::move(img)) {
        state.SetTool(tool);
    }

    TToolResult Send(int x, int y, TPhase phase, TMouseButton button = TMouseButton::Left, bool shift = false) {
        if (phase == TPhase::Press) start = std::make_unique<TmyImagePal>(image);
        TToolContext ctx(image, start.get(), zoom, colors, host);
        ctx.Settings = settings;
        ctx.Random = random ? random : [this](int k) { return std::uniform_int_distribution<int>(0, k - 1)(rng); };
        last = ApplyToolAt(state, ctx, {x * zoom, y * zoom, button, shift, phase});
        if (phase == TPhase::Release || phase == TPhase::Cancel) start.reset();
        return last;
    }
    // Press at the first point, a move to each following one, release at the last.
    void Drag(std::initializer_list<TPoint> points, TMouseButton button = TMouseButton::Left, bool shift = false,
              TPhase end = TPhase::Release) {
        const TPoint* p = points.begin();
        Send(p->X, p->Y, TPhase::Press, button, shift);
        for (++p; p != points.end(); ++p) Send(p->X, p->Y, TPhase::Move, button, shift);
        const TPoint lastPoint = *(points.end() - 1);
        Send(lastPoint.X, lastPoint.Y, end, button, shift);
    }
    void Click(int x, int y, TMouseButton button = TMouseButton::Left, bool shift = false) {
        Drag({{x, y}}, button, shift);
    }
};

// Pixels that differ from a uniform background, as points in row order.
inline std::vector<TPoint> Painted(const TmyImage& img, const TmyPixel& background) {
    std::vector<TPoint> out;
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x)
            if (img.At(x, y) != background) out.push_back({x, y});
    return out;
}

// Every pixel transparent black or an opaque entry of the image's palette.
inline ::testing::AssertionResult OnPalette(const TmyImagePal& img) {
    if (!img.Palette) return ::testing::AssertionSuccess();
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            const TmyPixel& p = img.At(x, y);
            if (p == TmyPixel::Create()) continue;
            if (p.A != 255 || img.Palette->IndexOf(p) < 0)
                return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") = " << p << " is off the palette";
        }
    return ::testing::AssertionSuccess();
}

}  // namespace velto::test

namespace velto {
inline std::ostream& operator<<(std::ostream& os, const TPoint& p) { return os << "(" << p.X << "," << p.Y << ")"; }
}  // namespace velto
