#pragma once
// The folder listing of a grid, on worker threads. One worker lists the
// folder (regular files only, hidden ones left out, sorted by name); then
// every worker claims the next entry, detects its type by content and makes
// its picture. The grid takes the results on its own thread, strictly in
// folder order, as they become ready, so tiles appear in the order the
// listing has, however the workers interleave. The workers touch no widget;
// they only post "something is ready" to the grid, which joins them before
// it goes away.
#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velto {

class TThumbail;

// The regular files of a folder that are not hidden, sorted by name (case
// ignored, then as is). FIFOs, sockets, devices and folders are left out
// without being opened.
std::vector<std::string> ListFolderFiles(const std::string& folder);

class TFolderFill {
public:
    struct Entry {
        std::string Path;
        bool Shown = false;  // a picture type: the entry gets a tile
        bool PictureOk = false;
        QImage Bitmap;
        QSize Source;
    };

    TFolderFill(TThumbail& grid, std::string folder, int tileSize, int threads);
    ~TFolderFill();  // stops and joins
    TFolderFill(const TFolderFill&) = delete;
    TFolderFill& operator=(const TFolderFill&) = delete;

    // Ends the workers between two files and waits for them.
    void StopAndJoin();
    bool Stopped() const { return stop_.load(); }

    // GUI thread: moves out up to `limit` entries that are ready, in order,
    // from the first not yet taken. done is set once every entry was taken
    // (or the fill was stopped and nothing more will come).
    std::vector<Entry> Take(int limit, bool& done);
    // Entries listed (-1 while the listing runs).
    int Total() const { return listed_.load() ? static_cast<int>(entries_.size()) : -1; }

private:
    void Work(int worker);
    void Notify();

    TThumbail* grid_;  // only posted to, never touched by the workers
    std::string folder_;
    int tileSize_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> listed_{false};
    std::atomic<bool> posted_{false};
    std::atomic<int> next_{0};
    std::mutex mutex_;
    std::condition_variable listedCv_;
    std::vector<Entry> entries_;
    std::vector<std::uint8_t> ready_;  // guarded by mutex_
    int taken_ = 0;                    // GUI thread
    std::vector<std::thread> workers_;
};

}  // namespace velto
