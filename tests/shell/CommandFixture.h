#pragma once
// The main window with real document windows, for the image, frame and
// dialog commands: documents built in memory and opened through the file
// roads, the windows of later parts replaced by scripted dialogs, the palette
// question and the web pages recorded, a floating selection that tests fill.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QHash>
#include <QMouseEvent>
#include <QTest>

#include <functional>
#include <string>
#include <vector>

#include "DeskFixture.h"
#include "shell/Forms.h"
#include "shell/ModalForms.h"
#include "shell/ToolController.h"
#include "shell/WebPages.h"

namespace velto::test {

// A window of a later part: exec() records the run, does what the test says
// the dialog does, and returns the scripted result.
struct ScriptedDialog : QDialog, TNewImageForm, TCustomFilterForm {
    explicit ScriptedDialog(QWidget* parent) : QDialog(parent) {}
    int exec() override {
        if (runs) runs->push_back(objectName());
        if (onExec) onExec(*this);
        return result;
    }
    void SetNewImageMode(bool showImages) override { modes.push_back(showImages); }
    bool Added() const override { return added; }
    TFilterKernel GetKernel() const override { return kernel; }

    QStringList* runs = nullptr;
    std::function<void(ScriptedDialog&)> onExec;
    int result = QDialog::Accepted;
    bool added = false;
    std::vector<bool> modes;
    TFilterKernel kernel;
};

// A floating selection of its own pixels over one window.
struct PixelSelection : TSelectionAccess {
    TmyImagePal pixels{{4, 4}, 32};
    bool empty = true;
    int owner = 0, commits = 0, edits = 0;
    std::vector<std::pair<int, int>> moves;
    bool Empty() const override { return empty; }
    int Owner() const override { return owner; }
    void SetOwner(int o) override { owner = o; }
    void Commit() override {
        ++commits;
        empty = true;
    }
    TmyImagePal* Image() override { return empty ? nullptr : &pixels; }
    void ImageEdited() override { ++edits; }
    void MoveBy(int dx, int dy) override { moves.emplace_back(dx, dy); }
};

// The windows the commands of these tests show.
inline const char* const kScriptedForms[] = {
    "frmAbout",   "frmBrightness", "frmHue",     "frmColorBalance", "frmOptions", "frmProperties",
    "frmDimension", "frmRotate",   "frmUpdate",  "frmOpacity",      "frmShadow",  "frmFadeout",
    "frmFilter",  "frmTips",       "frmDelete",  "frmNewImage",
};

class CommandTest : public DeskTest {
protected:
    void SetUp() override {
        for (const char* name : kScriptedForms)
            SetFormFactory(name, [this, n = QString::fromLatin1(name)](QWidget* parent) {
                auto* d = new ScriptedDialog(parent);
                d->runs = &runs;
                forms[n] = d;
                return d;
            });
        DeskTest::SetUp();
        Options().Autozoom = false;
        Options().ShowTips = false;
        Options().EffectOnAllImages = false;
        Options().PaletteAction = 2;
        main->Tools().Windows().AskPaletteChoice = [this] {
            ++paletteQuestions;
            return paletteAnswer;
        };
        SetUrlOpener([this](const QUrl& url) {
            urls << url.toString();
            return true;
        });
    }
    void TearDown() override {
        SetUrlOpener(nullptr);
        DeskTest::TearDown();
        for (const char* name : kScriptedForms) SetFormFactory(name, {});
    }

    // A frame painted with a pattern that every effect changes: colours by
    // position, alpha by position at 32 bits, palette entries below 24.
    static TmyImagePal Pattern(ImageSize size, int bits, int seed = 0) {
        TmyImagePal img(size, bits);
        for (int y = 0; y < size.Height; ++y)
            for (int x = 0; x < size.Width; ++x) {
                const int k = x * 7 + y * 3 + seed * 5;
                if (img.Palette) {
                    img.At(x, y) = (*img.Palette)[(k % (img.Palette->Count() - 1)) + 1];
                    img.At(x, y).A = 255;
                } else {
                    img.At(x, y) = TmyPixel{static_cast<std::uint8_t>(40 + k * 9 % 200), static_cast<std::uint8_t>(y * 30 % 256),
                                            static_cast<std::uint8_t>(200 - x * 11 % 180),
                                            static_cast<std::uint8_t>(bits == 32 ? 60 + (k * 13) % 196 : 255)};
                }
            }
        return img;
    }
    // An icon (or static cursor) of these images, opened in a window.
    TfrmDesk* openIcon(const std::vector<TmyImagePal>& images, const QString& name = "icon.ico") {
        TmyIcon doc;
        for (const TmyImagePal& img : images) doc.Image(doc.AddImage(img.Size(), img.BitCount)).Assign(img);
        return openDocument(doc, name);
    }
    // An animated cursor of frames frames, each of the pattern with its own seed.
    TfrmDesk* openAnimation(int frames, ImageSize size, int bits, const QString& name = "anim.ani") {
        TmyANI doc;
        for (int i = 0; i < frames; ++i) doc.Image(doc.AddImage(size, bits)).Assign(Pattern(size, bits, i));
        return openDocument(doc, name);
    }
    void run(const char* command) { main->Actions().execute(command); }
    // Ctrl with key, as typed into the active main window.
    void ctrlKey(Qt::Key key) {
        QApplication::setActiveWindow(main.get());
        QTest::keyClick(main.get(), key, Qt::ControlModifier);
    }
    // Every pixel transparent or an opaque entry of the palette.
    static bool OnPalette(const TmyImagePal& img) {
        if (!img.Palette) return true;
        for (const TmyPixel& p : img.Pixels())
            if (p.A != 0 && (p.A != 255 || img.Palette->IndexOf(p) < 0)) return false;
        return true;
    }
    // Same size, depth, palette and pixels.
    static bool Same(const TmyImagePal& a, const TmyImagePal& b) {
        return a.Size() == b.Size() && a.BitCount == b.BitCount && a.Equals(b);
    }

    QHash<QString, ScriptedDialog*> forms;
    QStringList runs;
    QStringList urls;
    int paletteQuestions = 0;
    TPaletteChoice paletteAnswer = TPaletteChoice::Keep;
};

}  // namespace velto::test
