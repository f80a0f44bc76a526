#include "FolderFill.h"

#include "TileSources.h"
#include "model/Detect.h"
#include "platform/FileIO.h"

#include <QCoreApplication>

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

QEvent::Type TFolderFill::TurnEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TFolderFill::TFolderFill(QObject& turns, std::string folder, int tileSize, int threads, int firstScreen)
    : turns_(&turns), folder_(std::move(folder)), tileSize_(tileSize), firstScreen_(std::max(1, firstScreen)),
      lastTake_(Clock::now()) {
    TurnEvent();  // registered on the GUI thread, before any worker posts it
    const int n = std::max(1, threads);
    active_ = n;
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
    // The grid joins the workers before its object goes, so it is alive here.
    QCoreApplication::postEvent(turns_, new QEvent(TurnEvent()), Qt::LowEventPriority);
}

void TFolderFill::Deliver(int i, Entry&& result) {
    bool tell = false;
    {
        std::lock_guard lock(mutex_);
        entries_[static_cast<std::size_t>(i)] = std::move(result);
        ready_[static_cast<std::size_t>(i)] = 1;
        const int total = static_cast<int>(entries_.size());
        // An entry is counted once, when the ready run reaches it (it may be
        // taken soon after, but not before).
        while (prefix_ < total && ready_[static_cast<std::size_t>(prefix_)]) {
            if (entries_[static_cast<std::size_t>(prefix_)].Shown) ++shownReady_;
            ++prefix_;
        }
        const int waiting = shownReady_ - shownTaken_;
        if (!firstReady_) {
            firstReady_ = shownReady_ >= firstScreen_ || prefix_ == total;
            tell = firstReady_;
        } else {
            tell = waiting >= kBatch || prefix_ == total;
        }
        tell = tell || (waiting > 0 && Clock::now() - lastTake_ >= (firstReady_ ? kLatency : kFirstScreenWait));
        if (tell) told_ = true;
    }
    if (tell) Notify();
}

void TFolderFill::Work(int worker) {
    if (worker == 0) {
        std::vector<std::string> files = stop_ ? std::vector<std::string>{} : ListFolderFiles(folder_);
        {
            std::lock_guard lock(mutex_);
            entries_.resize(files.size());
            for (std::size_t i = 0; i < files.size(); ++i) {
                entries_[i].Path = std::move(files[i]);
                entries_[i].Index = static_cast<int>(i);
            }
            ready_.assign(files.size(), 0);
            listed_ = true;
        }
        listedCv_.notify_all();
        Notify();  // the grid lays out the first captions while the pictures are made
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
        result.Index = i;
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
        Deliver(i, std::move(result));
    }
    if (active_.fetch_sub(1) == 1) told_ = true;  // nothing more comes
    Notify();
}

bool TFolderFill::BeginTurn() {
    posted_ = false;  // before told_ is read: a worker telling later posts again
    return told_.load();
}

std::vector<std::string> TFolderFill::ListedHead(int n) {
    std::vector<std::string> paths;
    if (!listed_) return paths;
    std::lock_guard lock(mutex_);
    if (taken_ > 0) return paths;  // their paths were moved out
    const int count = std::min(n, static_cast<int>(entries_.size()));
    for (int i = 0; i < count; ++i) paths.push_back(entries_[static_cast<std::size_t>(i)].Path);
    return paths;
}

std::vector<TFolderFill::Entry> TFolderFill::Take(int tiles, bool& done, bool& more) {
    posted_ = false;
    std::vector<Entry> out;
    std::lock_guard lock(mutex_);
    lastTake_ = Clock::now();
    const int total = static_cast<int>(entries_.size());
    const auto readyAt = [&](int i) { return listed_ && i < total && ready_[static_cast<std::size_t>(i)]; };
    int shown = 0;
    for (int looked = 0; readyAt(taken_) && shown < tiles && looked < 8 * tiles; ++looked, ++taken_) {
        Entry& e = entries_[static_cast<std::size_t>(taken_)];
        shown += e.Shown ? 1 : 0;
        out.push_back(std::move(e));
    }
    shownTaken_ += shown;
    done = (listed_ && taken_ == total) || (stop_ && !readyAt(taken_));
    more = !done && readyAt(taken_);
    return out;
}

}  // namespace velto
