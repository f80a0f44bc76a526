#pragma once
// The batch converter's engine: a list of files turned into cursors, pictures
// or the cursors inside executables, with a log line for every step.
//
// Files are converted on several threads at once, but the log comes out in
// the user's order, output names are claimed in that order (so the result is
// the same as one file after the other), and Stop only keeps files not yet
// begun from beginning. No worker waits for another's file: a file converted
// early waits (with its content made) for the files before it to claim their
// names, and is written by whichever worker claims its names. Nothing
// existing is overwritten: a taken name gets " (2)", " (3)", ... before its
// extension, and every output is written through the file writer's create
// mode (a temporary given the name only when complete, and only while nothing
// holds it). A name the folder will not give (too long, a folder that cannot
// be searched, every number taken) ends its file with the reason, and the
// run goes on.
//
// Qt-free. The loaders and writers run on private service instances without
// hooks, and every reader a worker creates has its messages off, so no window
// is ever asked from a worker thread. The image library and the codecs keep
// no shared state, so workers load and write without a lock of their own.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "import/MyImport.h"
#include "platform/Temporaries.h"

namespace velto {

enum class TBatchMode : std::uint8_t {
    ImagesToCursors = 0,   // pictures (and cursors) into 32 x 32 cursors
    CursorsToImages = 1,   // every image of a cursor as a picture
    ResourceCursors = 2,   // the cursor groups of executables as ".cur" files
};

// FailedNotice: the final notice of a run in which files failed.
enum class TBatchLineKind : std::uint8_t { Processing, Success, Warning, Error, Notice, FailedNotice };

struct TBatchLine {
    TBatchLineKind Kind = TBatchLineKind::Success;
    std::string Text;  // the whole line as shown (without its leading empty line)
};

// The texts of the log, in the language in force (fetched on the caller's thread).
struct TBatchTexts {
    std::string Warning = "Warning: ";
    std::string Success = "Success: ";
    std::string Error = "Error: ";
    std::string Processing = "- Processing: ";
    std::string Not32Bit =
        "This is not a 32bit file. Only the 32x32 image will be extracted and the transparency will be lost!";
    std::string ErrorOpen = "Cannot open file";
    std::string ErrorSave = "Cannot save file";
    std::string SuccessReason = "File created successfully";
    std::string NoIcon = "The file does not contain icons";
    std::string Complete = "Operation completed!";
    std::string Cancelled = "Operation canceled by user!";
    // %i1 files that logged an error, of %i2.
    std::string Failed = "Operation completed, but %i1 of %i2 files failed!";
    // The same texts from the language file.
    static TBatchTexts FromLanguage();
};

struct TBatchJob {
    TBatchMode Mode = TBatchMode::ImagesToCursors;
    std::vector<std::string> Files;
    std::string OutputDir;        // a trailing separator is added when missing
    std::string Output = "cur";   // "cur", "ani" / "bmp", "jpg", "png", "gif"; unused for resources
    int BitCount = 32;            // 32, 24, 8, 4 or 1 (cursors from pictures)
    int HotX = 0, HotY = 0;
    bool Dithering = false;
    bool PngCursors = false;      // the cursor writer's PNG option
    TImportSettings Import;       // what the loaders and picture writers read
    int Threads = 0;              // 0: one per core
};

// Names UniqueFileName looks at for one output at most: the name itself and
// " (2)" to " (10000)". The search runs under the run's lock.
inline constexpr int kUniqueNameTries = 10000;

// name, or name with " (n)" (n = 2, 3, ...) before the extension: the first
// that is not in `taken` and names nothing in the folder (a file, folder,
// link or anything else). Empty when no name can be had, error saying why:
// the system would not look at a name (too long, a folder that cannot be
// searched), or all kUniqueNameTries names are taken ("File exists").
std::string UniqueFileName(const std::string& name, const std::set<std::string>& taken = {},
                           FileError* error = nullptr);

// The file's name without folder and extension.
std::string BatchBaseName(const std::string& fileName);

// Why a folder cannot take a run's outputs (missing, not a folder, not
// writable), with the system's reason; None when it can.
FileError OutputFolderError(const std::string& dir);

class TBatchRun {
public:
    explicit TBatchRun(TBatchJob job, TBatchTexts texts = {});
    ~TBatchRun();  // stops and waits
    TBatchRun(const TBatchRun&) = delete;
    TBatchRun& operator=(const TBatchRun&) = delete;

    void Start();
    // No further file begins; files under way finish and are logged (a GIF
    // import stops at its next frame and is logged as cancelled, unwritten).
    void Stop();
    bool Stopped() const { return stop_.load(); }
    // The log lines of files finished since the last call, in file order, and
    // how many files that was. Never blocks.
    int TakeLines(std::vector<TBatchLine>& out);
    // Every file begun has been logged (TakeLines may still hold lines).
    bool Finished() const { return finished_.load(); }
    void Wait();
    // Runs to the end on the calling thread's behalf and returns the whole
    // log with its final notice.
    std::vector<TBatchLine> RunAll();

    // The final notice once Finished: cancelled once Stop was asked (also
    // during the last file), else completed, or how many files failed.
    TBatchLine FinalNotice() const;
    int FileCount() const { return static_cast<int>(job_.Files.size()); }

private:
    struct TOutput;
    struct TFile;
    void Worker();
    void Convert(std::size_t index, TFile& file);
    void ImagesToCursors(std::size_t index, tmyimport& service, TFile& file);
    void CursorsToImages(std::size_t index, tmyimport& service, TFile& file);
    void ResourceCursors(std::size_t index, TFile& file);
    void CursorOutput(TFile& file, std::string wanted, const TmyIcon& doc, bool animated) const;
    // A converted file waits here for its names, which are claimed strictly
    // in file order (made unique against the folder and the names claimed
    // before): its own and those of the files after it that waited for it.
    void Deposit(std::size_t index, TFile&& file);
    // Writes the files whose names were claimed (whichever worker claimed
    // them) and logs their outputs; returns when none is left.
    void WriteClaimed();
    void Processing(std::size_t index, std::vector<TBatchLine>& lines) const;
    void Result(std::vector<TBatchLine>& lines, TBatchLineKind kind, const std::string& a, const std::string& b) const;

    TBatchJob job_;
    TBatchTexts texts_;
    std::vector<std::thread> threads_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> running_{0};
    std::atomic<int> failed_{0};  // files that logged an error

    // Guards everything below.
    std::mutex mutex_;
    std::condition_variable progress_;  // names were claimed, or Stop
    std::size_t next_ = 0;              // the next file to begin
    std::vector<TFile> files_;          // by index: converted, waiting for names or writing
    std::size_t claimedUpTo_ = 0;       // files below this have claimed their names
    std::set<std::string> taken_;
    std::deque<std::size_t> toWrite_;   // claimed, not yet taken by a writer
    std::map<std::size_t, std::vector<TBatchLine>> done_;
    std::size_t delivered_ = 0;

    // What killed runs left in the output folder goes once per run.
    StaleSweep sweep_;
};

}  // namespace velto
