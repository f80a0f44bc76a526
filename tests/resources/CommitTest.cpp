// The section rewrite over many layouts: everything outside the resources is
// found again where the new headers say, every file pointer behind the
// section moved, the image stays consistent and the checksum right. And the
// commit on disk: the original survives every failure and crash.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "EditSupport.h"
#include "FileTrouble.h"
#include "resources/PeModule.h"

using namespace velto;
using namespace restest;

namespace {

const ResName kType = ResName::FromId(10);

TPeHeaders Headers(const Bytes& f) {
    TPeHeaders h;
    std::uint32_t error = 0;
    EXPECT_TRUE(ParsePeHeaders(f, h, {}, error)) << error;
    return h;
}

std::size_t ResourceIndex(const TPeHeaders& h) {
    for (std::size_t i = 0; i < h.Sections.size(); ++i)
        if (h.Sections[i].VirtualAddress == h.Dirs[kDirResource].VirtualAddress) return i;
    return h.Sections.size();
}

Bytes Slice(const Bytes& f, std::uint64_t at, std::uint64_t n) {
    if (at > f.size() || n > f.size() - at) return {};
    return Bytes(f.begin() + static_cast<std::ptrdiff_t>(at), f.begin() + static_cast<std::ptrdiff_t>(at + n));
}

// Checks a rewritten file against its original.
void ExpectSound(const Bytes& before, const Bytes& after) {
    const TPeHeaders a = Headers(before), b = Headers(after);
    ASSERT_EQ(a.Sections.size(), b.Sections.size());
    const std::size_t r = ResourceIndex(a);
    ASSERT_EQ(ResourceIndex(b), r);
    const TPeSection& ra = a.Sections[r];
    const TPeSection& rb = b.Sections[r];
    EXPECT_EQ(rb.PointerToRawData, ra.PointerToRawData);
    EXPECT_EQ(rb.VirtualSize, b.Dirs[kDirResource].Size);
    EXPECT_EQ(rb.SizeOfRawData, AlignUp(rb.VirtualSize, b.FileAlignment));
    const std::int64_t delta = std::int64_t{rb.SizeOfRawData} - std::int64_t{ra.SizeOfRawData};
    EXPECT_EQ(static_cast<std::int64_t>(after.size()) - static_cast<std::int64_t>(before.size()), delta);
    const std::int64_t V = static_cast<std::int64_t>(AlignUp(rb.VirtualSize, b.SectionAlignment)) -
                           static_cast<std::int64_t>(AlignUp(ra.VirtualSize, a.SectionAlignment));
    std::uint64_t end = 0;
    for (std::size_t i = 0; i < a.Sections.size(); ++i) {
        SCOPED_TRACE("section " + std::to_string(i));
        const TPeSection& sa = a.Sections[i];
        const TPeSection& sb = b.Sections[i];
        end = std::max<std::uint64_t>(end, std::uint64_t{sb.VirtualAddress} + sb.VirtualExtent());
        if (i == r) continue;
        // The section of the debug directory changes in its entries only (checked below).
        Bytes was = Slice(before, sa.PointerToRawData, sa.SizeOfRawData), is = Slice(after, sb.PointerToRawData, sb.SizeOfRawData);
        const std::uint32_t dbg = a.Dirs[kDirDebug].VirtualAddress;
        if (dbg >= sa.VirtualAddress && dbg < sa.VirtualAddress + sa.VirtualExtent() && is.size() == was.size())
            for (std::size_t k = 20; k < 28; ++k) is[dbg - sa.VirtualAddress + k] = was[dbg - sa.VirtualAddress + k];
        EXPECT_EQ(is, was);
        EXPECT_EQ(std::int64_t{sb.VirtualAddress} - sa.VirtualAddress, sa.VirtualAddress > ra.VirtualAddress ? V : 0);
        EXPECT_EQ(sb.PointerToRawData % b.FileAlignment, 0u);
    }
    EXPECT_EQ(b.SizeOfImage, AlignUp(end, b.SectionAlignment));
    EXPECT_EQ(std::int64_t{b.SizeOfInitializedData} - a.SizeOfInitializedData, delta);
    if (a.PointerToSymbolTable) {
        const std::uint64_t n = 18ull * a.NumberOfSymbols + 4;
        EXPECT_EQ(Slice(after, b.PointerToSymbolTable, n), Slice(before, a.PointerToSymbolTable, n));
        EXPECT_EQ(std::int64_t{b.PointerToSymbolTable} - a.PointerToSymbolTable, delta);
    }
    if (a.Dirs[kDirCertificate].VirtualAddress) {
        EXPECT_EQ(Slice(after, b.Dirs[kDirCertificate].VirtualAddress, b.Dirs[kDirCertificate].Size),
                  Slice(before, a.Dirs[kDirCertificate].VirtualAddress, a.Dirs[kDirCertificate].Size));
        EXPECT_EQ(b.Dirs[kDirCertificate].VirtualAddress + b.Dirs[kDirCertificate].Size, after.size());
    }
    for (const int d : {kDirBaseReloc, kDirDebug}) {
        if (!a.Dirs[d].VirtualAddress) continue;
        {
            const auto oa = a.RvaToOffset(a.Dirs[d].VirtualAddress, a.Dirs[d].Size, before.size());
            const auto ob = b.RvaToOffset(b.Dirs[d].VirtualAddress, b.Dirs[d].Size, after.size());
            ASSERT_TRUE(oa && ob);
            if (d == kDirBaseReloc) {
                EXPECT_EQ(Slice(after, *ob, b.Dirs[d].Size), Slice(before, *oa, a.Dirs[d].Size));
            }
            if (d == kDirDebug) {
                // The entry's file pointer and address both lead to the same data.
                const std::uint32_t address = Get32(after, *ob + 20), pointer = Get32(after, *ob + 24);
                EXPECT_EQ(Slice(after, pointer, 0x40), Slice(before, Get32(before, *oa + 24), 0x40));
                EXPECT_EQ(b.RvaToOffset(address, 0x40, after.size()), std::optional<std::uint64_t>(pointer));
            }
        }
    }
    Bytes check = after;
    ASSERT_TRUE(UpdatePeChecksum(check));
    EXPECT_EQ(check, after) << "checksum";
}


void Put(TResourceUpdateHandle* h, std::uint32_t id, std::size_t size, std::uint8_t fill = 7) {
    const Bytes data(size, fill);
    ASSERT_TRUE(UpdateResourceEntry(h, kType, ResName::FromId(id), 0, data.data(), static_cast<std::uint32_t>(size)));
}

}  // namespace

