// Libraries made by real linkers (llvm-rc with lld-link, PE32 and PE32+;
// GNU ld with a symbol table and relocations after the resources; lld with
// code and relocations; a signed one), edited through the cursor-group layer
// and then read by independent tools: both objdumps, wrestool (listing and
// raw leaves), Python's pefile (checksum) and osslsigncode (the signature is
// still found).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <regex>
#include <set>

#include "../PeTestImage.h"
#include "resources/CursorGroups.h"

using namespace velto;
using namespace restest;

namespace {

struct RunResult {
    int status = -1;
    std::string out;  // stdout and stderr together
};

RunResult RunTool(const std::string& command) {
    RunResult r;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

bool Have(const std::string& tool) { return RunTool("command -v " + tool).status == 0; }

std::string Q(const std::string& s) { return "'" + s + "'"; }

// A cursor file as the extraction gives it back: bitmap image sizes 0.
Bytes Extracted(std::vector<CurImage> images) {
    for (CurImage& img : images) {
        if (img.bytes.empty()) img.bytes = CursorImageBytes(img.w, img.h, img.seed);
        Put32(img.bytes, 20, 0);
    }
    return CursorFile(images);
}

struct Variant {
    std::string name;
    std::string file;
    bool pe32plus;
    bool signedFile = false;
};

class PeerTools : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* tool : {"llvm-rc", "lld-link", "objdump", "wrestool"})
            if (!Have(tool)) missing_ += std::string(" ") + tool;
        if (!missing_.empty()) return;
        dir_ = new TempDir;
        const TempDir& d = *dir_;
        WriteFile(d.File("a.cur"), CursorFile(cursorA_));
        WriteFile(d.File("b.cur"), CursorFile(cursorB_));
        WriteFile(d.File("t.rc"), Bytes(std::begin(kRc), std::end(kRc) - 1));
        auto must = [](const std::string& cmd) {
            const RunResult r = RunTool(cmd);
            if (r.status != 0) ADD_FAILURE() << cmd << "\n" << r.out;
            return r.status == 0;
        };
        const std::string cd = "cd " + Q(d.Path()) + " && ";
        if (!must(cd + "llvm-rc -fo t.res t.rc")) return;
        must(cd + "lld-link /nologo /dll /noentry /machine:x86 /out:lld32.dll t.res");
        variants_.push_back({"lld PE32", d.File("lld32.dll"), false});
        must(cd + "lld-link /nologo /dll /noentry /machine:x64 /out:lld64.dll t.res");
        variants_.push_back({"lld PE32+", d.File("lld64.dll"), true});
        WriteFile(d.File("dm.c"), Bytes(std::begin(kCode), std::end(kCode) - 1));
        if (Have("clang") &&
            must(cd + "clang --target=x86_64-pc-windows-msvc -c dm.c -o dmm.o && "
                      "lld-link /nologo /dll /entry:DllMain /nodefaultlib /machine:x64 /out:code64.dll dmm.o t.res"))
            variants_.push_back({"lld PE32+ with code, relocations after", d.File("code64.dll"), true});
        for (const auto& [arch, plus, entry] : {std::tuple{"x86_64", true, "DllMain"}, std::tuple{"i686", false, "_DllMain"}}) {
            const std::string p = std::string(arch) + "-w64-mingw32-";
            if (!Have("clang") || !Have(p + "ld")) continue;
            const std::string out = std::string("gnu-") + arch + ".dll";
            if (must(cd + "clang --target=" + arch + "-w64-mingw32 -c dm.c -o dm-" + arch + ".o && " + p +
                     "windres -J res -i t.res -O coff -o res-" + arch + ".o && " + p + "ld --dll -e " + entry +
                     " -o " + out + " dm-" + arch + ".o res-" + arch + ".o"))
                variants_.push_back({std::string("GNU ld ") + arch + " with symbols, relocations after", d.File(out), plus});
        }
        if (Have("osslsigncode") && Have("openssl") &&
            must(cd + "openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj /CN=velto-test "
                      ">/dev/null && osslsigncode sign -certs cert.pem -key key.pem -in lld64.dll -out signed.dll >/dev/null"))
            variants_.push_back({"lld PE32+ signed", d.File("signed.dll"), true, true});
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        if (!missing_.empty()) GTEST_SKIP() << "missing peer tools:" << missing_;
    }

    static constexpr char kRc[] = "1 CURSOR \"a.cur\"\nARROW CURSOR \"b.cur\"\n1 VERSIONINFO\nFILEVERSION 1,0,0,0\nBEGIN\nEND\n";
    static constexpr char kCode[] = "int g_data = 5; int *gp = &g_data;\nint DllMain(void*a,unsigned b,void*c){return *gp;}\n";
    static inline std::string missing_;
    static inline TempDir* dir_ = nullptr;
    static inline std::vector<Variant> variants_;
    static inline const std::vector<CurImage> cursorA_ = {{32, 32, 5, 7, {}, 1}};
    static inline const std::vector<CurImage> cursorB_ = {{16, 16, 1, 2, {}, 2}, {32, 32, 3, 4, {}, 3}};
};

