#include "import/BatchConvert.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <memory>

#include "core/Language.h"
#include "engine/ColorDepth.h"
#include "engine/Transform.h"
#include "icns/MacIcoIO.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"
#include "resources/CursorGroups.h"
#include "resources/PeModule.h"

namespace velto {

namespace {

std::string WithSeparator(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

TBitDepth DepthOf(int bits) {
    switch (bits) {
    case 1: return TBitDepth::Bits1;
    case 4: return TBitDepth::Bits4;
    case 8: return TBitDepth::Bits8;
    case 24: return TBitDepth::Bits24;
    default: return TBitDepth::Bits32;
    }
}

// A log text followed by why the file could not be read or written, when
// that was the failure (the log joins the parts of a line with " - ").
// Content a reader refuses has its message already.
std::string WithReason(std::string text, FileError error) {
    if (!error.ok() && error != FileError::Unsupported) text += " - " + FileErrorText(error);
    return text;
}

}  // namespace

TBatchTexts TBatchTexts::FromLanguage() {
    TBatchTexts t;
    TLanguage& l = Lang();
    t.Warning = l.GetMessage("msgWarning", t.Warning);
    t.Success = l.GetMessage("msgSuccess", t.Success);
    t.Error = l.GetMessage("msgError", t.Error);
    t.Processing = l.GetMessage("msgProcessing", t.Processing);
    t.Not32Bit = l.GetMessage("msgNot32Bit", t.Not32Bit);
    t.ErrorOpen = l.GetMessage("msgErrorOpen", t.ErrorOpen);
    t.ErrorSave = l.GetMessage("msgErrorSave", t.ErrorSave);
    t.SuccessReason = l.GetMessage("msgSuccessReason", t.SuccessReason);
    t.NoIcon = l.GetMessage("msgNoIcon", t.NoIcon);
    t.Complete = l.GetMessage("msgComplete", t.Complete);
    t.Cancelled = l.GetMessage("msgCancelled", t.Cancelled);
    t.Failed = l.GetMessage("msgCompleteFailed", t.Failed);
    return t;
}

std::string BatchBaseName(const std::string& fileName) {
    const std::string name = ExtractFileName(fileName);
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

namespace {

enum class TNameLook : std::uint8_t { Free, Taken, Refused };

// One look per name: whatever it names (a dangling link too) keeps it taken.
// Any answer but "nothing there" (a name too long, a folder that cannot be
// searched) is no answer at all: why goes to error.
TNameLook LookAtName(const std::string& name, FileError* error) {
    struct stat st {};
    if (::lstat(name.c_str(), &st) == 0) return TNameLook::Taken;
    if (errno == ENOENT) return TNameLook::Free;
    if (error) *error = FileError::FromErrno(errno);
    return TNameLook::Refused;
}

}  // namespace

std::string UniqueFileName(const std::string& name, const std::set<std::string>& taken, FileError* error) {
    auto look = [&](const std::string& n) { return taken.count(n) ? TNameLook::Taken : LookAtName(n, error); };
    TNameLook seen = look(name);
    if (seen != TNameLook::Taken) return seen == TNameLook::Free ? name : std::string();
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::string stem = hasExt ? name.substr(0, dot) : name;
    const std::string ext = hasExt ? name.substr(dot) : std::string();
    for (int n = 2; n <= kUniqueNameTries; ++n) {
        std::string candidate = stem + " (" + std::to_string(n) + ")" + ext;
        seen = look(candidate);
        if (seen != TNameLook::Taken) return seen == TNameLook::Free ? candidate : std::string();
    }
    if (error) *error = FileError::FromErrno(EEXIST);
    return {};
}

// ---------------------------------------------------------------- the run

// One output of a file: the name it wants and, once claimed, the name it
// got; its content, or the writer that makes it at that name.
struct TBatchRun::TOutput {
    std::string Wanted;
    std::string Name;
    std::vector<std::uint8_t> Bytes;
    bool Made = true;  // false: the content could not be made (a save error)
    bool WantedFree = false;  // the wanted name named nothing when looked at
    FileError NameError;  // why no name could be had (Name stays empty)
};

struct TBatchRun::TFile {
    std::vector<TBatchLine> Lines;
    std::vector<TOutput> Outputs;
    bool Deposited = false;
};

TBatchRun::TBatchRun(TBatchJob job, TBatchTexts texts) : job_(std::move(job)), texts_(std::move(texts)) {
    job_.OutputDir = WithSeparator(job_.OutputDir);
    files_.resize(job_.Files.size());
}

TBatchRun::~TBatchRun() {
    Stop();
    Wait();
}

void TBatchRun::Start() {
    // Every output is made from its own input: one worker per core. (An
    // unnamed file in the output folder is made without the folder's lock,
    // which only its naming takes, briefly.)
    int n = job_.Threads > 0 ? job_.Threads : static_cast<int>(std::thread::hardware_concurrency());
    n = std::clamp(n, 1, std::max(1, FileCount()));
    if (FileCount() == 0) {
        finished_.store(true);
        return;
    }
    running_.store(n);
    for (int i = 0; i < n; ++i) threads_.emplace_back([this] { Worker(); });
}

void TBatchRun::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true);
    }
    progress_.notify_all();
}

