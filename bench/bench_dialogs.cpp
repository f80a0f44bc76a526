// A live slider preview on a 256 x 256 image, as an adjustment dialog runs
// it on every slider change: copy the target image, run the routine on the
// copy, render it into the preview frame. Each step alone, then the whole
// step driven through a track bar's change event, with the engine's
// brightness/contrast and hue/saturation routines as the previews run them
// (no palette step). Also one painted pixel on the preview pane and a
// colour-panel slider change.
#include <benchmark/benchmark.h>

#ifdef VELTO_HAVE_DIALOGS

#include <QApplication>
#include <QTemporaryDir>

#include <memory>

#include "dialogs/FormColors.h"
#include "dialogs/FormPreview.h"
#include "dialogs/ImageView.h"
#include "dialogs/PreviewFrame.h"
#include "dialogs/SliderComposite.h"
#include "engine/Adjust.h"
#include "shell/Options.h"

namespace {

using namespace velto;

struct Gui {
    Gui() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "bench_dialogs";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
        CreateOptions(1600, dir.filePath("config.cfg").toStdString());
    }
    QTemporaryDir dir;
};

Gui& TheGui() {
    static Gui gui;
    return gui;
}

TmyImagePal TestImage(int bits) {
    TmyImagePal img(ImageSize{256, 256}, bits);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            img.At(x, y) = TmyPixel::CreateRGBA(std::uint8_t(x), std::uint8_t(y), std::uint8_t(x ^ y),
                                                bits == 32 ? std::uint8_t((x + y) / 2) : 255);
    return img;
}

void Routine(TmyImagePal& img, int amount) { BrightnessContrast(img, {amount, amount / 2}, nullptr); }

void HueRoutine(TmyImagePal& img, int amount) { HueSaturationLightness(img, {amount, amount / 2, 0}, nullptr); }

void SliderPreview_Copy(benchmark::State& state) {
    TheGui();
    const TmyImagePal target = TestImage(32);
    TmyImagePal preview(ImageSize{1, 1}, 32);
    for (auto _ : state) {
        preview.Assign(target);
        benchmark::DoNotOptimize(preview.Pixels().data());
    }
}
BENCHMARK(SliderPreview_Copy)->Unit(benchmark::kMillisecond);

void SliderPreview_Routine(benchmark::State& state) {
    TheGui();
    TmyImagePal img = TestImage(32);
    int amount = 0;
    for (auto _ : state) {
        Routine(img, (amount++ % 21) - 10);
        benchmark::DoNotOptimize(img.Pixels().data());
    }
}
BENCHMARK(SliderPreview_Routine)->Unit(benchmark::kMillisecond);

void SliderPreview_Render(benchmark::State& state) {
    TheGui();
    const TmyImagePal img = TestImage(32);
    Tpreview frame;
    frame.resize(254, 227);
    frame.show();
    QApplication::processEvents();
    for (auto _ : state) {
        frame.ShowImage(img, MakeColor(255, 255, 255));
        frame.Image1()->repaint();  // the paint on the screen, at once
    }
}
BENCHMARK(SliderPreview_Render)->Unit(benchmark::kMillisecond);

// The whole step: a slider change from code runs the dialog's change handler.
template <void (*routine)(TmyImagePal&, int)>
void SliderPreview_Step(benchmark::State& state) {
    TheGui();
    const TmyImagePal target = TestImage(static_cast<int>(state.range(0)));
    TmyImagePal preview(ImageSize{1, 1}, 32);
    Tpreview frame;
    frame.resize(254, 227);
    frame.show();
    QApplication::processEvents();
    TAdvancedTrackBar slider;
    slider.SetMin(-100);
    slider.SetMax(100);
    QObject::connect(&slider, &TSliderComposite::changed, [&] {
        preview.Assign(target);
        routine(preview, slider.Position());
        frame.ShowImage(preview, Options().PrevColor);
        frame.Image1()->repaint();
    });
    int v = 0;
    for (auto _ : state) slider.SetPosition((v++ % 201) - 100);
}
BENCHMARK(SliderPreview_Step<Routine>)->Name("SliderPreview_Step/Brightness")->Arg(32)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(SliderPreview_Step<HueRoutine>)->Name("SliderPreview_Step/Hue")->Arg(32)->Arg(8)->Unit(benchmark::kMillisecond);

// One painted pixel on the preview pane (called for every pixel of a stroke).
void PreviewPane_PlotPixel(benchmark::State& state) {
    TheGui();
    TfrmPreview pane(QString{});
    const TmyImagePal img = TestImage(32);
    pane.RefreshPreview(&img);
    int i = 0;
    for (auto _ : state) {
        pane.PlotPixel(i & 255, (i >> 8) & 255, true, TmyPixel::CreateRGBA(1, 2, 3, 128));
        ++i;
    }
}
BENCHMARK(PreviewPane_PlotPixel);

// A colour-panel slider step: primary colour, swatch, favourite cell, HSB sliders.
void ColorPanel_RedSlider(benchmark::State& state) {
    TheGui();
    TfrmColors panel(QString{});
    panel.ForeColor() = TmyPixel::CreateRGBA(0, 0, 0, 128);
    int v = 0;
    for (auto _ : state) panel.Red()->SetPosition(v++ & 255);
}
BENCHMARK(ColorPanel_RedSlider);

}  // namespace

#endif  // VELTO_HAVE_DIALOGS