const std::string kAsLinked = "nothing (as linked)";

// What the library should hold: group (name, language) -> the cursor file extracted.
using Model = std::map<std::pair<std::string, std::uint16_t>, Bytes>;

void ExpectReadable(const Variant& v, const std::string& file, const Model& model, const std::string& step) {
    SCOPED_TRACE(v.name + ": after " + step);
    for (const std::string tool : {"objdump", "x86_64-w64-mingw32-objdump"}) {
        if (!Have(tool)) continue;
        const RunResult r = RunTool(tool + " -x " + Q(file) + " >/dev/null");
        EXPECT_EQ(r.status, 0) << tool << "\n" << r.out;
        EXPECT_EQ(r.out, "") << tool;
    }
    // wrestool lists exactly the groups of the model, and one image resource per image.
    const RunResult list = RunTool("wrestool -l " + Q(file));
    ASSERT_EQ(list.status, 0) << list.out;
    std::set<std::pair<std::string, std::uint16_t>> groups;
    std::size_t images = 0, expectImages = 0;
    const std::regex line(R"(--type=(\d+) --name=('?)([^' ]+)\2 --language=(\d+))");
    for (std::sregex_iterator it(list.out.begin(), list.out.end(), line), end; it != end; ++it) {
        const std::string name = (*it)[2].length() ? (*it)[3].str() : "#" + (*it)[3].str();
        if ((*it)[1] == "12") groups.insert({name, static_cast<std::uint16_t>(std::stoi((*it)[4]))});
        if ((*it)[1] == "1") ++images;
    }
    std::set<std::pair<std::string, std::uint16_t>> expectGroups;
    for (const auto& [key, cur] : model) {
        expectGroups.insert(key);
        expectImages += cur[4] | cur[5] << 8;
    }
    EXPECT_EQ(groups, expectGroups) << list.out;
    EXPECT_EQ(images, expectImages) << list.out;
    // Each group extracts to what was put in; its first image's raw leaf, as
    // wrestool reads it, is the hotspot prefix and the image.
    PeModule m;
    ASSERT_TRUE(m.Load(file));
    for (const auto& [key, cur] : model) {
        SCOPED_TRACE(key.first);
        const ResName name = *ResNameToId(key.first);
        const std::string out = file + ".out.cur";
        ASSERT_TRUE(ExtractCursorGroupToFile(file, out, name, key.second));
        EXPECT_EQ(ReadFile(out), cur);
        const auto group = m.FindResource(ResName::FromId(RT_GROUP_CURSOR), name, key.second);
        ASSERT_TRUE(group && group->size() >= 20);
        const unsigned id = (*group)[18] | (*group)[19] << 8;
        const RunResult raw = RunTool("wrestool -x --raw --type=1 --name=" + std::to_string(id) + " " + Q(file) + " -o " + Q(out));
        ASSERT_EQ(raw.status, 0) << raw.out;
        const Bytes leaf = ReadFile(out);
        ASSERT_GE(leaf.size(), 4u);
        const std::uint32_t firstOffset = Get32(cur, 6 + 12), firstSize = Get32(cur, 6 + 8);
        Bytes image(cur.begin() + firstOffset, cur.begin() + firstOffset + firstSize);
        Bytes got(leaf.begin() + 4, leaf.end());
        if (IsPlainDib(got)) Put32(got, 20, 0);
        EXPECT_EQ(got, image);
        EXPECT_EQ(leaf[0], cur[6 + 4]);
        EXPECT_EQ(leaf[2], cur[6 + 6]);
        std::remove(out.c_str());
    }
    // Linkers may leave the checksum 0; a rewrite always sets it.
    if (step != kAsLinked && RunTool("/usr/bin/python3 -c 'import pefile'").status == 0) {
        const RunResult sum = RunTool("/usr/bin/python3 -c 'import pefile,sys; p=pefile.PE(sys.argv[1]); "
                                  "sys.exit(0 if p.verify_checksum() else 3)' " + Q(file));
        EXPECT_EQ(sum.status, 0) << "pefile checksum\n" << sum.out;
    }
    if (v.signedFile && step != kAsLinked) {
        // The signature is still found where the certificate table says (its
        // digest no longer matches the changed file).
        const RunResult verify = RunTool("osslsigncode verify -in " + Q(file));
        EXPECT_EQ(verify.out.find("Unable to extract"), std::string::npos) << verify.out;
        EXPECT_NE(verify.out.find("Current message digest"), std::string::npos) << verify.out;
        EXPECT_NE(verify.out.find("MISMATCH"), std::string::npos) << verify.out;
    }
}

}  // namespace

