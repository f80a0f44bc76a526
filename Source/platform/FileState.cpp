#include "platform/FileState.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace velto {

namespace {
std::int64_t Nanoseconds(const statx_timestamp& t) { return t.tv_sec * 1000000000LL + t.tv_nsec; }
}  // namespace

bool StateOf(int dir, const char* name, int flags, FileState& out) {
    struct statx st {};
    if (::statx(dir, name, flags | AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) return false;
    out.dev = (std::uint64_t{st.stx_dev_major} << 32) | st.stx_dev_minor;
    out.ino = st.stx_ino;
    out.size = st.stx_size;
    out.mtime = Nanoseconds(st.stx_mtime);
    out.ctime = Nanoseconds(st.stx_ctime);
    out.btime = (st.stx_mask & STATX_BTIME) ? Nanoseconds(st.stx_btime) : 0;
    return true;
}

bool StateOf(int fd, FileState& out) { return StateOf(fd, "", AT_EMPTY_PATH, out); }

}  // namespace velto
