#include "FolderFill.h"

#include "TileSources.h"
#include "model/Detect.h"
#include "platform/FileIO.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <strings.h>

#include <dirent.h>
#include <sys/stat.h>

namespace velto {

namespace {

// Files up to this size are read whole by the workers (a cursor of 256 x
// 256 at 32 bits is some 270 KB); larger ones only for their heads first.
constexpr std::uint64_t kReadWhole = 512 * 1024;

using Clock = std::chrono::steady_clock;

}  // namespace

struct TFolderFill::State {
    State(QObject& turns, std::string folder, int tileSize, int firstScreen, EntryMaker maker)
        : turns_(&turns), folder_(std::move(folder)), tileSize_(tileSize), firstScreen_(std::max(1, firstScreen)),
          maker_(maker ? std::move(maker) : EntryMaker(&TFolderFill::MakeEntry)), lastTake_(Clock::now()) {}

    void Work();
    // Stores entry i's result and tells the grid when it should take.
    void Deliver(int i, Entry&& result);
    void Notify();

    std::mutex turnsMutex_;
    QObject* turns_;  // only posted to, never touched by the workers; null once stopped
    const std::string folder_;
    const int tileSize_;
    const int firstScreen_;
    const EntryMaker maker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> listing_{false};  // a worker took the listing
    std::atomic<bool> listed_{false};
    std::atomic<bool> posted_{false};
    std::atomic<bool> told_{false};
    std::atomic<int> next_{0};
    std::atomic<int> working_{0};  // workers that may still deliver
    std::atomic<int> active_{0};   // workers whose thread has not yet ended
    std::mutex mutex_;
    std::condition_variable listedCv_;
    // Guarded by mutex_.
    std::vector<Entry> entries_;
    std::vector<std::uint8_t> ready_;
    int prefix_ = 0;      // entries below are all ready...
    int shownReady_ = 0;  // ...and this many of them get a tile,
    int shownTaken_ = 0;  // of which the grid took this many,
    Clock::time_point lastTake_;  // last at this time
    int taken_ = 0;               // entries the grid took
    bool firstReady_ = false;     // the first screen was told
};

namespace {

// The workers of every fill, with the state they share, until they are
// joined: a fill never waits for its own.
struct FillWorkers {
    std::mutex mutex;
    std::vector<std::pair<std::shared_ptr<TFolderFill::State>, std::thread>> threads;
    bool hooked = false;

