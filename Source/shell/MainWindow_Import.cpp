// Pictures into documents: a picture opened as a new document, pictures
// added as images of the open one, the screen captured into a new document.
// The pictures themselves are read and fitted by the import service.
#include "MainWindow.h"

#include "Desk.h"
#include "DocumentArea.h"
#include "ImageEdit.h"
#include "MainWindowText.h"
#include "ModalForms.h"
#include "Options.h"
#include "browse/FileNames.h"
#include "core/MessageBox.h"
#include "engine/ColorDepth.h"
#include "engine/Transform.h"
#include "import/MyImport.h"
#include "model/Detect.h"

#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QPointer>

namespace velto {

namespace {

void Warn(const QString& text) { ShowMessageBox(text.toStdString(), mkWarning, mbOK); }

// The work image brought to the depth of the image it goes into; 1 and 4
// bits take the fixed Windows palette, deeper ones an optimised one.
void ToDepth(TmyImagePal& work, int bitCount) {
    ChangeColorDepth(work, static_cast<TBitDepth>(bitCount),
                     bitCount == 1 || bitCount == 4 ? TPaletteKind::Windows : TPaletteKind::Optimised,
                     Options().Dithering ? TDither::On : TDither::Off);
}

// The current image of desk takes the picture's pixels, depth and palette;
// its hotspot, rate and zoom stay (a frame keeps its place in the animation).
void TakePicture(TfrmDesk& desk, const TmyImagePal& work) {
    TImageEdit edit(desk, TEditKind::Picture);
    if (!edit.Begin()) return;
    TmyImagePal& image = *edit.Target();
    const int hx = image.HotSpotX(), hy = image.HotSpotY(), zoom = image.Zoom;
    const double rate = image.Rate();
    image.Assign(work);
    image.SetHotSpotX(hx);
    image.SetHotSpotY(hy);
    image.SetRate(rate);
    image.Zoom = zoom;
    edit.Finish();
}

// The message of a failed load, when the road has one, and why the file
// could not be read when that was the failure.
void WarnLoad(const TImageFileResult& r) {
    if (r.MessageKey && *r.MessageKey) Warn(WithReason(Msg(r.MessageKey, r.Message), r.Error));
}

// Without the frames window (it comes with the thumbnail grid), an animation
// opened into a static cursor gives its first frame.
bool HasFramesWindow() { return static_cast<bool>(MyImport().Hooks.FramesDialog); }

}  // namespace

// ---------------------------------------------------------------- a picture as a new document

TfrmDesk* TfrmMain::newDocumentForPicture() {
    const QPointer<TDeskWindow> before = ActiveDesk();
    if (!CreateDocumentWindow(QStringLiteral("Untitled"))) return nullptr;
    const QPointer<TfrmDesk> desk = qobject_cast<TfrmDesk*>(ActiveDesk());
    auto* form = FormAs<TNewImageForm>(QStringLiteral("frmNewImage"));
    if (form) form->SetNewImageMode(false);
    ShowModalForm(QStringLiteral("frmNewImage"));
    if (desk && !desk->IsClosing() && form && form->Added() && desk->HasImages()) return desk;
    // The dialog's Cancel closed the window already; otherwise it goes here.
    if (desk && !desk->IsClosing()) dropNewDocument(desk, before);
    else if (before && !before->IsClosing() && before->Tag) ActivateDesk(before->Tag);
    return nullptr;
}

void TfrmMain::dropNewDocument(TfrmDesk* desk, TDeskWindow* before) {
    const QPointer<TDeskWindow> back(before);
    if (desk && !desk->IsClosing()) {
        // Stepped back first: the last window closing starts the cascade over.
        StepCascadeBack();
        DiscardDocumentWindow(desk);
    }
    if (back && !back->IsClosing() && back->Tag) ActivateDesk(back->Tag);
}

bool TfrmMain::OpenImageFile(const QString& path) {
    const QPointer<TDeskWindow> before = ActiveDesk();
    const QPointer<TfrmDesk> desk = newDocumentForPicture();
    if (!desk) return false;
    const TmyImagePal& current = *desk->CurrentImage();
    const int bits = current.BitCount;
    TmyImagePal work(current.Size(), 32);
    const std::string file = FileNameBytes(path);
    const std::uint8_t type = DetectFileType(file).type;
    tmyimport& service = MyImport();
    service.Cancelled = false;
    bool ok = false;
    const bool frames = desk->IsAnimated() && type == ftGif;
    if (frames) {
        // Every frame of the animation becomes a frame of the new cursor.
        FileError error;
        BusyCursorOn();
        ok = service.ImportAnimatedGif(static_cast<TmyANI&>(*desk->Document()), file, &error) &&
             desk->HasImages();
        BusyCursorOff();
        if (!ok) {
            const std::string own = GifRefusedText(error);
            Warn(!own.empty() ? QString::fromStdString(own) : WithReason(Msg("msgNotGIF", "Invalid gif file!"), error));
        }
    } else if ((type == ftGif || type == ftAnimatedCursor) && HasFramesWindow()) {
        // The frames window opens the frames the user picks as documents of
        // their own: this window is not needed.
        dropNewDocument(desk, before);
        const int shown = service.ImportFromFrames(file, work, bits);
        if (shown == 3)
            Warn(QString::fromStdString(GifRefusedText(FileError::TooLarge)));
        else if (shown == 2)
            Warn(type == ftGif ? Msg("msgNotGIF", "Invalid gif file!")
                               : Msg("msgNotAni", "Invalid animated cursor file!"));
        return false;
    } else {
        const TImageFileResult r = service.LoadImageFile(work, file, false, false);
        ok = r.Ok && !service.Cancelled;
        if (!r.Ok) WarnLoad(r);
    }
    if (!ok || !desk) {
        dropNewDocument(desk, before);
        return false;
    }
    if (QMdiSubWindow* f = desk->Frame()) f->show();
    if (frames) {
        desk->Document()->SetItemIndex(0);
        desk->ImagesReordered();
        TImageEdit(*desk, TEditKind::Frames).Done();
    } else {
        ToDepth(work, bits);
        TakePicture(*desk, work);
    }
    desk->SetSaved(false);
    ActivateDesk(desk->Tag);
    return true;
}

// ---------------------------------------------------------------- pictures as new images

bool TfrmMain::AddImagesFromFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        const QPointer<TfrmDesk> desk = qobject_cast<TfrmDesk*>(ActiveDesk());
        if (!desk || !desk->HasImages()) return false;
        TmyIcon& doc = *desk->Document();
        const int before = doc.ItemIndex();
        const bool saved = desk->Saved();
        if (desk->IsAnimated()) {
            // A new frame of the animation's format at its sorted place.
            const TmyImagePal& first = doc.Image(0);
            const int k = doc.InsertSorted(first.Size(), first.BitCount);
            if (k < 0) return false;
            TImageEdit(*desk, TEditKind::Frames).Done();
            desk->UpdateImageList(true);
            desk->SetCurrentImage(k);
        } else {
            auto* form = FormAs<TNewImageForm>(QStringLiteral("frmNewImage"));
            if (!form) return false;
            form->SetNewImageMode(false);
            form->SetTypeChoiceVisible(false);
            ShowModalForm(QStringLiteral("frmNewImage"));
            form->SetTypeChoiceVisible(true);
            if (!desk || !form->Added()) return false;
        }
        const int added = doc.ItemIndex();
        const TmyImagePal& current = *desk->CurrentImage();
        TmyImagePal work(current.Size(), 32);
        tmyimport& service = MyImport();
        service.Cancelled = false;
        const TImageFileResult r = service.LoadImageFile(work, FileNameBytes(path), false, false);
        if (!desk) return false;
        if (!r.Ok || service.Cancelled) {
            if (!r.Ok) WarnLoad(r);
            // The image made for the picture goes again: the document is as it was.
            doc.Delete(added);
            doc.SetItemIndex(before);
            desk->ImagesReordered();
            desk->SetSaved(saved);
            UpdateImageNavigation();
            UpdateActions();
            return false;
        }
        ResizeFrame(work, current.Size());
        ToDepth(work, current.BitCount);
        TakePicture(*desk, work);
        UpdateImageNavigation();
    }
    return true;
}