TEST(ResourceCommit, EveryLayoutKeepsItsPartsThroughEveryEdit) {
    std::vector<PeSpec> layouts;
    for (const bool plus : {false, true}) {
        PeSpec s;
        s.pe32plus = plus;
        s.name = plus ? "PE32+ resources last" : "PE32 resources last";
        layouts.push_back(s);
        s.relocAfter = true;
        s.name = plus ? "PE32+ with relocations and debug data after" : "PE32 with relocations and debug data after";
        layouts.push_back(s);
        s.symbols = s.certificate = true;
        s.name = plus ? "PE32+ with all after, symbols, certificate" : "PE32 with all after, symbols, certificate";
        layouts.push_back(s);
        s = PeSpec{};
        s.pe32plus = plus;
        s.codeBefore = false;
        s.symbols = true;
        s.name = plus ? "PE32+ resources only, symbols" : "PE32 resources only, symbols";
        layouts.push_back(s);
        s.symbols = false;
        s.certificate = true;
        s.fileAlign = s.sectionAlign = 0x200;
        s.name = plus ? "PE32+ resources only, certificate, small alignment" : "PE32 resources only, certificate, small alignment";
        layouts.push_back(s);
    }
    const struct {
        const char* name;
        std::function<void(TResourceUpdateHandle*)> edit;
        bool deleteExisting;
    } edits[] = {
        {"growth within the slack", [](auto h) { Put(h, 1, 16); }, false},
        {"growth by pages", [](auto h) { Put(h, 1, 0x3456); }, false},
        {"growth past the park threshold", [](auto h) { Put(h, 1, kParkThreshold + 3); }, false},
        {"shrinking", [](auto h) { UpdateResourceEntry(h, kType, ResName::FromId(2), 0, nullptr, 0); }, false},
        {"everything deleted", [](auto) {}, true},
    };
    for (const PeSpec& spec : layouts) {
        // A base with one large entry, so that deletions shrink the section.
        const Bytes original = BuildPe(spec);
        const Bytes base = Edit(original, [](auto h) { Put(h, 2, 0x2800, 9); });
        {
            SCOPED_TRACE(std::string(spec.name) + ": first growth");
            ExpectSound(original, base);
        }
        for (const auto& e : edits) {
            SCOPED_TRACE(std::string(spec.name) + ": " + e.name);
            const Bytes after = Edit(base, e.edit, e.deleteExisting);
            ExpectSound(base, after);
            PeModule m;
            ASSERT_TRUE(m.LoadFromMemory(after));
        }
    }
}

