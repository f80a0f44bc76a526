#include "ImportHooks.h"

#include <QApplication>
#include <QPointer>

#include <algorithm>
#include <cstring>

#include "FormCapture.h"
#include "FormFrames.h"
#include "FormImport.h"
#include "FormImportGif.h"
#include "QuestionDialogs.h"
#include "import/MyImport.h"
#include "shell/Desk.h"
#include "shell/MainWindow.h"
#include "shell/ModalForms.h"
#include "shell/Options.h"

namespace velto {

namespace {

// A 32-bit bitmap (B, G, R, A, straight) as a picture of the model.
TmyImage PictureOf(const TBitmap& bitmap) {
    TBitmap copy;
    const TBitmap* src = &bitmap;
    if (bitmap.PixelFormat() != pf32bit) {
        copy = bitmap;
        copy.SetPixelFormat(pf32bit);
        src = &copy;
    }
    TmyImage out({std::max(1, src->Width()), std::max(1, src->Height())});
    for (int y = 0; y < src->Height(); ++y) {
        const std::uint8_t* row = src->ScanLine(y);
        auto dst = out.Row(y);
        for (int x = 0; x < src->Width(); ++x, row += 4)
            dst[static_cast<std::size_t>(x)] = TmyPixel::CreateRGBA(row[2], row[1], row[0], row[3]);
    }
    return out;
}

TImportSettings SettingsFromOptions() {
    const TOptions& o = Options();
    TImportSettings s;
    s.ImportAction = o.ImportAction;
    s.ClipboardAction = o.ClipboardAction;
    s.KeepAspectRatio = o.KeepAspectRatio;
    s.ExportAlpha = o.ExportAlpha;
    s.PrevColor = o.PrevColor;
    s.Overimpose = o.Overimpose;
    return s;
}

}  // namespace

void InstallImportHooks(QWidget* mainWindow, TfrmImport* advanced, TfrmImportGif* progress) {
    TImportHooks& h = MyImport().Hooks;
    h.Settings = SettingsFromOptions;
    h.Busy = [](bool busy) { busy ? BusyCursorOn() : BusyCursorOff(); };
    h.ProcessEvents = [] { QCoreApplication::processEvents(); };
    const QPointer<QWidget> main(mainWindow);
    h.AskPolicy = [main](bool isImport) -> int {
        auto* form = main ? qobject_cast<TfrmImageBig*>(FindForm(QStringLiteral("frmImageBig"))) : nullptr;
        if (!form) return fpResize;
        form->IsImport = isImport;
        // The busy cursor of the conversion does not hang over the question.
        BusyCursorOff();
        form->exec();
        return form->Choice;
    };
    if (advanced) {
        const QPointer<TfrmImport> dlg(advanced);
        h.AdvancedImport = [dlg](TBitmap& source, TmyImagePal& work) {
            if (!dlg) return false;
            dlg->SetSource(PictureOf(source));
            dlg->SetTargetSize(work.Size());
            BusyCursorOff();
            if (dlg->exec() != QDialog::Accepted) return false;
            work.Assign(dlg->Result());
            work.UpdateZoom();
            return true;
        };
    }
    if (progress) {
        const QPointer<TfrmImportGif> win(progress);
        h.ProgressBegin = [win](int maximum) {
            if (!win) return;
            win->SetMax(maximum);
            win->ResetCancel();
            win->setWindowModality(Qt::ApplicationModal);
            win->show();
            QCoreApplication::processEvents();
        };
        h.ProgressStep = [win] {
            if (!win) return false;
            win->StepIt();
            // The Cancel button is heard between frames.
            QCoreApplication::processEvents();
            return win && win->IsCancelled();
        };
        h.ProgressEnd = [win] {
            if (win) win->hide();
        };
    }
    // The frames window: a file that gives no frame fails without showing it.
    h.FramesDialog = [](const std::string& fileName, ImageSize size, int bitCount) -> int {
        auto* form = qobject_cast<TfrmFrames*>(FindForm(QStringLiteral("frmFrames")));
        if (!form) return 2;
        form->SetFileName(QString::fromStdString(fileName));
        form->SetTarget(size, bitCount);
        BusyCursorOff();
        if (!form->Prepare()) return form->LoadError() == FileError::TooLarge ? 3 : 2;
        form->exec();
        return form->Failed() ? 2 : 0;
    };
    h.GrabScreen = [](TBitmap& out, int left, int top, int width, int height) {
        const auto shot = GrabScreenRect({left, top}, {width, height});
        if (!shot) return false;
        if (!out.Allocate(width, height, pf32bit)) return false;
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = out.ScanLine(y);
            for (const TmyPixel& p : shot->Row(y)) {
                *row++ = p.B;
                *row++ = p.G;
                *row++ = p.R;
                *row++ = 255;
            }
        }
        return true;
    };
}

}  // namespace velto
