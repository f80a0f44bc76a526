// The fillers: each replaces (or extends) the grid's tiles with the pictures
// of one source. All hold the grid Busy while they run and refuse to start
// while it is. Only the folder listing runs on worker threads (FolderFill);
// the others read one file or document and finish before they return, without
// pumping events, so no window can go away under them.
#include "FileNames.h"
#include "FolderFill.h"
#include "IconExtraction.h"
#include "ThumbnailGrid.h"
#include "TileSources.h"
#include "core/Language.h"
#include "gif/GifImage.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "model/Icon.h"
#include "platform/ByteReader.h"
#include "resources/PeModule.h"

#include <QApplication>
#include <QKeyEvent>
#include <QThread>

#include <utility>

namespace velto {

namespace {

QString Text(const char* key, const char* def) { return QString::fromStdString(Lang().GetMessage(key, def)); }

QString Counted(const char* key, const char* def, int n) {
    return Text(key, def).replace(QLatin1String("%i1"), QString::number(n));
}

QString ReadingStatus(int made, int total) {
    return Text("msgReadObject", "Reading object %i1 from %i2")
        .replace(QLatin1String("%i1"), QString::number(made))
        .replace(QLatin1String("%i2"), QString::number(total));
}

// Tiles taken per turn of the event loop, so that a folder of many
// thousands of files never holds the window for long.
constexpr int kTilesPerTurn = 400;

QString ImageCaption(bool asFrames, int index, const TmyImagePal& image) {
    if (asFrames) return Counted("msgFrame", "Frame %i1", index);
    QString text = QString::number(image.Width()) + "x" + QString::number(image.Height());
    switch (image.BitCount) {
    case 1: case 4: case 8: case 24: case 32: text += " - " + QString::number(image.BitCount); break;
    default: break;
    }
    return text;
}

// A GIF frame drawn over the screen picture at its place; pixels of the
// transparent index are left as they are when the frame is transparent.
void DrawGifFrame(const TGIFSubImage& frame, QImage& screen) {
    if (frame.Empty()) return;
    const auto colors = frame.UsedColorMap().Entries();
    const TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    const int transparent = frame.Transparent() && gce ? gce->TransparentColorIndex() : -1;
    for (int y = 0; y < frame.Height(); ++y) {
        const int sy = frame.Top() + y;
        if (sy < 0 || sy >= screen.height()) continue;
        const std::uint8_t* src = frame.Scanline(y);
        auto* dst = reinterpret_cast<QRgb*>(screen.scanLine(sy));
        for (int x = 0; x < frame.Width(); ++x) {
            const int sx = frame.Left() + x;
            if (sx < 0 || sx >= screen.width()) continue;
            const int index = src[x];
            if (index == transparent) continue;
            const TGIFColor c = index < static_cast<int>(colors.size()) ? colors[static_cast<std::size_t>(index)]
                                                                        : TGIFColor{};
            dst[sx] = qRgb(c.Red, c.Green, c.Blue);
        }
    }
}

TFolderFill::EntryMaker& FolderEntryMaker() {
    static TFolderFill::EntryMaker maker;
    return maker;
}

}  // namespace

// ---------------------------------------------------------------- folder

TFolderFill::EntryMaker TThumbail::SetFolderEntryMaker(TFolderFill::EntryMaker maker) {
    return std::exchange(FolderEntryMaker(), std::move(maker));
}

// The folder fill's side on the GUI thread, alive while the fill runs: takes
// its turns (posted by the workers, and by the grid itself when a turn left
// results waiting), stops it when Escape is pressed anywhere in the program,
// and holds the tiles of the first screen made ahead and the tiles replaced.
class TThumbail::FillTurns : public QObject {
public:
    explicit FillTurns(TThumbail* grid) : QObject(grid), grid_(grid) { qApp->installEventFilter(this); }
    ~FillTurns() override { qApp->removeEventFilter(this); }

    void PostTurn() { QCoreApplication::postEvent(this, new QEvent(TFolderFill::TurnEvent()), Qt::LowEventPriority); }