TEST(ResourceCommit, MovesOnlyWhatCanMove) {
    PeSpec spec;
    spec.dataAfter = true;  // writable data behind the resources: code refers to it by address
    const Bytes original = BuildPe(spec);
    // Growth inside the section's pages needs no move and goes through...
    ExpectSound(original, Edit(original, [](auto h) { Put(h, 1, 0x800); }));
    // ...a move of the data section is refused.
    TResourceUpdateHandle* h = BeginUpdateResourceMemory(original, false);
    ASSERT_NE(h, nullptr);
    Put(h, 1, 0x3000);
    Bytes out;
    EXPECT_FALSE(CommitResourceUpdateToMemory(h, out));
    EXPECT_EQ(GetLastError(), kErrorNotSupported);
    EXPECT_TRUE(out.empty());
}

TEST(ResourceCommit, DebugDirectoryCountsAndBounds) {
    // Size 56 is two entries; size 2 (not a multiple of 28) is two entries as
    // well; a count reaching past the section falls back to Size / 28.
    PeSpec spec;
    spec.relocAfter = true;
    const Bytes original = BuildPe(spec);
    const TPeHeaders h = Headers(original);
    const std::uint64_t dirAt = h.DirOffset(kDirDebug) + 4;
    const std::uint64_t entries = *h.RvaToOffset(h.Dirs[kDirDebug].VirtualAddress, 28, original.size());
    const struct {
        const char* name;
        std::uint32_t size;
        int fixed;  // entries whose pointers must have moved
    } rows[] = {{"56 bytes", 56, 2},
                {"size 2 is a count", 2, 2},
                {"28 bytes", 28, 1},
                {"a count past the section falls back to size / 28", 29, 1},
                {"a walk bounded by the section", 1001, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes f = original;
        Put32(f, dirAt, row.size);
        // A second entry, a copy of the first.
        std::copy_n(f.begin() + static_cast<std::ptrdiff_t>(entries), 28, f.begin() + static_cast<std::ptrdiff_t>(entries + 28));
        UpdatePeChecksum(f);
        const Bytes after = Edit(f, [](auto hd) { Put(hd, 1, 0x3000); });
        ASSERT_FALSE(after.empty());
        const TPeHeaders b = Headers(after);
        const std::uint64_t at = *b.RvaToOffset(b.Dirs[kDirDebug].VirtualAddress, 28, after.size());
        for (int k = 0; k < 2; ++k) {
            const bool moved = Get32(after, at + 28 * k + 24) != Get32(f, entries + 28 * k + 24);
            EXPECT_EQ(moved, k < row.fixed) << "entry " << k;
        }
    }
}

TEST(ResourceCommit, RefusesUnsoundFiles) {
    const Bytes good = BuildPe({});
    const TPeHeaders h = Headers(good);
    const std::size_t r = ResourceIndex(h);
    const struct {
        const char* name;
        std::function<void(Bytes&)> damage;
        std::uint32_t error;
    } rows[] = {
        {"no MZ", [](Bytes& f) { f[0] = 'X'; }, kErrorBadExeFormat},
        {"signature beyond the file", [](Bytes& f) { Put32(f, 60, 0x7FFFFFF0); }, kErrorBadExeFormat},
        {"unknown optional header", [&](Bytes& f) { Put16(f, h.OptionalHeaderOffset(), 0x107); }, kErrorBadExeFormat},
        {"optional header too small", [&](Bytes& f) { Put16(f, h.NtOffset + 20, 64); }, kErrorInvalidData},
        {"file alignment not a power of two", [&](Bytes& f) { Put32(f, h.OptionalHeaderOffset() + 36, 0x300); }, kErrorInvalidData},
        {"section table past the end", [&](Bytes& f) { Put16(f, h.NtOffset + 6, 900); }, kErrorInvalidData},
        {"no resource directory", [&](Bytes& f) { Put32(f, h.DirOffset(kDirResource), 0); }, kErrorFileNotFound},
        {"directory not at a section start", [&](Bytes& f) { Put32(f, h.DirOffset(kDirResource), h.Sections[r].VirtualAddress + 4); }, kErrorFileNotFound},
        {"resource raw data past the end", [&](Bytes& f) { Put32(f, h.Sections[r].HeaderOffset + 16, 0x10000); }, kErrorInvalidData},
        {"another section inside the resources", [&](Bytes& f) { Put32(f, h.Sections[0].HeaderOffset + 20, h.Sections[r].PointerToRawData); }, kErrorInvalidData},
        {"relocations pointing into the resources", [&](Bytes& f) { Put32(f, h.DirOffset(kDirBaseReloc), h.Sections[r].VirtualAddress + 8); Put32(f, h.DirOffset(kDirBaseReloc) + 4, 8); }, kErrorInvalidData},
        {"a directory in the last page of the resources", [&](Bytes& f) { Put32(f, h.DirOffset(8), h.Sections[r].VirtualAddress + 0x800); }, kErrorInvalidData},
        {"symbol table past the end", [&](Bytes& f) { Put32(f, h.SymbolTableFieldOffset(), 0xFFFFFFFF); }, kErrorInvalidData},
        {"certificate table past the end", [&](Bytes& f) { Put32(f, h.DirOffset(kDirCertificate), static_cast<std::uint32_t>(f.size() - 4)); Put32(f, h.DirOffset(kDirCertificate) + 4, 8); }, kErrorInvalidData},
        {"tree entry count past the section", [&](Bytes& f) { Put16(f, h.Sections[r].PointerToRawData + 14, 0x4000); }, kErrorInvalidData},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes f = good;
        row.damage(f);
        SetLastError(0);
        TResourceUpdateHandle* hd = BeginUpdateResourceMemory(f, false);
        EXPECT_EQ(hd, nullptr);
        EXPECT_EQ(GetLastError(), row.error);
        if (hd) EndUpdateResourceFile(hd, true);
    }
}

TEST(ResourceCommitFile, ReplacesTheFileWholeAndKeepsItsMode) {
    TempDir dir;
    const std::string lib = dir.File("lib.dll");
    WriteFile(lib, BuildPe({}));
    ::chmod(lib.c_str(), 0751);
    ASSERT_EQ(::symlink("lib.dll", dir.File("link.dll").c_str()), 0);
    // A reader's lock (it may not write the file) stops no update.
    const int reader = ::open(lib.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(reader, LOCK_EX | LOCK_NB), 0);
    TResourceUpdateHandle* h = BeginUpdateResourceFile(dir.File("link.dll"), false);
    ::close(reader);
    ASSERT_NE(h, nullptr);
    // A second update of the same file waits its turn (here not long).
    testhooks::SetSaveWaitLimit(50);
    EXPECT_EQ(BeginUpdateResourceFile(lib, false), nullptr);
    testhooks::SetSaveWaitLimit(0);
    EXPECT_EQ(GetLastError(), kErrorSharingViolation);
    Put(h, 1, 100);
    ASSERT_TRUE(EndUpdateResourceFile(h, false)) << GetLastError();
    struct stat st {};
    ASSERT_EQ(::lstat(dir.File("link.dll").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(lib.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"lib.dll", "link.dll"}));
    PeModule m;
    ASSERT_TRUE(m.Load(lib));
    EXPECT_EQ(m.FindResource(kType, ResName::FromId(1), 0)->size(), 100u);

    EXPECT_EQ(BeginUpdateResourceFile(dir.File("missing.dll"), false), nullptr);
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    EXPECT_EQ(BeginUpdateResourceFile(dir.Path(), false), nullptr);
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
}

// Readers' locks (a whole-file one, the open file's, one byte far out) keep no update waiting; as the update then
// works without the file's lock, it replaces only the library it read: one another save changed meanwhile stays.
TEST(ResourceCommitFile, AReadersLockKeepsNoUpdateWaitingAndAChangeSinceTheReadIsKept) {
    struct Row {
        int command;
        off_t start;
        bool changed;
    };
    for (const Row& row : {Row{F_SETLK, 0, false}, Row{F_OFD_SETLK, 0, false}, Row{F_SETLK, off_t{1} << 40, false},
                           Row{F_OFD_SETLK, 0, true}}) {
        SCOPED_TRACE(std::to_string(row.command) + " at " + std::to_string(row.start));
        TempDir dir;
        const std::string lib = dir.File("lib.dll");
        WriteFile(lib, BuildPe({}));
        // (A reader of its own: a process's own whole-file locks would not keep it away.)
        int ready[2], release[2];
        ASSERT_EQ(::pipe(ready) | ::pipe(release), 0);
        const pid_t reader = ::fork();
        if (reader == 0) {
            ::close(release[1]);
            struct flock lock {};
            lock.l_type = F_RDLCK;
            lock.l_start = row.start;
            lock.l_len = row.start ? 1 : 0;
            char c = ::fcntl(::open(lib.c_str(), O_RDONLY), row.command, &lock) == 0 ? 'h' : '-';
            (void)!::write(ready[1], &c, 1);
            (void)!::read(release[0], &c, 1);
            ::_exit(0);
        }
        char c = '-';
        ASSERT_TRUE(::read(ready[0], &c, 1) == 1 && c == 'h');
        testhooks::SetSaveWaitLimit(30000);  // (a wait would show as a long test, a failure as none)
        TResourceUpdateHandle* h = BeginUpdateResourceFile(lib, false);
        testhooks::SetSaveWaitLimit(0);
        ASSERT_NE(h, nullptr) << GetLastError();
        Put(h, 1, 100);
        const Bytes other = BuildPe({});
        if (row.changed) {
            WriteFile(dir.File("other"), other);
            ASSERT_EQ(::rename(dir.File("other").c_str(), lib.c_str()), 0);
        }
        EXPECT_EQ(EndUpdateResourceFile(h, false), !row.changed);
        if (row.changed) {
            EXPECT_EQ(LastErrorText(), "the file was changed by another save after it was read");
        }
        PeModule m;
        ASSERT_TRUE(m.Load(lib));
        EXPECT_EQ(m.FindResource(kType, ResName::FromId(1), 0).has_value(), !row.changed);
        ::close(release[1]);
        ::waitpid(reader, nullptr, 0);
        for (const int fd : {ready[0], ready[1], release[0]}) ::close(fd);
    }
}

TEST(ResourceCommitFile, AFailureAfterAnyStepLeavesTheOriginal) {
    TempDir dir;
    const std::string lib = dir.File("lib.dll");
    PeSpec spec;
    spec.relocAfter = spec.symbols = true;
    WriteFile(lib, BuildPe(spec));
    const Bytes before = ReadFile(lib);
    for (int step = testhooks::kCommitCreated; step <= testhooks::kCommitFlushed; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        TResourceUpdateHandle* h = BeginUpdateResourceFile(lib, false);
        ASSERT_NE(h, nullptr);
        Put(h, 1, 0x9000);
        Put(h, 2, kParkThreshold + 1);
        testhooks::FailCommitAfter(step);
        EXPECT_FALSE(EndUpdateResourceFile(h, false));
        testhooks::FailCommitAfter(0);
        EXPECT_EQ(ReadFile(lib), before);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"lib.dll"});
        EXPECT_TRUE(ParkFiles().empty());
    }
}

