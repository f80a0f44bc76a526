// The live preview of each adjustment dialog on a 256 x 256 image of a real
// document window: one change of a control from code runs the dialog's
// handler (copy of the target, the routine on the copy, rendering into the
// preview frame and its repaint). Two values alternate, so that every step
// computes anew.
#include <benchmark/benchmark.h>

#ifdef VELTO_HAVE_DIALOGS

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "dialogs/Dialogs.h"
#include "dialogs/FormAdjust.h"
#include "dialogs/FormFadeout.h"
#include "dialogs/FormFilter.h"
#include "dialogs/FormRotate.h"
#include "dialogs/FormShadow.h"
#include "dialogs/ImageView.h"
#include "dialogs/PreviewFrame.h"
#include "dialogs/Scroll2D.h"
#include "dialogs/SliderComposite.h"
#include "model/IcoIO.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"

namespace {

using namespace velto;

// The program with one icon of a 256 x 256 picture open.
struct Program {
    Program() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "bench_dialogs_adjust";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        CreateOptions(1600, dir.filePath("config.cfg").toStdString());
        Options().ShowTips = false;
        RegisterDialogs();
        main = std::make_unique<TfrmMain>();
        main->CreateForms();
        main->resize(1200, 900);
        main->show();
        main->FirstActivation({});
        TmyIcon doc;
        TmyImagePal& img = doc.Image(doc.AddImage({256, 256}, 32));
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                img.At(x, y) = TmyPixel::CreateRGBA(std::uint8_t(x), std::uint8_t(y), std::uint8_t(x ^ y),
                                                    std::uint8_t(x < 32 || y < 32 ? 0 : 64 + (x + y) / 4));
        const QString path = dir.filePath("photo.ico");
        TmyIcoIO(false).SaveToFile(doc, path.toStdString(), false);
        main->OpenFile(path);
    }
    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> main;
};

Program& TheProgram() {
    static Program p;
    return p;
}

// Shows the dialog (which takes the active image as its target), then runs
// change(i) per step with the repaint of the preview.
template <class Form>
void Preview(benchmark::State& state, const char* name, const std::function<void(Form&, int)>& change) {
    Program& p = TheProgram();
    auto* form = qobject_cast<Form*>(p.main->Forms().Form(QString::fromLatin1(name)));
    if (form) form->show();
    if (!form || !form->TargetImage()) {
        state.SkipWithError("no dialog or no target");
        return;
    }
    QApplication::processEvents();
    int i = 0;
    for (auto _ : state) {
        change(*form, i++);
        form->Preview()->Image1()->repaint();
    }
    form->hide();
}

void Slider(TSliderAdjustDialog& d, int bar, int a, int b, int i) { d.TrackBar(bar)->SetPosition(i % 2 ? a : b); }

void AdjustPreview_Brightness(benchmark::State& s) {
    Preview<TfrmBrightness>(s, "frmBrightness", [](TfrmBrightness& d, int i) { Slider(d, 1, 30, 40, i); });
}
void AdjustPreview_Hue(benchmark::State& s) {
    Preview<TfrmHue>(s, "frmHue", [](TfrmHue& d, int i) { Slider(d, 1, 60, 90, i); });
}
void AdjustPreview_ColorBalance(benchmark::State& s) {
    Preview<TfrmColorBalance>(s, "frmColorBalance", [](TfrmColorBalance& d, int i) { Slider(d, 1, 30, 40, i); });
}
void AdjustPreview_Opacity(benchmark::State& s) {
    Preview<TfrmOpacity>(s, "frmOpacity", [](TfrmOpacity& d, int i) { Slider(d, 1, -30, -40, i); });
}
void AdjustPreview_Fadeout(benchmark::State& s) {
    Preview<TfrmFadeout>(s, "frmFadeout", [](TfrmFadeout& d, int i) { d.EndBar()->SetPosition(i % 2 ? 10 : 20); });
}
// The shadow's size (and so its blur passes) as the argument; the offset moves.
void AdjustPreview_Shadow(benchmark::State& s) {
    const int size = static_cast<int>(s.range(0));
    Preview<TfrmShadow>(s, "frmShadow", [size](TfrmShadow& d, int i) {
        d.SizeBar()->SetPosition(size);
        d.Position()->SetPositionX(i % 2 ? 3 : 4);
    });
}
void AdjustPreview_Rotate(benchmark::State& s) {
    Preview<TfrmRotate>(s, "frmRotate", [](TfrmRotate& d, int i) { d.AngleEdit()->setText(i % 2 ? "30" : "31"); });
}
// Test of the Custom Filter with "Blur More" (5 x 5).
void AdjustPreview_CustomFilter(benchmark::State& s) {
    Preview<TfrmFilter>(s, "frmFilter", [](TfrmFilter& d, int) {
        d.SampleChange(7);
        d.TestButton()->click();
    });
}

BENCHMARK(AdjustPreview_Brightness)->Unit(benchmark::kMillisecond);
BENCHMARK(AdjustPreview_Hue)->Unit(benchmark::kMillisecond);
BENCHMARK(AdjustPreview_ColorBalance)->Unit(benchmark::kMillisecond);
BENCHMARK(AdjustPreview_Opacity)->Unit(benchmark::kMillisecond);
BENCHMARK(AdjustPreview_Fadeout)->Unit(benchmark::kMillisecond);
BENCHMARK(AdjustPreview_Shadow)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(AdjustPreview_Rotate)->Unit(benchmark::kMillisecond);
BENCHMARK(AdjustPreview_CustomFilter)->Unit(benchmark::kMillisecond);

}  // namespace

#endif  // VELTO_HAVE_DIALOGS