    // The tiles of the last fill, let go once the first screen of this one
    // was shown: freeing thousands of pictures first would hold it back.
    std::vector<std::unique_ptr<TThumbnailItem>> Retired;
    // Tiles for the first entries of the listing with their captions laid
    // out, made while the workers make the first pictures (index = entry).
    std::vector<std::unique_ptr<TThumbnailItem>> Ahead;
    bool MadeAhead = false;

protected:
    void customEvent(QEvent* event) override {
        if (event->type() == TFolderFill::TurnEvent()) grid_->TakeFolderResults();
    }
    // Escape in another window stops the fill too, but is still that
    // window's: a dialog over the explorer closes on it.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            grid_->Busy()) {
            grid_->Stop();
            const auto* widget = qobject_cast<const QWidget*>(watched);
            return widget != nullptr && widget->window() == grid_->window();
        }
        return false;
    }

private:
    TThumbail* grid_;
};

void TThumbail::LoadFolder(const QString& folder) {
    if (busy_) return;
    BeginBusy();
    ClearSelection();
    fillTurns_ = new FillTurns(this);
    fillTurns_->Retired = std::move(items_);
    items_.clear();
    Clear();
    folderPictures_ = 0;
    // Half the cores: this thread takes and paints every tile, and on a busy
    // machine more workers mostly take its time (the first screen came later).
    const int threads = std::clamp(QThread::idealThreadCount() / 2, 1, 8);
    const TTileLayout l = Layout();
    const int firstScreen = l.Cols * std::max(1, (viewport()->height() + l.RowHeight() - 1) / l.RowHeight());
    fill_ = std::make_unique<TFolderFill>(*fillTurns_, FileNameBytes(folder), thumbnailSize_, threads, firstScreen,
                                          FolderEntryMaker());
    SetStatusText(Text("msgSearch", "Searching image files... Press Esc to stop"));
}

void TThumbail::TakeFolderResults() {
    if (!fill_) return;
    FillTurns& turns = *fillTurns_;
    const bool told = fill_->BeginTurn();
    if (!turns.MadeAhead && Count() == 0 && fill_->Total() >= 0 && !fill_->Stopped()) {
        turns.MadeAhead = true;
        const QFontMetrics fm(font());
        for (const std::string& path : fill_->ListedHead(fill_->FirstScreen())) {
            auto item = std::make_unique<TThumbnailItem>();
            item->Size = thumbnailSize_;
            item->ShowCaption = showCaption_;
            item->SetFileName(FileNameText(path));
            if (showCaption_) PrepareCaption(*item, fm);
            turns.Ahead.push_back(std::move(item));
        }
    }
    if (!told && !fill_->Stopped()) return;  // the listing's turn
    // A turn after the one that showed the first tiles (and their paint).
    if (Count() > 0) turns.Retired.clear();
    // The first screen comes in one turn of its own; the rest in larger ones.
    const int limit = Count() < fill_->FirstScreen() ? fill_->FirstScreen() - Count() : kTilesPerTurn;
    bool done = false, more = false;
    std::vector<TFolderFill::Entry> ready = fill_->Take(limit, done, more);
    {
        const QFontMetrics fm(font());
        AddingScope adding(*this);
        for (TFolderFill::Entry& e : ready) {
            if (!e.Shown) continue;
            const auto at = static_cast<std::size_t>(e.Index);
            const bool ahead = at < turns.Ahead.size() && turns.Ahead[at];
            TThumbnailItem& item = ahead ? Adopt(std::move(turns.Ahead[at])) : Add();
            item.Kind = tkFile;
            if (!ahead) item.SetFileName(FileNameText(e.Path));
            // Laid out now, while the workers still read: the paint only draws it.
            if (showCaption_) PrepareCaption(item, fm);
            if (e.PictureOk) {
                item.SetPicture(e.Bitmap, e.Source);
                ++folderPictures_;
            }
        }
    }
    if (done) {
        FinishFolderFill();
        return;
    }
    if (!ready.empty()) SetStatusText(Text("msgSearch", "Searching image files... Press Esc to stop"));
    // More is ready than one turn takes: come back after the events (and paints) waiting.
    if (more) turns.PostTurn();
}

void TThumbail::FinishFolderFill() {
    if (!fill_) return;
    fill_->Stop();
    fill_.reset();
    // Gone after this turn (which may be its own): the tiles it holds with it.
    qApp->removeEventFilter(fillTurns_);
    fillTurns_->deleteLater();
    fillTurns_ = nullptr;
    EndBusy();
    SetStatusText(Counted("msgObject", "%i1 objects", folderPictures_));
    emit fillFinished();
}

void TThumbail::Stop() {
    if (!fill_) return;
    fill_->Stop();
    // What the workers have finished is shown; a file still being read is
    // not waited for. Every turn takes a result or ends the fill.
    while (fill_) TakeFolderResults();
}