// A library the system will not let us update says why, beside its code:
// at the start of the update (the file cannot be opened for writing) or at
// the commit (the new file cannot be written beside it).
TEST(ResourceCommitFile, RefusedUpdatesCarryTheSystemsReason) {
    const Bytes pe = BuildPe({});
    const std::string library(pe.begin(), pe.end());
    VELTO_EXPECT_TROUBLES_REPORTED(
        "lib.dll",
        [](const std::string& path) {
            TResourceUpdateHandle* h = BeginUpdateResourceFile(path, false);
            if (!h) return "begin: " + FileErrorText(GetLastFileError());
            const Bytes data(0x3000, 7);
            UpdateResourceEntry(h, kType, ResName::FromId(1), 0, data.data(), static_cast<std::uint32_t>(data.size()));
            if (EndUpdateResourceFile(h, false)) return std::string("saved");
            return "commit: " + FileErrorText(GetLastFileError());
        },
        &library);
}

// An injected failure says something too, and a success clears the reason.
TEST(ResourceCommitFile, TheReasonFollowsTheLastErrorCode) {
    TempDir dir;
    const std::string lib = dir.File("lib.dll");
    WriteFile(lib, BuildPe({}));
    TResourceUpdateHandle* h = BeginUpdateResourceFile(lib, false);
    ASSERT_NE(h, nullptr);
    Put(h, 1, 64);
    testhooks::FailCommitAfter(testhooks::kCommitCreated);
    EXPECT_FALSE(EndUpdateResourceFile(h, false));
    testhooks::FailCommitAfter(0);
    EXPECT_EQ(GetLastError(), kErrorWriteFault);
    EXPECT_EQ(FileErrorText(GetLastFileError()), "Input/output error");
    EXPECT_EQ(BeginUpdateResourceFile(dir.File("missing.dll"), false), nullptr);
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    EXPECT_EQ(FileErrorText(GetLastFileError()), "No such file or directory");
    h = BeginUpdateResourceFile(lib, false);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(EndUpdateResourceFile(h, false));
    EXPECT_TRUE(GetLastFileError().ok());
}