// ---------------------------------------------------------------- the screen

bool TfrmMain::CaptureToNewDocument() {
    // A display that lets no program read the screen: said before anything
    // is made, so the document area stays as it was.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        Warn(Msg("msgNoCapture", "This display does not let programs read the screen, so nothing can be captured."));
        return false;
    }
    if (!captureRunner_) return false;
    const QPointer<TDeskWindow> before = ActiveDesk();
    const QPointer<TfrmDesk> desk = newDocumentForPicture();
    if (!desk) return false;
    const Qt::WindowStates state = windowState();
    showMinimized();
    if (QMdiSubWindow* f = desk->Frame()) f->show();
    const ImageSize area = desk->CurrentImage()->Size();
    const std::optional<QPoint> at = captureRunner_(area);
    bool ok = false;
    if (at && desk) {
        TmyImagePal work(area, 32);
        ok = MyImport().CaptureScreen(work, at->y(), at->x());
        if (ok) {
            ToDepth(work, desk->CurrentImage()->BitCount);
            TakePicture(*desk, work);
        } else {
            Warn(Msg("msgNoCapture",
                     "This display does not let programs read the screen, so nothing can be captured."));
        }
    }
    setWindowState(state);
    if (!ok || !desk) {
        dropNewDocument(desk, before);
        return false;
    }
    desk->SetSaved(false);
    ActivateDesk(desk->Tag);
    return true;
}

}  // namespace velto