// ---------------------------------------------------------------- documents and files

// Every filler but the folder's: refused while the grid is Busy; else Busy
// (the tiles removed first, when asked) until End or the end of the scope.
class TThumbail::FillScope {
public:
    FillScope(TThumbail& grid, bool clear) : grid_(grid), on_(!grid.busy_) {
        if (!on_) return;
        grid.BeginBusy();
        if (clear) grid.Clear();
    }
    ~FillScope() { End(); }
    FillScope(const FillScope&) = delete;
    FillScope& operator=(const FillScope&) = delete;
    explicit operator bool() const { return on_; }
    void End() {
        if (on_) grid_.EndBusy();
        on_ = false;
    }

private:
    TThumbail& grid_;
    bool on_;
};

void TThumbail::LoadIconImages(const TmyIcon& document, bool asFrames) {
    FillScope fill(*this, true);
    if (!fill) return;
    const int n = document.Count();
    AddingScope adding(*this);
    for (int i = 0; i < n; ++i) {
        TThumbnailItem& item = Add();
        item.Kind = tkDocumentImage;
        item.Caption = ImageCaption(asFrames, i, document.Image(i));
        const TTilePicture pic = PictureOfImage(document.Image(i), thumbnailSize_);
        item.SetPicture(pic.Bitmap, pic.Source);
    }
    fill.End();
    SetStatusText(Counted("msgObject", "%i1 objects", n));
}

void TThumbail::LoadAniFrames(const QString& fileName) {
    FillScope fill(*this, true);
    if (!fill) return;
    TmyANI doc;
    TmyANIIO reader(false);
    try {
        reader.LoadFromFile(doc, FileNameBytes(fileName));
    } catch (...) {
        doc = TmyANI();
    }
    for (int i = 0; i < doc.Count(); ++i) {
        TThumbnailItem& item = Add();
        item.Kind = tkDocumentImage;
        item.Caption = Counted("msgFrame", "Frame %i1", i + 1);
        const TTilePicture pic = PictureOfImage(doc.Image(i), thumbnailSize_);
        item.SetPicture(pic.Bitmap, pic.Source);
    }
    fill.End();
    SetStatusText(Counted("msgObject", "%i1 objects", doc.Count()));
}

FileError TThumbail::LoadGifFrames(const QString& fileName, bool overimpose) {
    const FileTypeResult type = DetectFileType(FileNameBytes(fileName));
    if (!type.ok() || type.type != ftGif) return FileError::None;
    FillScope fill(*this, true);
    if (!fill) return FileError::None;
    int frames = 0;
    FileError why;
    try {
        TGIFImage gif;
        if (gif.LoadFromFile(FileNameBytes(fileName)) && gif.Width() > 0 && gif.Height() > 0) {
            QImage screen(gif.Width(), gif.Height(), QImage::Format_RGB32);
            screen.fill(Qt::white);
            // A frame without an image (extensions after the last one) gets no tile.
            const std::vector<int> pictures = gif.PictureFrames();
            frames = static_cast<int>(pictures.size());
            for (int i = 0; i < frames; ++i) {
                if (!overimpose) screen.fill(Qt::white);
                DrawGifFrame(gif.Images()[pictures[static_cast<std::size_t>(i)]], screen);
                TThumbnailItem& item = Add();
                item.Kind = tkGifFrame;
                item.Caption = Counted("msgFrame", "Frame %i1", i + 1);
                const TTilePicture pic = PictureOfBitmap(screen, screen.size(), thumbnailSize_);
                item.SetPicture(pic.Bitmap, pic.Source);
            }
        }
    } catch (const GIFLimitException&) {
        why = FileError::TooLarge;
    } catch (...) {
        // A damaged GIF keeps the frames read before the damage.
    }
    fill.End();
    SetStatusText(Counted("msgObject", "%i1 objects", frames));
    return why;
}

void TThumbail::LoadFileIcons(const QString& fileName) {
    FillScope fill(*this, true);
    if (!fill) return;
    IconExtractor icons;
    icons.Open(FileNameBytes(fileName));
    const int n = icons.Count();
    for (int i = 0; i < n; ++i) {
        TThumbnailItem& item = Add();
        item.Kind = tkIcon;
        item.Caption = Counted("msgIcon", "Icon %i1", i + 1);
        item.SetPicture(icons.Icon(i));
    }
    fill.End();
    SetStatusText(Counted("msgObject", "%i1 objects", n));
}

