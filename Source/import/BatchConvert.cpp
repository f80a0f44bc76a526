#include "import/BatchConvert.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <memory>
#include <span>

#include "core/Language.h"
#include "engine/ColorDepth.h"
#include "engine/Transform.h"
#include "icns/MacIcoIO.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"
#include "resources/CursorGroups.h"
#include "resources/PeModule.h"

namespace velto {

namespace {

// The image library's format objects are shared and keep state while they
// read or write; every call that may reach them goes through this lock.
std::mutex& LibraryLock() {
    static std::mutex m;
    return m;
}

// Types whose loading stays inside our own readers (no shared library state).
bool OwnReader(std::uint8_t type) { return type == ftIcon || type == ftCursor || type == ftAnimatedCursor; }

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

bool WriteAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// A new file at path holding data, complete or not at all, never replacing
// anything: the data is written to an unnamed file in the target's folder
// that is given its name only when complete and only if the name is still
// free (a killed run leaves nothing behind). Where the file system has no
// unnamed files, a temporary name in the folder is used the same way. Unlike
// a document's save there is no flush to disk per file: it would cost more
// than the conversion, and every output can be made again from its input.
bool WriteNewFile(const std::string& path, std::span<const std::uint8_t> data) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0) {
        bool named = WriteAll(fd, data.data(), data.size());
        if (named) {
            const std::string self = "/proc/self/fd/" + std::to_string(fd);
            named = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
        }
        ::close(fd);
        return named;
    }
    std::string tmpl = dir + ".velto-batch-XXXXXX";
    const int tfd = ::mkstemp(tmpl.data());
    if (tfd < 0) return false;
    const bool written = WriteAll(tfd, data.data(), data.size());
    const bool closed = ::close(tfd) == 0;
    const bool named = written && closed &&
                       ::renameat2(AT_FDCWD, tmpl.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0;
    if (!named) ::unlink(tmpl.c_str());
    return named;
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
    return t;
}

std::string BatchBaseName(const std::string& fileName) {
    const std::string name = ExtractFileName(fileName);
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string UniqueFileName(const std::string& name, const std::set<std::string>& taken) {
    auto free = [&](const std::string& n) { return !taken.count(n) && !FileExists(n) && !DirectoryExists(n); };
    if (free(name)) return name;
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::string stem = hasExt ? name.substr(0, dot) : name;
    const std::string ext = hasExt ? name.substr(dot) : std::string();
    for (int n = 2;; ++n) {
        std::string candidate = stem + " (" + std::to_string(n) + ")" + ext;
        if (free(candidate)) return candidate;
    }
}

// ---------------------------------------------------------------- the run

TBatchRun::TBatchRun(TBatchJob job, TBatchTexts texts) : job_(std::move(job)), texts_(std::move(texts)) {
    job_.OutputDir = WithSeparator(job_.OutputDir);
}

TBatchRun::~TBatchRun() {
    Stop();
    Wait();
}

void TBatchRun::Start() {
    // Past four threads the files' creation in the one output folder contends
    // on its lock and the run gets slower again.
    int n = job_.Threads > 0 ? job_.Threads : std::min(4, static_cast<int>(std::thread::hardware_concurrency()));
    n = std::clamp(n, 1, std::max(1, FileCount()));
    if (FileCount() == 0) {
        finished_.store(true);
        return;
    }
    running_.store(n);
    for (int i = 0; i < n; ++i) threads_.emplace_back([this] { Worker(); });
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
    return {TBatchLineKind::Notice, stop_.load() ? texts_.Cancelled : texts_.Complete};
}

int TBatchRun::TakeLines(std::vector<TBatchLine>& out) {
    std::lock_guard lock(doneMutex_);
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
    for (;;) {
        if (stop_.load()) break;
        const std::size_t index = next_.fetch_add(1);
        if (index >= job_.Files.size()) break;
        std::vector<TBatchLine> lines;
        Processing(index, lines);
        try {
            Convert(index, lines);
        } catch (const std::exception&) {
            Result(lines, TBatchLineKind::Error, job_.Files[index], texts_.ErrorOpen);
        }
        ClaimNames(index, {});  // a file that wrote nothing still passes its turn on
        std::lock_guard lock(doneMutex_);
        done_[index] = std::move(lines);
    }
    if (running_.fetch_sub(1) == 1) finished_.store(true);
}

std::vector<std::string> TBatchRun::ClaimNames(std::size_t index, const std::vector<std::string>& wanted) {
    std::unique_lock lock(namesMutex_);
    namesTurn_.wait(lock, [&] { return claimedUpTo_ >= index; });
    if (claimedUpTo_ > index) return {};  // already claimed
    std::vector<std::string> names;
    for (const std::string& w : wanted) {
        names.push_back(UniqueFileName(w, taken_));
        taken_.insert(names.back());
    }
    claimedUpTo_ = index + 1;
    namesTurn_.notify_all();
    return names;
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

void TBatchRun::Convert(std::size_t index, std::vector<TBatchLine>& lines) {
    // A private service: the job's settings, no hooks, no dialog.
    tmyimport service;
    const TImportSettings settings = job_.Import;
    service.Hooks.Settings = [settings] { return settings; };
    service.AllowAdvanced = false;
    switch (job_.Mode) {
    case TBatchMode::ImagesToCursors: ImagesToCursors(index, service, lines); break;
    case TBatchMode::CursorsToImages: CursorsToImages(index, service, lines); break;
    case TBatchMode::ResourceCursors: ResourceCursors(index, lines); break;
    }
}

// ---------------------------------------------------------------- the three modes

void TBatchRun::ImagesToCursors(std::size_t index, tmyimport& service, std::vector<TBatchLine>& lines) {
    const std::string& file = job_.Files[index];
    const bool animated = job_.Output == "ani";
    std::unique_ptr<TmyIcon> doc = animated ? std::make_unique<TmyANI>() : std::make_unique<TmyIcon>();
    doc->IsCursor = true;
    const std::uint8_t type = DetectFileType(file).type;

    if (animated && type == ftGif) {
        std::lock_guard lock(LibraryLock());
        FileError error;
        if (!service.ImportAnimatedGif(static_cast<TmyANI&>(*doc), file, &error) || doc->Count() == 0) {
            Result(lines, TBatchLineKind::Error, file, Lang().GetMessage("msgNotGIF", "Invalid gif file!"));
            return;
        }
    } else {
        TmyImagePal work(ImageSize{256, 256}, 32);
        TImageFileResult loaded;
        if (OwnReader(type)) {
            loaded = service.LoadImageFile(work, file, true, true);
        } else {
            std::lock_guard lock(LibraryLock());
            loaded = service.LoadImageFile(work, file, true, true);
        }
        if (!loaded.Ok) {
            Result(lines, TBatchLineKind::Error, file, Lang().GetMessage(loaded.MessageKey, loaded.Message));
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

    const std::string out = ClaimNames(index, {job_.OutputDir + BatchBaseName(file) + "." + job_.Output}).at(0);
    bool saved = false;
    try {
        std::vector<std::uint8_t> bytes;
        if (animated) {
            saved = TmyANIIO(false).SaveToBytes(*doc, bytes);
        } else {
            ByteWriter w;
            saved = TmyIcoIO(false).SaveToStream(*doc, w, job_.PngCursors);
            bytes = w.take();
        }
        saved = saved && WriteNewFile(out, bytes);
    } catch (const std::exception&) {
        saved = false;
    }
    if (saved)
        Result(lines, TBatchLineKind::Success, out, texts_.SuccessReason);
    else
        Result(lines, TBatchLineKind::Error, out, texts_.ErrorSave);
}

void TBatchRun::CursorsToImages(std::size_t index, tmyimport& service, std::vector<TBatchLine>& lines) {
    const std::string& file = job_.Files[index];
    const bool plainCursor = DetectFileType(file).type == ftCursor;
    std::unique_ptr<TmyIcon> doc;
    bool read = false;
    if (plainCursor) {
        doc = std::make_unique<TmyIcon>();
        TmyIcoIO reader(false);
        read = reader.LoadFromFile(*doc, file);
    } else {
        doc = std::make_unique<TmyANI>();
        TmyANIIO reader(false);
        read = reader.LoadFromFile(*doc, file);
    }
    if (!read) {
        Result(lines, TBatchLineKind::Error, file, texts_.ErrorOpen);
        ClaimNames(index, {});
        return;
    }
    const std::string ext = "." + job_.Output;
    std::vector<std::string> wanted;
    for (int j = 0; j < doc->Count(); ++j) {
        const TmyImagePal& image = doc->Image(j);
        std::string name = job_.OutputDir + BatchBaseName(file) + "_" + std::to_string(image.Width()) + "x" +
                           std::to_string(image.Height()) + "-" + std::to_string(image.BitCount);
        if (!plainCursor) name += "_" + std::to_string(j);
        wanted.push_back(name + ext);
    }
    const std::vector<std::string> names = ClaimNames(index, wanted);
    const TExportFormat format = ExportFormatOf(ext);
    for (int j = 0; j < doc->Count(); ++j) {
        const TmyImagePal& image = doc->Image(j);
        const std::string& out = names[static_cast<std::size_t>(j)];
        bool saved = false;
        try {
            std::vector<std::uint8_t> bytes;
            if (format == efJpeg) {
                std::lock_guard lock(LibraryLock());
                saved = service.EncodePicture(format, image, bytes);
            } else {
                saved = service.EncodePicture(format, image, bytes);
            }
            saved = saved && WriteNewFile(out, bytes);
        } catch (const std::exception&) {
            saved = false;
        }
        if (saved)
            Result(lines, TBatchLineKind::Success, out, texts_.SuccessReason);
        else
            Result(lines, TBatchLineKind::Error, out, texts_.ErrorSave);
    }
}

void TBatchRun::ResourceCursors(std::size_t index, std::vector<TBatchLine>& lines) {
    const std::string& file = job_.Files[index];
    const std::string base = job_.OutputDir + BatchBaseName(file);
    const std::uint8_t type = DetectFileType(file).type;

    // Cursor documents of our own kinds are written again as one ".cur".
    if (type == ftIcon || type == ftCursor || type == ftAnimatedCursor || type == ftIcns) {
        std::unique_ptr<TmyIcon> doc = type == ftAnimatedCursor ? std::make_unique<TmyANI>() : std::make_unique<TmyIcon>();
        std::unique_ptr<ImyIconIO> io;
        if (type == ftAnimatedCursor)
            io = std::make_unique<TmyANIIO>(false);
        else if (type == ftIcns)
            io = std::make_unique<TmyMacIcoIO>(false);
        else
            io = std::make_unique<TmyIcoIO>(false);
        bool read = false;
        if (type == ftIcns) {
            std::lock_guard lock(LibraryLock());
            read = io->LoadFromFile(*doc, file);
        } else {
            read = io->LoadFromFile(*doc, file);
        }
        if (!read) {
            Result(lines, TBatchLineKind::Error, file, texts_.ErrorOpen);
            return;
        }
        const std::string out = ClaimNames(index, {base + "-0.cur"}).at(0);
        bool saved = false;
        try {
            saved = io->SaveToFile(*doc, out, job_.PngCursors);
        } catch (const std::exception&) {
            saved = false;
        }
        Result(lines, saved ? TBatchLineKind::Success : TBatchLineKind::Error, out,
               saved ? texts_.SuccessReason : texts_.ErrorSave);
        return;
    }

    PeModule module;
    if (!module.Load(file)) {
        Result(lines, TBatchLineKind::Warning, file, texts_.Not32Bit);
        return;
    }
    const ResName groupType = ResName::FromId(RT_GROUP_CURSOR);
    const std::vector<ResName> names = module.ResourceNames(groupType);
    if (names.empty()) {
        Result(lines, TBatchLineKind::Success, file, texts_.NoIcon);
        return;
    }
    // Every group in every language, in the module's order; the files are
    // built first and named together so numbering follows that order.
    std::vector<std::vector<std::uint8_t>> files;
    for (const ResName& name : names) {
        for (std::uint32_t language : module.ResourceLanguages(groupType, name)) {
            if (stop_.load()) break;
            std::vector<std::uint8_t> bytes;
            if (!BuildCursorFileFromGroup(module, name, static_cast<std::uint16_t>(language), bytes)) continue;
            files.push_back(std::move(bytes));
        }
    }
    std::vector<std::string> wanted;
    for (std::size_t k = 0; k < files.size(); ++k) wanted.push_back(base + "-" + std::to_string(k + 1) + ".cur");
    const std::vector<std::string> outs = ClaimNames(index, wanted);
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (WriteNewFile(outs[k], files[k]))
            Result(lines, TBatchLineKind::Success, outs[k], texts_.SuccessReason);
        else
            Result(lines, TBatchLineKind::Error, outs[k], texts_.ErrorSave);
    }
}

}  // namespace velto
