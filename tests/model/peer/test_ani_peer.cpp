// Animated cursors against the npm package ani-cursor (its parseAni), run
// through tests/peer-node/parse-ani.js from the install ./test.sh makes in the
// build tree ($VELTO_PEER_NODE, else <build>/peer-node beside tests/).
#include "model/AniIO.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/FileIO.h"

namespace velto {
namespace {

namespace fs = std::filesystem;

std::string PeerDir() {
    if (const char* env = std::getenv("VELTO_PEER_NODE"); env && *env) return env;
    std::error_code ec;
    return (fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "peer-node").string();
}

// Skips the test (returns an empty string) when node or the package is missing.
std::string PeerScript() {
    const std::string dir = PeerDir();
    if (std::system("command -v node >/dev/null 2>&1") != 0) return "";
    if (!fs::exists(fs::path(dir) / "node_modules/ani-cursor/dist/parser.js")) return "";
    return dir + "/parse-ani.js";
}
#define REQUIRE_PEER(script)                                                                               \
    const std::string script = PeerScript();                                                             \
    if (script.empty())                                                                                    \
        GTEST_SKIP() << "ani-cursor is not installed in " << PeerDir()                                    \
                     << " (./test.sh installs it with npm ci; the registry may have been unreachable)";

// parse-ani.js's lines for one file: key -> rest of the line.
std::map<std::string, std::string> Peer(const std::string& script, const std::string& file) {
    std::map<std::string, std::string> out;
    const std::string cmd = "node '" + script + "' '" + file + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    std::string text;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, p)) text.append(buf, n);
    pclose(p);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (const auto sp = line.find(' '); sp != std::string::npos) out[line.substr(0, sp)] = line.substr(sp + 1);
    return out;
}

std::vector<long> Numbers(const std::string& s) {
    std::vector<long> out;
    std::istringstream in(s);
    for (long v; in >> v;) out.push_back(v);
    return out;
}

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) out += (c == '"' || c == '\\') ? std::string{'\\', c} : std::string{c};
    return out + "\"";
}
std::string PeerText(const std::string& s) { return s.empty() ? "none" : Quoted(s); }

TEST(AniPeer, SampleFilesAgreeOnStepsRatesAndTexts) {
    REQUIRE_PEER(script);
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(VELTO_CORPUS_DIR)) {
        // Animated cursors by content: some samples carry the ".cur" extension.
        std::vector<std::uint8_t> head;
        std::uint64_t size = 0;
        if (!entry.is_regular_file() || !ReadFileHead(entry.path().string(), 12, head, size) || head.size() < 12 ||
            std::string(head.begin(), head.begin() + 4) != "RIFF" || std::string(head.begin() + 8, head.end()) != "ACON")
            continue;
        ++files;
        const std::string path = entry.path().string();
        TmyANI doc;
        ASSERT_TRUE(TmyANIIO(false).LoadFromFile(doc, path)) << path;
        auto peer = Peer(script, path);
        ASSERT_EQ(peer.count("error"), 0u) << path << ": " << peer["error"];
        const std::vector<long> anih = Numbers(peer["anih"]), seq = Numbers(peer["seq"]), rate = Numbers(peer["rate"]);
        const std::size_t steps = peer["seq"] == "none" ? Numbers(peer["icons"]).size() : seq.size();
        ASSERT_EQ(static_cast<std::size_t>(doc.Count()), steps) << path;
        for (int i = 0; i < doc.Count(); ++i) {
            long jiffies = static_cast<std::size_t>(i) < rate.size() ? rate[static_cast<std::size_t>(i)] : anih.at(7);
            if (jiffies == 0) jiffies = 6;  // a delay of 0 is held as the model's least rate, 0.1 s
            EXPECT_EQ(static_cast<long>(SecondsToJiffies(doc.Image(i).Rate())), jiffies) << path << " step " << i;
        }
        EXPECT_EQ(PeerText(doc.Title), peer["title"]) << path;
        EXPECT_EQ(PeerText(doc.Author), peer["artist"]) << path;
    }
    EXPECT_GE(files, 5);
}

TmyImagePal Frame(int w, int h, int bits, std::uint8_t shade, double rate, int hotX = 0) {
    TmyImagePal img({w, h}, bits);
    for (TmyPixel& p : img.Pixels()) p = img.Palette ? (*img.Palette)[shade % img.Palette->Count()] : TmyPixel::CreateRGBA(shade, 1, 2, 255);
    img.At(0, 0) = TmyPixel::Create();
    img.SetHotSpotX(hotX);
    img.SetRate(rate);
    return img;
}

TEST(AniPeer, WrittenFilesParseWithTheExpectedStructure) {
    REQUIRE_PEER(script);
    struct Case {
        const char* what;
        std::vector<TmyImagePal> frames;
        std::string title, author;
        std::string anih, rate, seq;
    } cases[] = {
        {"three equal frames", {Frame(32, 32, 32, 9, 0.1), Frame(32, 32, 32, 9, 0.1), Frame(32, 32, 32, 9, 0.1)}, "", "",
         "36 1 3 32 32 32 1 6 3", "none", "0 0 0"},
        {"two frames, two delays, texts", {Frame(17, 5, 8, 3, 0.1), Frame(17, 5, 8, 4, 0.2)}, "Title", "Some \"one\"",
         "36 2 2 17 5 8 1 10 1", "6 12", "none"},
        {"repeats, hotspots and delays", {Frame(48, 48, 4, 1, 0.5), Frame(48, 48, 4, 2, 0.5), Frame(48, 48, 4, 1, 0.5, 7),
                                          Frame(48, 48, 4, 1, 1.0), Frame(48, 48, 4, 2, 0.5)},
         "abcd", "", "36 3 5 48 48 4 1 10 3", "30 30 30 60 30", "0 1 2 0 1"},
        {"one bit, odd title", {Frame(256, 256, 1, 1, 0.3)}, "abc", "x", "36 1 1 256 256 1 1 18 1", "none", "none"},
    };
    const fs::path dir = fs::temp_directory_path() / ("velto-ani-peer-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (Case& c : cases) {
        TmyANI doc;
        for (const TmyImagePal& f : c.frames) doc.AppendImage(std::make_unique<TmyImagePal>(f));
        doc.Title = c.title;
        doc.Author = c.author;
        const std::string path = (dir / "w.ani").string();
        ASSERT_TRUE(TmyANIIO(false).SaveToFile(doc, path, false)) << c.what;
        auto peer = Peer(script, path);
        ASSERT_EQ(peer.count("error"), 0u) << c.what << ": " << peer["error"];
        EXPECT_EQ(peer["anih"], c.anih) << c.what;
        EXPECT_EQ(peer["rate"], c.rate) << c.what;
        EXPECT_EQ(peer["seq"], c.seq) << c.what;
        EXPECT_EQ(peer["title"], c.title.empty() && c.author.empty() ? "none" : Quoted(c.title)) << c.what;
        EXPECT_EQ(peer["artist"], c.title.empty() && c.author.empty() ? "none" : Quoted(c.author)) << c.what;
        // One cursor file of one image per stored frame, of the size the cursor format gives it.
        const std::vector<long> icons = Numbers(peer["icons"]);
        ASSERT_EQ(icons.size(), static_cast<std::size_t>(Numbers(c.anih)[1])) << c.what;
        for (long size : icons)
            EXPECT_EQ(size, 22 + 40 + TmyIcoIO::ImageDataSize(c.frames[0].Height(), c.frames[0].Width(), c.frames[0].BitCount) +
                                TmyIcoIO::MaskDataSize(c.frames[0].Height(), c.frames[0].Width()))
                << c.what;
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace velto