void TBatchRun::Wait() {
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
}

std::vector<TBatchLine> TBatchRun::RunAll() {
    Start();
    Wait();
    std::vector<TBatchLine> lines;
    TakeLines(lines);
    lines.push_back(FinalNotice());
    return lines;
}

TBatchLine TBatchRun::FinalNotice() const {
    if (stop_.load()) return {TBatchLineKind::Notice, texts_.Cancelled};
    const int failed = failed_.load();
    if (failed == 0) return {TBatchLineKind::Notice, texts_.Complete};
    std::string text = ReplacePlaceholder(texts_.Failed, "%i1", std::to_string(failed));
    return {TBatchLineKind::FailedNotice, ReplacePlaceholder(std::move(text), "%i2", std::to_string(FileCount()))};
}

FileError OutputFolderError(const std::string& dir) {
    struct stat st {};
    if (dir.empty()) return FileError::FromErrno(ENOENT);
    if (::stat(dir.c_str(), &st) != 0) return FileError::FromErrno(errno);
    if (!S_ISDIR(st.st_mode)) return FileError::FromErrno(ENOTDIR);
    if (::access(dir.c_str(), W_OK | X_OK) != 0) return FileError::FromErrno(errno);
    return FileError::None;
}

int TBatchRun::TakeLines(std::vector<TBatchLine>& out) {
    std::lock_guard lock(mutex_);
    int files = 0;
    for (auto it = done_.find(delivered_); it != done_.end(); it = done_.find(delivered_)) {
        out.insert(out.end(), it->second.begin(), it->second.end());
        done_.erase(it);
        ++delivered_;
        ++files;
    }
    return files;
}

void TBatchRun::Worker() {
    // Files converted ahead of one still under way wait with their content:
    // this many at most.
    constexpr std::size_t ahead = 64;
    for (;;) {
        WriteClaimed();
        std::size_t index = 0;
        {
            std::unique_lock lock(mutex_);
            progress_.wait(lock, [&] { return stop_ || !toWrite_.empty() || next_ < claimedUpTo_ + ahead; });
            if (!toWrite_.empty()) continue;
            if (stop_ || next_ >= files_.size()) break;
            index = next_++;
        }
        TFile file;
        Processing(index, file.Lines);
        try {
            Convert(index, file);
        } catch (const std::exception&) {
            file.Outputs.clear();
            Result(file.Lines, TBatchLineKind::Error, job_.Files[index], texts_.ErrorOpen);
        }
        Deposit(index, std::move(file));
    }
    if (running_.fetch_sub(1) == 1) finished_.store(true);
}

