#include "FormExtract.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

#include "DialogParts.h"
#include "browse/FileNames.h"
#include "browse/IconExtraction.h"
#include "browse/ThumbnailGrid.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "import/MyImport.h"
#include "model/Icon.h"
#include "model/IcoIO.h"
#include "platform/ByteReader.h"
#include "resources/CursorGroups.h"
#include "resources/PeModule.h"
#include "shell/MainWindow.h"

namespace velto {

namespace {

// Tiles are this wide at least; wider by the widest caption and a margin.
constexpr int kTileSize = 65;
constexpr int kCaptionMargin = 6;

// A 32-bit bitmap of the picture (B, G, R, A rows from the top).
TBitmap ToBitmap(const QImage& picture) {
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    TBitmap b;
    b.Allocate(argb.width(), argb.height(), pf32bit);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        std::uint8_t* d = b.ScanLine(y);
        for (int x = 0; x < argb.width(); ++x, d += 4) {
            d[0] = static_cast<std::uint8_t>(qBlue(src[x]));
            d[1] = static_cast<std::uint8_t>(qGreen(src[x]));
            d[2] = static_cast<std::uint8_t>(qRed(src[x]));
            d[3] = static_cast<std::uint8_t>(qAlpha(src[x]));
        }
    }
    return b;
}

}  // namespace

TfrmExtract::TfrmExtract(TfrmMain* main, QWidget* parent) : QDialog(parent), main_(main) {
    setObjectName(QStringLiteral("frmExtract"));
    setWindowTitle(QStringLiteral("Extract"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setMinimumSize(300, 300);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 8);
    lay->addWidget(MakeDialogHeader(this, QStringLiteral("Extract"), QStringLiteral("Extract icon from files")));
    grid_ = new TThumbail(this);
    grid_->setObjectName(QStringLiteral("ListView1"));
    grid_->SetCanDrag(false);
    grid_->SetShowCaption(true);
    grid_->SetThumbnailSize(kTileSize);
    grid_->setFrameShape(QFrame::NoFrame);
    lay->addWidget(grid_, 1);
    lblNoIcon_ = new QLabel(QStringLiteral("No cursors in the file"), this);
    lblNoIcon_->setObjectName(QStringLiteral("lblNoIcon"));
    lblNoIcon_->setAlignment(Qt::AlignCenter);
    lblNoIcon_->hide();
    lay->addWidget(lblNoIcon_);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 0, 8, 0);
    buttons->addStretch(1);
    btnExtract_ = new QPushButton(QStringLiteral("Extract"), this);
    btnExtract_->setObjectName(QStringLiteral("btnExtract"));
    btnExtract_->setDefault(true);
    btnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel_->setObjectName(QStringLiteral("btnCancel"));
    btnCancel_->setAutoDefault(false);
    buttons->addWidget(btnExtract_);
    buttons->addWidget(btnCancel_);
    lay->addLayout(buttons);
    connect(btnExtract_, &QPushButton::clicked, this, [this] { ExtractSelected(); });
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(grid_, &TThumbail::itemDblClicked, this, [this] {
        if (btnExtract_->isEnabled()) btnExtract_->click();
    });
    resize(420, 360);
}

void TfrmExtract::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    grid_->SetThumbnailSize(kTileSize);
    grid_->LoadCursorResources(fileName_, false);
    // Captions ("Cursor 12 (4)") differ at their ends, which a cut caption
    // loses: the tiles widen until the widest shows whole.
    const QFontMetrics metrics(grid_->font());
    int widest = 0;
    for (int i = 0; i < grid_->Count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(grid_->Item(i).Caption));
    if (widest + kCaptionMargin > kTileSize) {
        grid_->SetThumbnailSize(widest + kCaptionMargin);
        grid_->LoadCursorResources(fileName_, false);
    }
    QGuiApplication::restoreOverrideCursor();
    const bool any = grid_->Count() > 0;
    btnExtract_->setEnabled(any);
    lblNoIcon_->setVisible(!any);
    if (any) grid_->SelectItem(0);
}

// A fill still running when the window goes stops first.
void TfrmExtract::hideEvent(QHideEvent* event) {
    grid_->Stop();
    QDialog::hideEvent(event);
}

std::unique_ptr<TmyIcon> TfrmExtract::TileDocument(int tile, bool& warned) {
    const TThumbnailItem& item = grid_->Item(tile);
    if (item.Kind == tkCursorGroup) {
        // The group is built as a cursor file in memory and read from there:
        // no temporary file is needed, so none can be left behind.
        PeModule module;
        const std::optional<ResName> name = ResNameToId(item.ResourceName.toStdString());
        std::vector<std::uint8_t> bytes;
        if (!name || !module.Load(FileNameBytes(fileName_)) ||
            !BuildCursorFileFromGroup(module, *name, item.LanguageId, bytes))
            return nullptr;
        auto doc = std::make_unique<TmyIcon>();
        ByteReader reader(bytes);
        TmyIcoIO io(true);
        if (!io.LoadFromStream(*doc, reader) || doc->Count() == 0) return nullptr;
        return doc;
    }
    if (item.Kind != tkIcon) return nullptr;
    // An icon the desktop extracts from the file: one 32 x 32 image without
    // its transparency, which the user is told once per click.
    if (!warned) {
        warned = true;
        ShowMessageBox(Lang().GetMessage("msgNot32Bit", "This is not a 32bit file. Only the 32x32 image will be "
                                                        "extracted and the transparency will be lost!"),
                       mkWarning, mbOK);
    }
    IconExtractor icons;
    if (!icons.Open(FileNameBytes(fileName_))) return nullptr;
    const QImage picture = icons.Icon(tile);
    if (picture.isNull()) return nullptr;
    TBitmap bitmap = ToBitmap(picture.scaled(32, 32));
    auto doc = std::make_unique<TmyIcon>();
    TmyImagePal& image = doc->Image(doc->AddImage(ImageSize{32, 32}, 32));
    if (!MyImport().BitmapToImage(bitmap, image, ImageSize{32, 32}, false, false)) return nullptr;
    return doc;
}

int TfrmExtract::ExtractSelected() {
    if (grid_->SelectedCount() == 0) return 0;
    hide();
    const std::vector<int> selection = grid_->Selection();
    bool warned = false;
    int opened = 0;
    for (int tile : selection) {
        if (tile < 0 || tile >= grid_->Count()) continue;
        std::unique_ptr<TmyIcon> doc = TileDocument(tile, warned);
        if (!doc) {
            // A group that cannot be read is reported, and the others go on.
            ShowMessageBox(Lang().GetMessage("msgErrorOpen", "Cannot open file"), mkError, mbOK);
            continue;
        }
        if (!main_ || !main_->NewDocumentFromIcon(std::move(doc))) break;
        ++opened;
    }
    accept();
    return opened;
}

}  // namespace velto