void TThumbail::LoadCursorResources(const QString& fileName, bool useNames) {
    FillScope fill(*this, true);
    if (!fill) return;
    PeModule module;
    if (!module.Load(FileNameBytes(fileName))) {
        // Not an executable read as data: its icons, as the system extracts them.
        fill.End();
        LoadFileIcons(fileName);
        return;
    }
    const ResName groupType = ResName::FromId(RT_GROUP_CURSOR);
    const std::vector<ResName> names = module.ResourceNames(groupType);
    const int total = static_cast<int>(names.size());
    int tiles = 0;
    for (const ResName& name : names) {
        for (const std::uint32_t language : module.ResourceLanguages(groupType, name)) {
            const auto group = module.FindResource(groupType, name, language);
            if (!group) return;  // a group listed but not found ends the whole listing
            ByteReader r(*group);
            std::uint16_t reserved = 1, kind = 0, count = 0;
            if (!r.u16le(reserved) || !r.u16le(kind) || !r.u16le(count) || reserved != 0 || kind != 2 || count == 0)
                continue;
            if (!r.has(14ull * count)) continue;  // shorter than its count says
            ++tiles;
            const QString resourceName = QString::fromStdString(ResNameText(name));
            TThumbnailItem& item = Add();
            item.Kind = tkCursorGroup;
            item.LanguageId = static_cast<std::uint16_t>(language);
            item.ResourceName = resourceName;
            item.Caption = useNames ? resourceName
                                    : Counted("msgCursor", "Cursor %i1", tiles) + " (" + QString::number(count) + ")";
            SetStatusText(ReadingStatus(tiles, total));
            const std::span<const std::uint8_t> entries = group->subspan(6, 14ull * count);
            std::vector<std::uint8_t> widths(count);
            for (int k = 0; k < count; ++k) widths[static_cast<std::size_t>(k)] = entries[14ull * k];
            const std::size_t chosen = 14ull * static_cast<std::size_t>(ChooseGroupEntry(widths));
            const std::uint16_t id = static_cast<std::uint16_t>(entries[chosen + 12] | (entries[chosen + 13] << 8));
            const std::uint8_t hint = entries[chosen + 6];
            const auto data = module.FindResource(ResName::FromId(RT_CURSOR), ResName::FromId(id), language);
            if (!data || data->size() <= 4) continue;
            ByteReader image(data->subspan(4));
            TmyIcon doc;
            TmyIcoIO reader(false);
            // Groups this program writes hold the hotspot's low byte where
            // others hold the depth: a hint that is no depth lets the PNG say.
            const bool depthHint = hint == 1 || hint == 4 || hint == 8 || hint == 24 || hint == 32;
            bool read = false;
            try {
                read = reader.ReadImage(doc, hint, image, !depthHint);
            } catch (...) {
                read = false;
            }
            if (!read || doc.Count() == 0) continue;
            const TTilePicture pic = PictureOfImage(doc.CurrentImage(), thumbnailSize_);
            item.SetPicture(pic.Bitmap, pic.Source);
        }
    }
    fill.End();
    SetStatusText(Counted("msgObject", "%i1 objects", total));
}

void TThumbail::ReplaceSelectedFromFile(const QString& fileName) {
    if (selection_.empty()) return;
    FillScope fill(*this, false);
    if (!fill) return;
    const int i = selection_.front();
    TThumbnailItem& item = Item(i);
    item.Kind = tkFile;
    item.FileName = fileName;  // the caption stays
    const TTilePicture pic = PictureOfIconFile(FileNameBytes(fileName), thumbnailSize_);
    if (pic.Ok) item.SetPicture(pic.Bitmap, pic.Source);
    UpdateItem(i);
}

void TThumbail::AddCursorFiles(const QStringList& files) {
    FillScope fill(*this, false);
    if (!fill) return;
    ClearSelection();
    for (const QString& file : files) {
        const FileTypeResult type = DetectFileType(FileNameBytes(file));
        if (!type.ok() || type.type != ftCursor) continue;
        const QString caption = MakeUniqueName(QStringLiteral("#"));
        TThumbnailItem& item = Add();
        item.Kind = tkFile;
        item.FileName = file;
        item.Caption = caption;
        const TTilePicture pic = PictureOfIconFile(FileNameBytes(file), thumbnailSize_);
        if (pic.Ok) item.SetPicture(pic.Bitmap, pic.Source);
    }
}

}  // namespace velto