void TBatchRun::Deposit(std::size_t index, TFile&& file) {
    // The folder is looked at before the lock: names of this run are in
    // taken_ whether they exist yet or not, so only other files matter here.
    for (TOutput& out : file.Outputs) out.WantedFree = LookAtName(out.Wanted, &out.NameError) == TNameLook::Free;
    {
        std::lock_guard lock(mutex_);
        files_[index] = std::move(file);
        files_[index].Deposited = true;
        while (claimedUpTo_ < files_.size() && files_[claimedUpTo_].Deposited) {
            // A name the folder will not give ends its file there: the
            // outputs after it would meet the same folder.
            for (TOutput& out : files_[claimedUpTo_].Outputs) {
                if (!out.NameError.ok()) break;
                out.Name = out.WantedFree && !taken_.count(out.Wanted)
                               ? out.Wanted
                               : UniqueFileName(out.Wanted, taken_, &out.NameError);
                if (out.Name.empty()) break;
                taken_.insert(out.Name);
            }
            toWrite_.push_back(claimedUpTo_++);
        }
    }
    progress_.notify_all();
}

void TBatchRun::WriteClaimed() {
    for (;;) {
        std::size_t index = 0;
        TFile file;
        {
            std::lock_guard lock(mutex_);
            if (toWrite_.empty()) return;
            index = toWrite_.front();
            toWrite_.pop_front();
            file = std::move(files_[index]);
        }
        for (TOutput& out : file.Outputs) {
            if (out.Name.empty()) {
                Result(file.Lines, TBatchLineKind::Error, out.Wanted, WithReason(texts_.ErrorSave, out.NameError));
                break;
            }
            // A new file only, complete or not at all, never replacing what
            // appeared at its name since it was claimed. No flush to disk per
            // file: it would cost more than the conversion, and every output
            // can be made again from its input.
            WriteOptions options;
            options.mode = WriteMode::Create;
            options.flush = false;
            options.sweep = &sweep_;
            FileError error;
            const bool saved = out.Made && WriteWholeFile(out.Name, out.Bytes, &error, options);
            if (saved)
                Result(file.Lines, TBatchLineKind::Success, out.Name, texts_.SuccessReason);
            else
                Result(file.Lines, TBatchLineKind::Error, out.Name, WithReason(texts_.ErrorSave, error));
        }
        const bool failed = std::any_of(file.Lines.begin(), file.Lines.end(),
                                        [](const TBatchLine& l) { return l.Kind == TBatchLineKind::Error; });
        if (failed) ++failed_;
        std::lock_guard lock(mutex_);
        done_[index] = std::move(file.Lines);
    }
}

void TBatchRun::Processing(std::size_t index, std::vector<TBatchLine>& lines) const {
    lines.push_back({TBatchLineKind::Processing, std::to_string(index + 1) + "/" + std::to_string(FileCount()) +
                                                     texts_.Processing + job_.Files[index] + " ..."});
}

void TBatchRun::Result(std::vector<TBatchLine>& lines, TBatchLineKind kind, const std::string& a,
                       const std::string& b) const {
    const std::string& prefix = kind == TBatchLineKind::Error     ? texts_.Error
                                : kind == TBatchLineKind::Warning ? texts_.Warning
                                                                  : texts_.Success;
    lines.push_back({kind, "      " + prefix + a + " - " + b});
}

// A document as the bytes of one output: an animation by the animated-cursor
// writer, anything else by the cursor writer.
void TBatchRun::CursorOutput(TFile& file, std::string wanted, const TmyIcon& doc, bool animated) const {
    TOutput& out = file.Outputs.emplace_back();
    out.Wanted = std::move(wanted);
    try {
        if (animated) {
            out.Made = TmyANIIO(false).SaveToBytes(doc, out.Bytes);
        } else {
            ByteWriter w;
            out.Made = TmyIcoIO(false).SaveToStream(doc, w, job_.PngCursors);
            out.Bytes = w.take();
        }
    } catch (const std::exception&) {
        out.Made = false;
    }
}

