#pragma once
// The folder listing of a grid, on worker threads. One worker lists the
// folder (regular files only, hidden ones left out, sorted by name); then
// every worker claims the next entry, detects its type by content and makes
// its picture. The grid takes the results on its own thread, strictly in
// folder order, as they become ready, so tiles appear in the order the
// listing has, however the workers interleave. The workers touch no widget;
// they only post a TurnEvent to an object of the grid's, which joins them
// before it goes away.
//
// When the grid gets a turn: once the listing is there (it lays out the
// first captions meanwhile); once the tiles of its first screen are all ready
// (together, so that the first screen is painted whole and early, not in
// pieces each with its own paint); then whenever a batch more is ready, or
// tiles have waited a while by the time the next file is done; and at the end.
#include <QEvent>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velto {

// The regular files of a folder that are not hidden, sorted by name (case
// ignored, then as is). FIFOs, sockets, devices and folders are left out
// without being opened.
std::vector<std::string> ListFolderFiles(const std::string& folder);

class TFolderFill {
public:
    struct Entry {
        std::string Path;
        int Index = 0;       // place in the listing
        bool Shown = false;  // a picture type: the entry gets a tile
        bool PictureOk = false;
        QImage Bitmap;
        QSize Source;
    };

    // The event posted (at low priority: after the paints waiting) when the
    // grid has a turn.
    static QEvent::Type TurnEvent();

    // turns: the grid's object that receives TurnEvent; firstScreen: the
    // tiles the grid shows without scrolling.
    TFolderFill(QObject& turns, std::string folder, int tileSize, int threads, int firstScreen);
    ~TFolderFill();  // stops and joins
    TFolderFill(const TFolderFill&) = delete;
    TFolderFill& operator=(const TFolderFill&) = delete;

    // Ends the workers between two files and waits for them.
    void StopAndJoin();
    bool Stopped() const { return stop_.load(); }

    // GUI thread: moves out the entries that are ready, in order, from the
    // first not yet taken, until `tiles` of them get a tile (or 8 times as
    // many entries were looked at). done is set once every entry was taken
    // (or the fill was stopped and nothing more will come); more when
    // entries are left that are ready already.
    std::vector<Entry> Take(int tiles, bool& done, bool& more);
    // GUI thread, first in every turn: whether the grid was told that tiles
    // are ready (or that nothing more comes); a turn before that is the
    // listing's, which takes nothing.
    bool BeginTurn();
    // The paths of the first n entries of the listing (fewer when the folder
    // has fewer; none while the listing runs or once entries were taken).
    std::vector<std::string> ListedHead(int n);
    int FirstScreen() const { return firstScreen_; }
    // Entries listed (-1 while the listing runs).
    int Total() const { return listed_.load() ? static_cast<int>(entries_.size()) : -1; }

    // Tiles the grid is told about at once after its first screen.
    static constexpr int kBatch = 128;
    // Tiles ready wait about this long at most (checked when a file is
    // done); before the first screen is whole, the longer wait.
    static constexpr std::chrono::milliseconds kLatency{30};
    static constexpr std::chrono::milliseconds kFirstScreenWait{250};

private:
    using Clock = std::chrono::steady_clock;
    void Work(int worker);
    // Stores entry i's result and tells the grid when it should take.
    void Deliver(int i, Entry&& result);
    void Notify();

    QObject* turns_;  // only posted to, never touched by the workers
    std::string folder_;
    int tileSize_;
    int firstScreen_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> listed_{false};
    std::atomic<bool> posted_{false};
    std::atomic<bool> told_{false};
    std::atomic<int> next_{0};
    std::atomic<int> active_{0};  // workers not yet ended
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
    std::vector<std::thread> workers_;
};

}  // namespace velto
