#pragma once
// The program's main window with its dialogs, settings in a temporary
// folder, message boxes answered from a script, the palette question
// counted, and documents written to files and opened as a user would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DialogsTestSupport.h"
#include "model/AniIO.h"
#include "model/IcoIO.h"
#include "shell/Desk.h"
#include "shell/MainWindow.h"
#include "shell/ToolController.h"

namespace velto::test {

// Every pixel transparent (of any colour, which the writers do not store) or
// an opaque entry of the image's palette.
inline ::testing::AssertionResult OnPalette(const TmyImagePal& img) {
    if (!img.Palette) return ::testing::AssertionSuccess();
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            const TmyPixel& p = img.At(x, y);
            if (p.A == 0) continue;
            if (p.A != 255 || img.Palette->IndexOf(p) < 0)
                return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") " << ::testing::PrintToString(p)
                                                     << " is off the palette";
        }
    return ::testing::AssertionSuccess();
}

// A picture with colour and alpha in every corner: a gradient, a transparent
// corner, partly transparent pixels at 32 bits; palette colours below 24.
inline TmyImagePal Picture(ImageSize size, int bits, int seed = 0) {
    TmyImagePal img(size, bits);
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < size.Width; ++x) {
            TmyPixel& p = img.At(x, y);
            if (x < size.Width / 4 && y < size.Height / 4) continue;  // transparent corner
            if (img.Palette) {
                p = (*img.Palette)[(x * 7 + y * 3 + seed) % img.Palette->Count()];
                p.A = 255;
            } else {
                p = Px((x * 255) / size.Width, (y * 255) / size.Height, (seed * 40 + x + y) % 256,
                       bits == 32 ? 40 + (x * 215) / size.Width : 255);
            }
        }
    return img;
}

class AdjustTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        if (HasFatalFailure()) return;
        main->Tools().Windows().AskPaletteChoice = [this] {
            ++paletteQuestions;
            return paletteChoice;
        };
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->reject();
        ProgramWindowTest::TearDown();
    }

    // An icon of one picture of the size and depth.
    TfrmDesk* openImage(int bits, ImageSize size = {32, 32}, const QString& name = "one.ico") {
        TmyIcon doc;
        doc.Image(doc.AddImage(size, bits)).Assign(Picture(size, bits));
        return open(doc, name);
    }
    // An animated cursor of n 32-bit frames, each its own picture.
    TfrmDesk* openAnimation(int n, int bits = 32, ImageSize size = {32, 32}) {
        TmyANI doc;
        for (int i = 0; i < n; ++i) doc.Image(doc.AddImage(size, bits)).Assign(Picture(size, bits, i));
        doc.SetItemIndex(n / 2);
        return open(doc, "frames.ani");
    }
    // Closes a document window without its question.
    static void closeDesk(TfrmDesk* desk) {
        desk->SetSaved(true);
        desk->Frame()->close();
        QTest::qWait(0);
    }
    // Copies of every image of the active document.
    std::vector<TmyImagePal> frames() const {
        std::vector<TmyImagePal> out;
        if (TfrmDesk* d = active())
            for (int i = 0; i < d->ImageCount(); ++i) out.push_back(d->Document()->Image(i));
        return out;
    }
    // Runs work while the command's modal dialog is open, then closes what is
    // still open. The result: the dialog's when work closed it, -1 when it
    // stayed open, -2 when no dialog opened.
    int whileModal(const char* action, const std::function<void(QDialog&)>& work) {
        int result = -2;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d) return;
            work(*d);
            result = d->isVisible() ? -1 : d->result();
            if (d->isVisible()) d->reject();
        });
        main->Action(QString::fromLatin1(action))->trigger();
        EXPECT_NE(result, -2) << action << " opened no dialog";
        return result;
    }

    int paletteQuestions = 0;
    TPaletteChoice paletteChoice = TPaletteChoice::Keep;
};

}  // namespace velto::test