void TBatchRun::Convert(std::size_t index, TFile& file) {
    // A private service: the job's settings, no hooks, no dialog, no reader's
    // message box; each PNG compressed once (many small files: time counts
    // more than the last bytes).
    tmyimport service;
    const TImportSettings settings = job_.Import;
    service.Hooks.Settings = [settings] { return settings; };
    service.AllowAdvanced = false;
    service.ReaderMessages = false;
    service.CompressOnce = true;
    switch (job_.Mode) {
    case TBatchMode::ImagesToCursors: ImagesToCursors(index, service, file); break;
    case TBatchMode::CursorsToImages: CursorsToImages(index, service, file); break;
    case TBatchMode::ResourceCursors: ResourceCursors(index, file); break;
    }
}

// ---------------------------------------------------------------- the three modes

void TBatchRun::ImagesToCursors(std::size_t index, tmyimport& service, TFile& file) {
    const std::string& name = job_.Files[index];
    const bool animated = job_.Output == "ani";
    std::unique_ptr<TmyIcon> doc = animated ? std::make_unique<TmyANI>() : std::make_unique<TmyIcon>();
    doc->IsCursor = true;
    const std::uint8_t type = DetectFileType(name).type;

    if (animated && type == ftGif) {
        FileError error;
        // Stop ends the import between two frames; what it made is not written.
        service.Hooks.Stopped = [this] { return stop_.load(); };
        const bool read = service.ImportAnimatedGif(static_cast<TmyANI&>(*doc), name, &error);
        if (read && service.Cancelled) {
            Result(file.Lines, TBatchLineKind::Error, name, texts_.Cancelled);
            return;
        }
        if (!read || doc->Count() == 0) {
            const std::string own = GifRefusedText(error);
            Result(file.Lines, TBatchLineKind::Error, name,
                   !own.empty() ? own : WithReason(Lang().GetMessage("msgNotGIF", "Invalid gif file!"), error));
            return;
        }
    } else {
        TmyImagePal work(ImageSize{256, 256}, 32);
        const TImageFileResult loaded = service.LoadImageFile(work, name, true, true);
        if (!loaded.Ok) {
            Result(file.Lines, TBatchLineKind::Error, name,
                   WithReason(Lang().GetMessage(loaded.MessageKey, loaded.Message), loaded.Error));
            return;
        }
        TmyImagePal& image = doc->Image(doc->AddImage(ImageSize{32, 32}, job_.BitCount));
        const int bits = image.BitCount;
        image.Assign(work);
        ResizeFrame(image, ImageSize{32, 32});
        const TPaletteKind kind = animated                          ? TPaletteKind::Mac
                                  : (bits == 1 || bits == 4)        ? TPaletteKind::Windows
                                                                    : TPaletteKind::Optimised;
        ChangeColorDepth(image, DepthOf(bits), kind, job_.Dithering ? TDither::On : TDither::Off);
    }
    for (int i = 0; i < doc->Count(); ++i) {
        doc->Image(i).SetHotSpotX(job_.HotX);
        doc->Image(i).SetHotSpotY(job_.HotY);
    }

    CursorOutput(file, job_.OutputDir + BatchBaseName(name) + "." + job_.Output, *doc, animated);
}