    // Joins the workers that have ended (all of them when wait is set).
    void Join(bool wait) {
        std::vector<std::thread> ending;
        {
            std::lock_guard lock(mutex);
            for (auto it = threads.begin(); it != threads.end();) {
                if (wait || it->first->active_.load() == 0) {
                    ending.push_back(std::move(it->second));
                    it = threads.erase(it);
                } else {
                    ++it;
                }
            }
        }
        for (std::thread& t : ending)
            if (t.joinable()) t.join();
    }
    ~FillWorkers() { Join(true); }
};

FillWorkers& Workers() {
    static FillWorkers workers;
    return workers;
}

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

void TFolderFill::MakeEntry(Entry& entry, int tileSize) {
    // Icons and cursors, most of a cursor folder, are read once for both
    // the detection and the picture; other files by their own readers.
    std::vector<std::uint8_t> bytes;
    FileTypeResult type;
    if (ReadWholeFile(entry.Path, bytes, kReadWhole)) type.type = DetectFileType(bytes, bytes.size());
    else type = DetectFileType(entry.Path);
    if (!type.ok() || !IsFolderPictureType(type.type)) return;
    entry.Shown = true;
    TTilePicture picture = !bytes.empty() && (type.type == ftIcon || type.type == ftCursor)
                               ? PictureOfIconBytes(bytes, tileSize)
                               : PictureOfFile(entry.Path, type.type, tileSize);
    entry.PictureOk = picture.Ok;
    entry.Bitmap = std::move(picture.Bitmap);
    entry.Source = picture.Source;
}

QEvent::Type TFolderFill::TurnEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TFolderFill::TFolderFill(QObject& turns, std::string folder, int tileSize, int threads, int firstScreen,
                         EntryMaker maker)
    : s_(std::make_shared<State>(turns, std::move(folder), tileSize, firstScreen, std::move(maker))) {
    TurnEvent();  // registered on the GUI thread, before any worker posts it
    FillWorkers& all = Workers();
    all.Join(false);  // those of earlier fills that have ended
    const int n = std::max(1, threads);
    s_->active_ = n;
    s_->working_ = n;
    std::vector<std::thread> workers;
    for (int i = 0; i < n; ++i) workers.emplace_back([s = s_] { s->Work(); });
    std::lock_guard lock(all.mutex);
    // The application object, when it goes, waits for every worker left.
    if (!all.hooked && QCoreApplication::instance()) {
        all.hooked = true;
        qAddPostRoutine(&TFolderFill::JoinAllWorkers);
    }
    for (std::thread& t : workers) all.threads.emplace_back(s_, std::move(t));
}

TFolderFill::~TFolderFill() { Stop(); }

void TFolderFill::JoinAllWorkers() { Workers().Join(true); }

void TFolderFill::Stop() {
    {
        std::lock_guard lock(s_->mutex_);
        s_->stop_ = true;
    }
    s_->listedCv_.notify_all();
    std::lock_guard lock(s_->turnsMutex_);
    s_->turns_ = nullptr;
}

bool TFolderFill::Stopped() const { return s_->stop_.load(); }
int TFolderFill::FirstScreen() const { return s_->firstScreen_; }

int TFolderFill::Total() const {
    if (!s_->listed_.load()) return -1;
    std::lock_guard lock(s_->mutex_);
    return static_cast<int>(s_->entries_.size());
}

void TFolderFill::State::Notify() {
    if (posted_.exchange(true)) return;
    std::lock_guard lock(turnsMutex_);
    if (turns_) QCoreApplication::postEvent(turns_, new QEvent(TurnEvent()), Qt::LowEventPriority);
}

void TFolderFill::State::Deliver(int i, Entry&& result) {
    bool tell = false;
    {
        std::lock_guard lock(mutex_);
        if (stop_) return;  // finished after the stop: dropped
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

void TFolderFill::State::Work() {
    // The first worker to run lists: on a busy machine a thread may wait
    // milliseconds for a processor, and the others have nothing to do before.
    if (!listing_.exchange(true)) {
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
    int total = 0;
    if (listed_) {
        std::lock_guard lock(mutex_);
        total = static_cast<int>(entries_.size());
    }
    while (!stop_) {
        const int i = next_.fetch_add(1);
        if (i >= total) break;
        Entry result;
        {
            std::lock_guard lock(mutex_);
            result.Path = entries_[static_cast<std::size_t>(i)].Path;
        }
        result.Index = i;
        maker_(result, tileSize_);
        Deliver(i, std::move(result));
    }
    // The last to end says that nothing more comes.
    if (working_.fetch_sub(1) == 1) told_ = true;
    Notify();
    active_.fetch_sub(1);  // last: a joiner seeing 0 waits for nothing
}

bool TFolderFill::BeginTurn() {
    s_->posted_ = false;  // before told_ is read: a worker telling later posts again
    return s_->told_.load();
}

std::vector<std::string> TFolderFill::ListedHead(int n) {
    std::vector<std::string> paths;
    if (!s_->listed_) return paths;
    std::lock_guard lock(s_->mutex_);
    if (s_->taken_ > 0) return paths;  // their paths were moved out
    const int count = std::min(n, static_cast<int>(s_->entries_.size()));
    for (int i = 0; i < count; ++i) paths.push_back(s_->entries_[static_cast<std::size_t>(i)].Path);
    return paths;
}

std::vector<TFolderFill::Entry> TFolderFill::Take(int tiles, bool& done, bool& more) {
    State& s = *s_;
    s.posted_ = false;
    std::vector<Entry> out;
    std::lock_guard lock(s.mutex_);
    s.lastTake_ = Clock::now();
    const int total = static_cast<int>(s.entries_.size());
    const auto readyAt = [&](int i) { return s.listed_ && i < total && s.ready_[static_cast<std::size_t>(i)]; };
    int shown = 0;
    for (int looked = 0; readyAt(s.taken_) && shown < tiles && looked < 8 * tiles; ++looked, ++s.taken_) {
        Entry& e = s.entries_[static_cast<std::size_t>(s.taken_)];
        shown += e.Shown ? 1 : 0;
        out.push_back(std::move(e));
    }
    s.shownTaken_ += shown;
    done = (s.listed_ && s.taken_ == total) || (s.stop_ && !readyAt(s.taken_));
    more = !done && readyAt(s.taken_);
    return out;
}

}  // namespace velto