// Each crash is a fork at its statement (the default style of death tests;
// this program runs no threads): it works on this test's library, and leaves
// no folder of its own, as a child that ran the test again from its start
// would.
TEST(ResourceCommitFileDeathTest, ACrashAtAnyStepLeavesTheOriginal) {
    TempDir dir;
    const std::string lib = dir.File("lib.dll");
    WriteFile(lib, BuildPe({}));
    const Bytes before = ReadFile(lib);
    for (int step = testhooks::kCommitCreated; step <= testhooks::kCommitFlushed; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        EXPECT_EXIT(
            {
                TResourceUpdateHandle* h = BeginUpdateResourceFile(lib, false);
                if (!h) ::_exit(1);
                Put(h, 1, 0x5000);
                testhooks::FailCommitAfter(step, 86);
                EndUpdateResourceFile(h, false);
                ::_exit(2);
            },
            ::testing::ExitedWithCode(86), "");
        EXPECT_EQ(ReadFile(lib), before);
    }
    // What the crashed saves left beside it goes with the next save.
    TResourceUpdateHandle* h = BeginUpdateResourceFile(lib, false);
    ASSERT_NE(h, nullptr);
    Put(h, 1, 0x5000);
    ASSERT_TRUE(EndUpdateResourceFile(h, false));
    EXPECT_NE(ReadFile(lib), before);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"lib.dll"});
}