void TBatchRun::CursorsToImages(std::size_t index, tmyimport& service, TFile& file) {
    const std::string& name = job_.Files[index];
    // Read once, for the type and the reader alike.
    std::vector<std::uint8_t> data;
    FileError readError;
    const bool readable = ReadWholeFile(name, data, ReadLimits{}.fileSize, &readError);
    const bool plainCursor = readable && DetectFileType(data, data.size()) == ftCursor;
    std::unique_ptr<TmyIcon> doc;
    bool read = false;
    if (plainCursor) {
        doc = std::make_unique<TmyIcon>();
        ByteReader reader(data);
        read = TmyIcoIO(false).LoadFromStream(*doc, reader);
    } else if (readable) {
        doc = std::make_unique<TmyANI>();
        read = TmyANIIO(false).LoadFromBytes(*doc, data);
    }
    if (!read) {
        Result(file.Lines, TBatchLineKind::Error, name, WithReason(texts_.ErrorOpen, readError));
        return;
    }
    const std::string ext = "." + job_.Output;
    const TExportFormat format = ExportFormatOf(ext);
    for (int j = 0; j < doc->Count(); ++j) {
        const TmyImagePal& image = doc->Image(j);
        TOutput& out = file.Outputs.emplace_back();
        out.Wanted = job_.OutputDir + BatchBaseName(name) + "_" + std::to_string(image.Width()) + "x" +
                     std::to_string(image.Height()) + "-" + std::to_string(image.BitCount);
        if (!plainCursor) out.Wanted += "_" + std::to_string(j);
        out.Wanted += ext;
        try {
            out.Made = service.EncodePicture(format, image, out.Bytes);
        } catch (const std::exception&) {
            out.Made = false;
        }
    }
}

void TBatchRun::ResourceCursors(std::size_t index, TFile& file) {
    const std::string& name = job_.Files[index];
    const std::string base = job_.OutputDir + BatchBaseName(name);
    const FileTypeResult detected = DetectFileType(name);
    if (!detected.ok()) {
        Result(file.Lines, TBatchLineKind::Error, name, WithReason(texts_.ErrorOpen, detected.error));
        return;
    }
    const std::uint8_t type = detected.type;

    // Cursor documents of our own kinds are written again: an animated
    // cursor as "-0.ani" by its own writer, icons, cursors and Apple icons as
    // a real cursor file "-0.cur" by the cursor writer.
    if (type == ftIcon || type == ftCursor || type == ftAnimatedCursor || type == ftIcns) {
        const bool animated = type == ftAnimatedCursor;
        std::unique_ptr<TmyIcon> doc = animated ? std::make_unique<TmyANI>() : std::make_unique<TmyIcon>();
        bool read = false;
        FileError readError;
        if (type == ftIcns)
            read = TmyMacIcoIO(false).LoadFromFile(*doc, name, &readError);
        else if (animated)
            read = TmyANIIO(false).LoadFromFile(*doc, name, &readError);
        else
            read = TmyIcoIO(false).LoadFromFile(*doc, name, &readError);
        if (!read) {
            Result(file.Lines, TBatchLineKind::Error, name, WithReason(texts_.ErrorOpen, readError));
            return;
        }
        doc->IsCursor = true;
        CursorOutput(file, base + (animated ? "-0.ani" : "-0.cur"), *doc, animated);
        return;
    }

    PeModule module;
    if (!module.Load(name)) {
        // A file that could not be read says why; one read but not an
        // executable or library gets the warning of the mode.
        if (const FileError why = GetLastFileError(); !why.ok())
            Result(file.Lines, TBatchLineKind::Error, name, WithReason(texts_.ErrorOpen, why));
        else
            Result(file.Lines, TBatchLineKind::Warning, name, texts_.Not32Bit);
        return;
    }
    const ResName groupType = ResName::FromId(RT_GROUP_CURSOR);
    const std::vector<ResName> names = module.ResourceNames(groupType);
    if (names.empty()) {
        Result(file.Lines, TBatchLineKind::Success, name, texts_.NoIcon);
        return;
    }
    // Every group in every language, in the module's order; numbered in that order.
    for (const ResName& group : names) {
        for (std::uint32_t language : module.ResourceLanguages(groupType, group)) {
            if (stop_.load()) break;
            std::vector<std::uint8_t> bytes;
            if (!BuildCursorFileFromGroup(module, group, static_cast<std::uint16_t>(language), bytes)) continue;
            TOutput& out = file.Outputs.emplace_back();
            out.Wanted = base + "-" + std::to_string(file.Outputs.size()) + ".cur";
            out.Bytes = std::move(bytes);
        }
    }
}

}  // namespace velto
