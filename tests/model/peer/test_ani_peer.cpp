// Animated cursors against the npm package ani-cursor (its parseAni), run through
// tests/peer-node/parse-ani.js from the install ./test.sh makes in the build tree
// ($VELTO_PEER_NODE, else <build>/peer-node beside the tests folder).
#include "model/AniIO.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileIO.h"

namespace velto {
namespace {

namespace fs = std::filesystem;
using Fields = std::map<std::string, std::string>;

std::string PeerDir() {
    if (const char* env = std::getenv("VELTO_PEER_NODE"); env && *env) return env;
    std::error_code ec;
    return (fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "peer-node").string();
}
#define REQUIRE_PEER()                                                                                          \
    if (std::system("command -v node >/dev/null") != 0 || !fs::exists(PeerDir() + "/node_modules/ani-cursor")) \
    GTEST_SKIP() << "node or ani-cursor missing in " << PeerDir()                                               \
                 << " (./test.sh installs it with npm ci; the registry may have been unreachable)"

std::string ShellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
// parse-ani.js's output for one file: first word of each line -> the rest.
Fields Peer(const std::string& file) {
    Fields out;
    FILE* p = popen(("node " + ShellQuoted(PeerDir() + "/parse-ani.js") + " " + ShellQuoted(file) + " 2>&1").c_str(), "r");
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
    std::istringstream in(s);
    std::vector<long> out;
    for (long v; in >> v;) out.push_back(v);
    return out;
}
std::string Quoted(const std::string& s) {  // as JSON.stringify writes plain text
    std::string out = "\"";
    for (char c : s) out += (c == '"' || c == '\\') ? std::string{'\\', c} : std::string{c};
    return out + "\"";
}

TEST(AniPeer, SampleFilesAgreeOnStepsRatesAndTexts) {
    REQUIRE_PEER();
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(VELTO_CORPUS_DIR)) {
        // Animated cursors by content: several samples carry the ".cur" extension.
        std::vector<std::uint8_t> head;
        std::uint64_t size = 0;
        if (!entry.is_regular_file() || !ReadFileHead(entry.path().string(), 12, head, size) || head.size() < 12 ||
            std::string(head.begin(), head.begin() + 4) + std::string(head.begin() + 8, head.end()) != "RIFFACON")
            continue;
        ++files;
        const std::string path = entry.path().string();
        TmyANI doc;
        ASSERT_TRUE(TmyANIIO(false).LoadFromFile(doc, path)) << path;
        Fields peer = Peer(path);
        ASSERT_EQ(peer.count("error"), 0u) << path << ": " << peer["error"];
        const std::vector<long> rate = Numbers(peer["rate"]), steps = Numbers(peer[peer["seq"] == "none" ? "icons" : "seq"]);
        ASSERT_EQ(static_cast<std::size_t>(doc.Count()), steps.size()) << path;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            long jiffies = i < rate.size() ? rate[i] : Numbers(peer["anih"]).at(7);
            if (jiffies == 0) jiffies = 6;  // a delay of 0 is held as the model's least rate, 0.1 s
            EXPECT_EQ(SecondsToJiffies(doc.Image(static_cast<int>(i)).Rate()), jiffies) << path << " step " << i;
        }
        // An empty text reads as no text.
        EXPECT_EQ(doc.Title.empty() ? "none" : Quoted(doc.Title), peer["title"]) << path;
        EXPECT_EQ(doc.Author.empty() ? "none" : Quoted(doc.Author), peer["artist"]) << path;
    }
    EXPECT_GE(files, 5);
}

TmyImagePal Frame(int w, int h, int bits, std::uint8_t shade, double rate, int hotX = 0) {
    TmyImagePal img({w, h}, bits);
    for (TmyPixel& p : img.Pixels())
        p = img.Palette ? (*img.Palette)[shade % img.Palette->Count()] : TmyPixel::CreateRGBA(shade, 1, 2, 255);
    img.At(0, 0) = TmyPixel::Create();
    img.SetHotSpotX(hotX);
    img.SetRate(rate);
    return img;
}

TEST(AniPeer, WrittenFilesParseWithTheExpectedStructure) {
    REQUIRE_PEER();
    const struct {
        std::vector<TmyImagePal> frames;
        std::string title, author, anih, rate, seq;
    } cases[] = {
        {{Frame(32, 32, 32, 9, 0.1), Frame(32, 32, 32, 9, 0.1), Frame(32, 32, 32, 9, 0.1)}, "", "",
         "36 1 3 32 32 32 1 6 3", "none", "0 0 0"},
        {{Frame(17, 5, 8, 3, 0.1), Frame(17, 5, 8, 4, 0.2)}, "Title", "Some \"one\"", "36 2 2 17 5 8 1 10 1", "6 12", "none"},
        {{Frame(48, 48, 4, 1, 0.5), Frame(48, 48, 4, 2, 0.5), Frame(48, 48, 4, 1, 0.5, 7), Frame(48, 48, 4, 1, 1.0),
          Frame(48, 48, 4, 2, 0.5)},
         "abcd", "", "36 3 5 48 48 4 1 10 3", "30 30 30 60 30", "0 1 2 0 1"},
        {{Frame(256, 256, 1, 1, 0.3)}, "abc", "x", "36 1 1 256 256 1 1 18 1", "none", "none"},
    };
    const fs::path dir = fs::temp_directory_path() / ("velto-ani-peer-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "w.ani").string();
    for (const auto& c : cases) {
        TmyANI doc;
        for (const TmyImagePal& f : c.frames) doc.AppendImage(std::make_unique<TmyImagePal>(f));
        doc.Title = c.title;
        doc.Author = c.author;
        ASSERT_TRUE(TmyANIIO(false).SaveToFile(doc, path, false)) << c.anih;
        Fields peer = Peer(path);
        ASSERT_EQ(peer.count("error"), 0u) << c.anih << ": " << peer["error"];
        const bool info = !c.title.empty() || !c.author.empty();
        EXPECT_EQ(peer["anih"] + "|" + peer["rate"] + "|" + peer["seq"] + "|" + peer["title"] + "|" + peer["artist"],
                  c.anih + "|" + c.rate + "|" + c.seq + "|" + (info ? Quoted(c.title) + "|" + Quoted(c.author) : "none|none"));
        // One cursor file of one image per stored frame, of the size the cursor format gives it.
        const TmyImagePal& f = c.frames[0];
        const std::int64_t icon = 22 + 40 + TmyIcoIO::ImageDataSize(f.Height(), f.Width(), f.BitCount) +
                                  TmyIcoIO::MaskDataSize(f.Height(), f.Width());
        EXPECT_EQ(Numbers(peer["icons"]), std::vector<long>(static_cast<std::size_t>(Numbers(c.anih)[1]), icon)) << c.anih;
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace velto
