#include "FormSnapshot.h"

#include <QCheckBox>

#include <algorithm>
#include <iterator>
#include <QColorDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

#include "DialogParts.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "import/MyImport.h"
#include "model/Icon.h"
#include "shell/CanvasRender.h"
#include "shell/Desk.h"
#include "shell/FileDialogs.h"
#include "shell/MainWindow.h"
#include "shell/MainWindowText.h"

namespace velto {

namespace {

// A picture as an image the picture writers take.
TmyImagePal ToImage(const QImage& picture) {
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    TmyImagePal image(ImageSize{argb.width(), argb.height()}, 32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            image.At(x, y) = {static_cast<std::uint8_t>(qRed(row[x])), static_cast<std::uint8_t>(qGreen(row[x])),
                              static_cast<std::uint8_t>(qBlue(row[x])), static_cast<std::uint8_t>(qAlpha(row[x]))};
    }
    return image;
}

// The extension a name typed without one takes, by the save dialog's filter.
constexpr const char* kSheetExtensions[] = {".bmp", ".jpg", ".png", ".jp2"};

}  // namespace

TfrmSnapshot::TfrmSnapshot(TfrmMain* main, QWidget* parent) : QDialog(parent), main_(main) {
    setObjectName(QStringLiteral("frmSnapshot"));
    setWindowTitle(QStringLiteral("Snapshot"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // At least 400 x 453; the groups beside the sheet scroll when it is lower.
    setMinimumSize(400, 453);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 8);
    lay->addWidget(MakeDialogHeader(this, QStringLiteral("Snapshot"), QStringLiteral("Create a snapsot of your icon(s)")));
    auto* body = new QHBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    lay->addLayout(body, 1);
    ScrollBox1_ = new QScrollArea(this);
    ScrollBox1_->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1_->setAlignment(Qt::AlignCenter);
    imgSnapshot_ = new QLabel;
    imgSnapshot_->setObjectName(QStringLiteral("imgSnapshot"));
    ScrollBox1_->setWidget(imgSnapshot_);
    ScrollBox1_->setWidgetResizable(false);
    body->addWidget(ScrollBox1_, 1);

    // The choices scroll on a screen too low for them.
    QBoxLayout* side = nullptr;
    auto* column = new TChoicesScroll(QStringLiteral("sbChoices"), this, &side);
    column->setMinimumHeight(100);
    body->addWidget(column);
    auto group = [&](const char* name, const char* caption) {
        auto* g = new QGroupBox(QString::fromLatin1(caption), this);
        g->setObjectName(QString::fromLatin1(name));
        g->setLayout(new QVBoxLayout);
        g->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        side->addWidget(g);
        return g;
    };
    auto radio = [&](QGroupBox* g, const char* name, const char* caption) {
        auto* r = new QRadioButton(QString::fromLatin1(caption), g);
        r->setObjectName(QString::fromLatin1(name));
        g->layout()->addWidget(r);
        connect(r, &QRadioButton::toggled, this, [this](bool on) {
            if (on) BuildSnapshot();
        });
        return r;
    };
    auto check = [&](QGroupBox* g, const char* name, const char* caption, bool on) {
        auto* c = new QCheckBox(QString::fromLatin1(caption), g);
        c->setObjectName(QString::fromLatin1(name));
        c->setChecked(on);
        g->layout()->addWidget(c);
        connect(c, &QCheckBox::toggled, this, [this] { BuildSnapshot(); });
        return c;
    };
    QGroupBox* grpType = group("grpType", " Snapshot Type ");
    rbSelected_ = radio(grpType, "rbSelected", "Selected icon");
    rbAll_ = radio(grpType, "rbAll", "All icons");
    rbToolbar_ = radio(grpType, "rbToolbar", "Toolbar image");
    rbSelected_->setChecked(true);
    QGroupBox* grpFormats = group("grpFormats", " Formats ");
    cb32bit_ = check(grpFormats, "cb32bit", "32 bits", true);
    cb24Bit_ = check(grpFormats, "cb24Bit", "24 bits", false);
    cb8Bit_ = check(grpFormats, "cb8Bit", "8 bits", false);
    cb4Bit_ = check(grpFormats, "cb4Bit", "4/1 bits", false);
    QGroupBox* grpBackground = group("grpBackground", " Background ");
    rbColor_ = radio(grpBackground, "rbColor", "Color");
    grpBackground->layout()->addWidget(ColourButton("pnlColor", &background_));
    rbTransparent_ = radio(grpBackground, "rbTransparent", "Checkboard");
    rbColor_->setChecked(true);
    QGroupBox* grpText = group("grpText", " Text ");
    cbText_ = check(grpText, "cbText", "Show text", true);
    grpText->layout()->addWidget(ColourButton("pnlTextColor", &text_));
    QGroupBox* grpWatermark = group("grpWatermark", " Watermark ");
    cbWatermark_ = check(grpWatermark, "cbWatermark", "Show watermark", false);
    grpWatermark->layout()->addWidget(ColourButton("pnlWaterColor", &watermark_));
    side->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 0, 8, 0);
    buttons->addStretch(1);
    btnSave_ = new QPushButton(QStringLiteral("Save"), this);
    btnSave_->setObjectName(QStringLiteral("btnSave"));
    btnClose_ = new QPushButton(QStringLiteral("Close"), this);
    btnClose_->setObjectName(QStringLiteral("btnClose"));
    buttons->addWidget(btnSave_);
    buttons->addWidget(btnClose_);
    lay->addLayout(buttons);
    connect(btnSave_, &QPushButton::clicked, this, [this] { Save(); });
    connect(btnClose_, &QPushButton::clicked, this, &QDialog::reject);

    dlgSave_ = new TFileDialogSpec(this, QStringLiteral("dlgSave"), QStringLiteral("Save Snapshot"));
    // No default extension: a name typed without one takes the chosen
    // filter's (Save), which a default would override.
    dlgSave_->save = true;
    resize(760, std::max(560, sizeHint().height()));
}

QPushButton* TfrmSnapshot::ColourButton(const char* name, QColor* colour) {
    auto* b = new QPushButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setFixedHeight(18);
    // A swatch, not a command: Enter on the window never opens the chooser.
    b->setAutoDefault(false);
    auto paint = [b, colour] { b->setStyleSheet(QStringLiteral("background:%1").arg(colour->name())); };
    paint();
    connect(b, &QPushButton::clicked, this, [this, colour, paint] {
        const QColor c = QColorDialog::getColor(*colour, this);
        if (!c.isValid()) return;
        *colour = c;
        paint();
        BuildSnapshot();
    });
    return b;
}

TSnapshotStyle TfrmSnapshot::Style() const {
    TSnapshotStyle s;
    s.Type = rbAll_->isChecked() ? TSnapshotType::All : rbToolbar_->isChecked() ? TSnapshotType::Toolbar : TSnapshotType::Selected;
    s.BitCounts.clear();
    if (cb32bit_->isChecked()) s.BitCounts.insert(32);
    if (cb24Bit_->isChecked()) s.BitCounts.insert(24);
    if (cb8Bit_->isChecked()) s.BitCounts.insert(8);
    if (cb4Bit_->isChecked()) s.BitCounts.insert({1, 4});
    s.Checkerboard = rbTransparent_->isChecked();
    s.Background = background_;
    s.Text = cbText_->isChecked();
    s.TextColor = text_;
    s.Watermark = cbWatermark_->isChecked();
    s.WatermarkColor = watermark_;
    s.Checker = CheckerboardFromOptions();
    return s;
}

void TfrmSnapshot::BuildSnapshot() {
    if (!isVisible() || !main_) return;
    std::vector<const TmyIcon*> docs;
    for (int i = 1; i <= main_->Desks().DeskCount(); ++i)
        if (auto* d = qobject_cast<TfrmDesk*>(main_->Desk(i)); d && d->Document()) docs.push_back(d->Document());
    auto* active = qobject_cast<TfrmDesk*>(main_->ActiveDesk());
    const TmyIcon* doc = active ? active->Document() : nullptr;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const TSnapshotStyle style = Style();
    const QSize size = MeasureSnapshot(docs, doc, style);
    sheet_ = velto::BuildSnapshot(docs, doc, style);
    QGuiApplication::restoreOverrideCursor();
    // With no document there is nothing to show or save.
    if (sheet_.isNull() && size.width() > 0 && size.height() > 0)
        ShowMessageBox(Lang().GetMessage("msgSnapshotError", "Error creating snapshot. Try closing a few windows."),
                       mkError, mbOK);
    imgSnapshot_->setPixmap(sheet_.isNull() ? QPixmap() : QPixmap::fromImage(sheet_));
    imgSnapshot_->adjustSize();
    btnSave_->setEnabled(!sheet_.isNull());
}

bool TfrmSnapshot::Save() {
    if (sheet_.isNull()) return false;
    dlgSave_->filter = FileDialogFilter(QStringLiteral("frmSnapshot.dlgSave"));
    QStringList files;
    const bool ok = dialogRunner ? dialogRunner(*dlgSave_, files) : RunFileDialog(*dlgSave_, files);
    if (!ok || files.isEmpty()) return false;
    // The extension typed decides the format, as in an export; a name typed
    // without one takes the chosen filter's.
    QString path = files.first();
    const int filter = dlgSave_->filterIndex;
    const int filters = static_cast<int>(std::size(kSheetExtensions));
    if (QFileInfo(path).suffix().isEmpty() && filter >= 1 && filter <= filters)
        path += QLatin1String(kSheetExtensions[filter - 1]);
    const std::string file = path.toStdString();
    const TExportFormat format = ExportFormatOf(file);
    if (format == efNone) {
        ShowMessageBox(Lang().GetMessage("msgInvalidType", "Invalid file type!"), mkWarning, mbOK);
        return false;
    }
    if (QFileInfo::exists(path)) {
        const QString q = Msg("msgAlredyExists", "%s1 already exists! Overwrite?").replace(QLatin1String("%s1"), QFileInfo(path).fileName());
        if (ShowMessageBox(q.toStdString(), mkConfirm, mbYes | mbNo) != idYes) return false;
    }
    const TSnapshotStyle style = Style();
    tmyimport writer;
    const bool strip = style.Type == TSnapshotType::Toolbar && style.Checkerboard && (format == efBmp || format == efPng);
    TImportSettings settings = MyImport().Settings();
    settings.ExportAlpha = strip;  // the sheet itself is opaque (24 bits)
    writer.Hooks.Settings = [settings] { return settings; };
    TmyImagePal image(ImageSize{1, 1}, 32);
    if (strip) {
        auto* active = qobject_cast<TfrmDesk*>(main_->ActiveDesk());
        if (!active || !active->Document()) return false;
        image = ToImage(TransparentStrip(*active->Document(), style));
    } else {
        image = ToImage(sheet_);
    }
    FileError error;
    const bool saved = writer.ExportPicture(file, image, &error);
    if (!saved) ShowMessageBox(SaveFailedText(path, error).toStdString(), mkError, mbOK);
    return saved;
}

void TfrmSnapshot::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) BuildSnapshot();
}

// The sheet's memory goes with the window.
void TfrmSnapshot::hideEvent(QHideEvent* event) {
    sheet_ = QImage();
    imgSnapshot_->setPixmap(QPixmap());
    QDialog::hideEvent(event);
}

}  // namespace velto
