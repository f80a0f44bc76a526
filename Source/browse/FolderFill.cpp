#include "FolderFill.h"

#include "ThumbnailGrid.h"
#include "TileSources.h"
#include "model/Detect.h"
#include "platform/FileIO.h"

#include <QMetaObject>

#include <algorithm>
#include <strings.h>

#include <dirent.h>
#include <sys/stat.h>

namespace velto {

namespace {

// Files up to this size are read whole by the workers (a cursor of 256 x
// 256 at 32 bits is some 270 KB); larger ones only for their heads first.
constexpr std::uint64_t kReadWhole = 512 * 1024;

}  // namespace

std::vector<std::string> ListFolderFiles(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') continue;  // hidden, "." and ".."
        bool regular = e->d_type == DT_REG;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            // Only the file type is asked for: nothing is opened.
            struct stat st {};
            regular = ::stat((base + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
        }
        if (regular) names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int c = ::strcasecmp(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
    for (std::string& n : names) n = base + n;
    return names;
}

TFolderFill::TFolderFill(TThumbail& grid, std::string folder, int tileSize, int threads)
    : grid_(&grid), folder_(std::move(folder)), tileSize_(tileSize) {
    const int n = std::max(1, threads);
    workers_.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) workers_.emplace_back([this, i] { Work(i); });
}

TFolderFill::~TFolderFill() { StopAndJoin(); }

void TFolderFill::StopAndJoin() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    listedCv_.notify_all();
    for (std::thread& t : workers_)
        if (t.joinable()) t.join();
}

void TFolderFill::Notify() {
    if (posted_.exchange(true)) return;
    TThumbail* grid = grid_;
    // The grid joins the workers before it is destroyed, so it is alive here.
    QMetaObject::invokeMethod(grid, [grid] { grid->TakeFolderResults(); }, Qt::QueuedConnection);
}

void TFolderFill::Work(int worker) {
    if (worker == 0) {
        std::vector<std::string> files = stop_ ? std::vector<std::string>{} : ListFolderFiles(folder_);
        {
            std::lock_guard lock(mutex_);
            entries_.resize(files.size());
            for (std::size_t i = 0; i < files.size(); ++i) entries_[i].Path = std::move(files[i]);
            ready_.assign(files.size(), 0);
            listed_ = true;
        }
        listedCv_.notify_all();
    } else {
        std::unique_lock lock(mutex_);
        listedCv_.wait(lock, [this] { return listed_.load() || stop_.load(); });
    }
    const int total = listed_ ? static_cast<int>(entries_.size()) : 0;
    while (!stop_) {
        const int i = next_.fetch_add(1);
        if (i >= total) break;
        Entry result;
        {
            std::lock_guard lock(mutex_);
            result.Path = entries_[static_cast<std::size_t>(i)].Path;
        }
        // Icons and cursors, most of a cursor folder, are read once for both
        // the detection and the picture; other files by their own readers.
        std::vector<std::uint8_t> bytes;
        FileTypeResult type;
        if (ReadWholeFile(result.Path, bytes, kReadWhole)) type.type = DetectFileType(bytes, bytes.size());
        else type = DetectFileType(result.Path);
        if (type.ok() && IsFolderPictureType(type.type)) {
            result.Shown = true;
            TTilePicture picture = !bytes.empty() && (type.type == ftIcon || type.type == ftCursor)
                                       ? PictureOfIconBytes(bytes, tileSize_)
                                       : PictureOfFile(result.Path, type.type, tileSize_);
            result.PictureOk = picture.Ok;
            result.Bitmap = std::move(picture.Bitmap);
            result.Source = picture.Source;
        }
        {
            std::lock_guard lock(mutex_);
            entries_[static_cast<std::size_t>(i)] = std::move(result);
            ready_[static_cast<std::size_t>(i)] = 1;
        }
        Notify();
    }
    Notify();
}

std::vector<TFolderFill::Entry> TFolderFill::Take(int limit, bool& done) {
    posted_ = false;
    std::vector<Entry> out;
    std::lock_guard lock(mutex_);
    const int total = static_cast<int>(entries_.size());
    while (listed_ && taken_ < total && ready_[static_cast<std::size_t>(taken_)] &&
           static_cast<int>(out.size()) < limit) {
        out.push_back(std::move(entries_[static_cast<std::size_t>(taken_)]));
        ++taken_;
    }
    done = (listed_ && taken_ == total) || (stop_ && (!listed_ || taken_ == total ||
                                                      !ready_[static_cast<std::size_t>(taken_)]));
    return out;
}

}  // namespace velto
