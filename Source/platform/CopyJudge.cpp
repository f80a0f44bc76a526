#include "platform/CopyJudge.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/ReadLimits.h"
#include "platform/Sha256.h"

namespace velto::copies {

namespace {

constexpr std::size_t kChunk = 1 << 16;

// A copy's bytes asked for in order, read a chunk at a time: a call for
// every page and digest would cost more than their bytes.
class InOrder {
public:
    explicit InOrder(int fd) : fd_(fd), buf_(kChunk) {}
    // n bytes (at most a chunk) at at, or null where the copy holds fewer.
    const std::uint8_t* At(std::uint64_t at, std::size_t n) {
        if (at < from_ || at + n > from_ + held_) {
            const long long got = ReadAt(fd_, buf_.data(), buf_.size(), at);
            from_ = at;
            held_ = got < 0 ? 0 : static_cast<std::uint64_t>(got);
            if (n > held_) return nullptr;
        }
        return buf_.data() + (at - from_);
    }

private:
    int fd_;
    std::vector<std::uint8_t> buf_;
    std::uint64_t from_ = 0, held_ = 0;
};

// One copy against the file's pages.
class Judging {
public:
    Judging(FilePages& file, const Copy& copy)
        : file_(file), r_(copy.record), digests_(copy.fd), before_(copy.fd), here_(kPage) {}

    // The new content's page p is there: by its digest, but where the file
    // ends inside it or runs on past the new end.
    bool NewPage(std::uint64_t p, std::uint64_t at, std::uint64_t end) {
        if (at >= r_.newSize) return false;
        const std::uint8_t* d = digests_.At(r_.digestsAt + p * sizeof(Digest), sizeof(Digest));
        if (!d) return false;
        Digest want;
        std::memcpy(want.data(), d, want.size());
        const std::uint64_t newEnd = std::min(at + kPage, r_.newSize);
        if (newEnd == end) return file_.page(p) == want;
        if (newEnd > end)  // the file ends at the old end, the new bytes below it kept by a crash
            return r_.hasBelowOldEnd && end == r_.made.size && file_.page(p) == r_.belowOldEnd;
        // Old bytes past the new end, until the cut.
        const std::uint8_t* old = FileBytes(at, end) ? before_.At(newEnd, end - newEnd) : nullptr;
        return old && Sha256::Of(here_.data(), newEnd - at) == want &&
               std::memcmp(here_.data() + (newEnd - at), old, end - newEnd) == 0;
    }

    // The old page at p is there: zeros follow the old end where the file
    // runs on past it.
    bool OldPage(std::uint64_t p, std::uint64_t at, std::uint64_t end) {
        const std::uint64_t old = r_.made.size;
        if (at >= old) return false;
        const std::uint64_t oldEnd = std::min(at + kPage, old);
        if (end <= oldEnd) {
            const std::uint8_t* b = before_.At(at, end - at);
            return b && Sha256::Of(b, end - at) == file_.page(p);
        }
        const std::uint8_t* b = FileBytes(at, end) ? before_.At(at, oldEnd - at) : nullptr;
        return b && std::memcmp(here_.data(), b, oldEnd - at) == 0 &&
               std::all_of(here_.begin() + static_cast<std::ptrdiff_t>(oldEnd - at),
                           here_.begin() + static_cast<std::ptrdiff_t>(end - at), [](std::uint8_t c) { return c == 0; });
    }

private:
    bool FileBytes(std::uint64_t at, std::uint64_t end) {
        return ReadAt(file_.fd(), here_.data(), end - at, at) == static_cast<long long>(end - at);
    }

    FilePages& file_;
    const Record& r_;
    InOrder digests_, before_;
    std::vector<std::uint8_t> here_;
};

}  // namespace

bool FilePages::Read() {
    if (read_) return ok_;
    read_ = true;
    ok_ = false;
    pages_.clear();
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return false;
    size_ = static_cast<std::uint64_t>(st.st_size);
    // No road reads a larger file, nor saves one in place.
    const ReadLimits limits;
    if (size_ > std::max(limits.fileSize, limits.executableSize)) return false;
    pages_.reserve(static_cast<std::size_t>(size_ / kPage + 1));
    std::vector<std::uint8_t> buf(16 * kChunk);
    for (std::uint64_t at = 0; at < size_; at += buf.size()) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), size_ - at));
        if (ReadAt(fd_, buf.data(), n, at) != static_cast<long long>(n)) return false;
        for (std::size_t in = 0; in < n; in += kPage)
            pages_.push_back(Sha256::Of(buf.data() + in, std::min<std::size_t>(kPage, n - in)));
    }
    ok_ = true;
    return true;
}

Verdict Judge(FilePages& file, const Copy& copy) {
    const Record& r = copy.record;
    struct stat st {};
    if (!copy.hasRecord || ::fstat(file.fd(), &st) != 0) return Verdict::Stale;
    // Copies of the first version tell nothing of the new content: only the old is known.
    const bool knowsNew = r.version >= 2;
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size), old = r.made.size,
                        fresh = knowsNew ? r.newSize : old;
    if (size < std::min(old, fresh) || size > std::max(old, fresh) || !file.Read() || file.size() != size)
        return Verdict::Stale;
    Judging judging(file, copy);
    bool saved = knowsNew && size == fresh, unchanged = size == old;
    for (std::uint64_t p = 0, at = 0; at < size; ++p, at += kPage) {
        const std::uint64_t end = std::min(at + kPage, size);
        const bool isNew = knowsNew && judging.NewPage(p, at, end);
        const bool isOld = (!isNew || unchanged) && judging.OldPage(p, at, end);
        if (!isNew && !isOld) return Verdict::Stale;
        saved = saved && isNew;
        unchanged = unchanged && isOld;
    }
    return saved ? Verdict::Saved : unchanged ? Verdict::Unchanged : knowsNew ? Verdict::Torn : Verdict::Stale;
}

}  // namespace velto::copies