TEST_F(PeerTools, EditsReadBackInEveryTool) {
    ASSERT_FALSE(variants_.empty());
    const TempDir& d = *dir_;
    const std::vector<CurImage> c = {{24, 24, 11, 12, {}, 4}}, dcur = {{48, 48, 20, 21, {}, 5}, {16, 16, 2, 3, {}, 6}};
    const std::vector<CurImage> big = {{0, 0, 100, 100, CursorImageBytes(256, 256, 7), 0}};
    WriteFile(d.File("c.cur"), CursorFile(c));
    WriteFile(d.File("d.cur"), CursorFile(dcur));
    WriteFile(d.File("big.cur"), CursorFile(big));
    const ResName id1 = ResName::FromId(1), id7 = ResName::FromId(7);
    const ResName arrow = ResName::FromString(u"ARROW"), pointer = ResName::FromString(u"POINTER"),
                  bigName = ResName::FromString(u"BIG");
    const Bytes bigExtracted = Extracted(big);
    for (const Variant& v : variants_) {
        const std::string file = d.File("edit-" + std::to_string(&v - variants_.data()) + ".dll");
        WriteFile(file, ReadFile(v.file));
        Model model = {{{"#1", 1033}, Extracted(cursorA_)}, {{"ARROW", 1033}, Extracted(cursorB_)}};
        ExpectReadable(v, file, model, kAsLinked);
        const struct {
            const char* name;
            std::vector<TDeleteEntry> del;
            std::vector<TStoreEntry> store;
            std::function<void(Model&)> expect;
        } steps[] = {
            {"adding a group in two languages", {}, {{d.File("c.cur"), id7, 1033}, {d.File("c.cur"), id7, 1031}},
             [&](Model& m) { m[{"#7", 1033}] = m[{"#7", 1031}] = Extracted(c); }},
            {"replacing a group", {{id1, 1033}}, {{d.File("d.cur"), id1, 1033}},
             [&](Model& m) { m[{"#1", 1033}] = Extracted(dcur); }},
            {"renaming a group", {{arrow, 1033}}, {{d.File("b.cur"), pointer, 1033}},
             [&](Model& m) { m.erase({"ARROW", 1033}); m[{"POINTER", 1033}] = Extracted(cursorB_); }},
            {"growing by pages", {}, {{d.File("big.cur"), bigName, 0}}, [&](Model& m) { m[{"BIG", 0}] = bigExtracted; }},
            {"shrinking", {{bigName, 0}}, {}, [&](Model& m) { m.erase({"BIG", 0}); }},
            {"deleting one language", {{id7, 1031}}, {}, [&](Model& m) { m.erase({"#7", 1031}); }},
            {"deleting every group", {{id1, 1033}, {id7, 1033}, {pointer, 1033}}, {}, [&](Model& m) { m.clear(); }},
        };
        for (const auto& step : steps) {
            ASSERT_TRUE(TResourceEditor(file).SaveChanges(step.del, step.store)) << v.name << ": " << step.name
                                                                                  << " error " << GetLastError();
            step.expect(model);
            ExpectReadable(v, file, model, step.name);
        }
    }
}
