#pragma once
// The folder listing of a grid, on worker threads. The first worker to run
// lists the folder (regular files only, hidden ones left out, sorted by
// name); then every worker claims the next entry, detects its type by content
// and makes its picture. The grid takes the results on its own thread,
// strictly in folder order, as they become ready, so tiles appear in the
// order the listing has, however the workers interleave. The workers touch
// no widget; they only post a TurnEvent to an object of the grid's, and
// never once the fill was stopped.
//
// Stopping never waits for a file: a worker busy with one (a photo of many
// megapixels takes a second) finishes it unseen, its result dropped, and
// ends; its thread is joined later (when the next fill starts, or when the
// application object goes), so the window is never held.
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

#include <chrono>
#include <functional>
#include <memory>
#include <string>
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

    // Fills Shown, PictureOk, Bitmap and Source of an entry from the file at
    // its Path, for a tile of tileSize (the workers' call).
    using EntryMaker = std::function<void(Entry& entry, int tileSize)>;
    static void MakeEntry(Entry& entry, int tileSize);

    // The event posted (at low priority: after the paints waiting) when the
    // grid has a turn.
    static QEvent::Type TurnEvent();

    // turns: the grid's object that receives TurnEvent; firstScreen: the
    // tiles the grid shows without scrolling; maker: MakeEntry unless given.
    TFolderFill(QObject& turns, std::string folder, int tileSize, int threads, int firstScreen,
                EntryMaker maker = {});
    ~TFolderFill();  // stops
    TFolderFill(const TFolderFill&) = delete;
    TFolderFill& operator=(const TFolderFill&) = delete;

    // Ends the fill at once: no worker claims another file or posts another
    // turn; what they finish from now on is dropped.
    void Stop();
    bool Stopped() const;

    // Waits until the workers of every fill have ended (of a running one
    // too: stop it first).
    static void JoinAllWorkers();

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
    int FirstScreen() const;
    // Entries listed (-1 while the listing runs).
    int Total() const;

    // Tiles the grid is told about at once after its first screen.
    static constexpr int kBatch = 128;
    // Tiles ready wait about this long at most (checked when a file is
    // done); before the first screen is whole, the longer wait.
    static constexpr std::chrono::milliseconds kLatency{30};
    static constexpr std::chrono::milliseconds kFirstScreenWait{250};

    struct State;  // shared by the fill and its workers

private:
    std::shared_ptr<State> s_;
};

}  // namespace velto
