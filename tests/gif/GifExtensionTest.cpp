// Extensions: graphic control flags, application blocks of every size, the
// loop count, comments and plain text, read from files and written back.
#include <cstring>

#include "GifTestUtil.h"

using namespace giftest;

namespace {

const Bytes kFrame = Concat({Descriptor(0, 0, 2, 2), Lzw({0, 1, 2, 3}, 2, 2)});

Bytes App(std::uint8_t size, const std::string& id, const Bytes& blocks) {
    Bytes b = {'!', 0xFF, size};
    b.insert(b.end(), id.begin(), id.end());
    return Concat({b, blocks});
}

// What an application extension holds, as text to compare.
std::string AppContent(const TGIFExtension& e) {
    const auto* app = dynamic_cast<const TGIFApplicationExtension*>(&e);
    if (!app) return "not an application extension";
    std::string s = std::string(app->IdentifierText()) + "|" +
                    std::string(app->IdentifierTail.begin(), app->IdentifierTail.end());
    if (const auto* unknown = dynamic_cast<const TGIFUnknownAppExtension*>(app))
        for (const auto& block : unknown->Blocks) s += "|" + std::string(block.begin(), block.end());
    if (const auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(app))
        s += "|" + std::to_string(loop->Loops) + "|" + std::to_string(loop->BufferSize);
    return s;
}

Bytes Repeat(std::size_t n, std::uint8_t value) { return Bytes(n, value); }

struct AppCase {
    const char* name;
    Bytes block;           // the extension as in the file
    std::string error;
    const char* cls;       // class name read
    Bytes written;         // written back ("" when refused)
};

class GifApplication : public ::testing::TestWithParam<AppCase> {};

TEST_P(GifApplication, ReadsAndWritesBack) {
    const AppCase& c = GetParam();
    TGIFImage gif;
    ASSERT_EQ(Load(gif, Concat({Header(2, 2), c.block, kFrame, {';'}})), c.error);
    if (!c.error.empty()) return;
    TGIFSubImage& f = gif.Images()[0];
    ASSERT_EQ(f.Extensions().Count(), 1);
    EXPECT_STREQ(f.Extensions()[0].Class().Name, c.cls);
    ByteWriter out;
    f.Extensions().SaveToStream(out);
    EXPECT_EQ(out.buffer(), c.written);

    // What was written reads back as the same class with the same content.
    TGIFImage back;
    ASSERT_EQ(Load(back, Concat({Header(2, 2), out.buffer(), kFrame, {';'}})), "");
    const TGIFExtensionList& list = back.Images()[0].Extensions();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_STREQ(list[0].Class().Name, c.cls);
    EXPECT_EQ(AppContent(list[0]), AppContent(f.Extensions()[0]));
    ByteWriter again;
    list.SaveToStream(again);
    EXPECT_EQ(again.buffer(), out.buffer());
}

INSTANTIATE_TEST_SUITE_P(
    Gif, GifApplication,
    ::testing::Values(
        AppCase{"Loop", App(11, "NETSCAPE2.0", {3, 1, 5, 0, 0}), "", "TGIFAppExtNSLoop",
                App(11, "NETSCAPE2.0", {3, 1, 5, 0, 0})},
        AppCase{"LoopWithBuffer", App(11, "NETSCAPE2.0", {3, 1, 0, 1, 6, 2, 1, 2, 3, 4, 9, 0}), "", "TGIFAppExtNSLoop",
                App(11, "NETSCAPE2.0", {3, 1, 0, 1, 5, 2, 1, 2, 3, 4, 0})},
        AppCase{"AnimExtsKeepsItsName", App(11, "ANIMEXTS1.0", {3, 1, 2, 0, 0}), "", "TGIFAppExtNSLoop",
                App(11, "ANIMEXTS1.0", {3, 1, 2, 0, 0})},
        AppCase{"UnknownKeepsItsBlocks", App(11, "XMP DataXMP", {2, 'a', 'b', 1, 'c', 0}), "", "TGIFUnknownAppExtension",
                App(11, "XMP DataXMP", {2, 'a', 'b', 1, 'c', 0})},
        // A 10-byte block takes the first data byte into its identifier; it is
        // written back as an 11-byte block.
        AppCase{"SizeTen", App(10, "ABCDEFGHIJ", {2, 'x', 'y', 0}), "", "TGIFUnknownAppExtension",
                App(11, std::string("ABCDEFGHIJ") + '\2', {2, 'x', 'y', 0})},
        // Larger blocks are unknown data, whatever their identifier names; the
        // bytes past the eleventh are kept, and the block keeps its size, since
        // an 11-byte one would be read by the identifier's own class.
        AppCase{"SizeTwelve", App(12, "NETSCAPE2.0Z", {3, 1, 5, 0, 0}), "", "TGIFUnknownAppExtension",
                App(12, "NETSCAPE2.0Z", {3, 1, 5, 0, 0})},
        AppCase{"SizeTwelveWithNoLoopData", App(12, "NETSCAPE2.0!", {3, 2, 0, 0xF1, 2, 0, 0, 0}), "",
                "TGIFUnknownAppExtension", App(12, "NETSCAPE2.0!", {3, 2, 0, 0xF1, 2, 0, 0, 0})},
        AppCase{"SizeThirty", App(30, "XMP DataXMPnineteen bytes tail", {1, 'q', 0}), "", "TGIFUnknownAppExtension",
                App(30, "XMP DataXMPnineteen bytes tail", {1, 'q', 0})},
        // A 10-byte block whose identifier, with the data's first byte, names the
        // loop: it stays 10 bytes, as an 11-byte one would be read as the loop.
        AppCase{"SizeTenNamingTheLoop", Concat({App(10, "NETSCAPE2.", {'0'}), Repeat(48, 7), {0}}), "",
                "TGIFUnknownAppExtension", Concat({App(10, "NETSCAPE2.", {'0'}), Repeat(48, 7), {0}})},
        AppCase{"SizeNine", App(9, "NETSCAPE", {0}), "Unsupported Application Extension block size", "", {}},
        AppCase{"SizeMissing", {'!', 0xFF}, "Premature end of data", "", {}},
        AppCase{"LoopCutShort", App(11, "NETSCAPE2.0", {3, 1, 5, 0}), "Premature end of data", "", {}},
        AppCase{"LoopSubBlockTooShort", App(11, "NETSCAPE2.0", {2, 1, 5, 0}), "Invalid GIF data", "", {}},
        AppCase{"UnknownCutShort", App(11, "XMP DataXMP", {250, 'a'}), "Premature end of data", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GifExtension, LoopWrittenAsNineteenBytes) {
    TGIFImage gif;
    TGIFSubImage frame(gif);
    auto& loop = frame.Extensions().Add<TGIFAppExtNSLoop>();
    loop.Loops = 0x0102;
    ByteWriter out;
    loop.SaveToStream(out);
    EXPECT_EQ(out.buffer(), App(11, "NETSCAPE2.0", {3, 1, 2, 1, 0}));
    EXPECT_EQ(out.size(), 19u);
}

// Unknown data built in memory under a registered identifier cannot take the
// 10-byte form (its data starts otherwise): a padding byte keeps it unknown.
TEST(GifExtension, UnknownDataUnderALoopNameStaysUnknown) {
    TGIFImage gif;
    TGIFSubImage frame(gif);
    auto& app = frame.Extensions().Add<TGIFUnknownAppExtension>();
    std::memcpy(app.Identifier.data(), "NETSCAPE2.0", 11);
    app.Blocks = {{1, 2, 3}};
    ByteWriter out;
    app.SaveToStream(out);
    EXPECT_EQ(out.buffer(), App(12, std::string("NETSCAPE2.0") + '\0', {3, 1, 2, 3, 0}));

    TGIFImage back;
    ASSERT_EQ(Load(back, Concat({Header(2, 2), out.buffer(), kFrame})), "");
    const auto* read = back.Images()[0].Extensions().Find<TGIFUnknownAppExtension>();
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->IdentifierText(), "NETSCAPE2.0");
    EXPECT_EQ(read->Blocks, app.Blocks);

    TGIFImage cut;
    EXPECT_EQ(Load(cut, Concat({Header(2, 2), App(12, "NETSCAPE2.0", {})})), "Premature end of data");

    // A tail beyond what a block size byte can count is refused.
    app.IdentifierTail.assign(245, 'x');
    ByteWriter refused;
    try {
        app.SaveToStream(refused);
        ADD_FAILURE() << "written";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Unsupported Application Extension block size");
    }
}

TEST(GifExtension, GraphicControlFlags) {
    TGIFImage gif;
    WarningLog log;
    log.Attach(gif);
    ASSERT_EQ(Load(gif, Concat({Header(2, 2), Gce(0x01 | (2 << 2), 7, 3), kFrame, {';'}})), "");
    TGIFSubImage& f = gif.Images()[0];
    TGIFGraphicControlExtension* gce = f.GraphicControlExtension();
    ASSERT_NE(gce, nullptr);
    EXPECT_TRUE(f.Transparent());
    EXPECT_EQ(gce->Disposal(), 2);
    EXPECT_EQ(gce->Delay, 7);
    EXPECT_EQ(gce->TransparentColorIndex(), 3);
    // Pixels the data never reach keep the transparent index.
    gce->SetTransparent(false);
    EXPECT_FALSE(f.Transparent());
    gce->Packed = 0x01;
    gce->SetDisposal(3);
    EXPECT_EQ(gce->Packed, 0x0D);
    gce->SetUserInput(true);
    EXPECT_TRUE(gce->UserInput());
    gce->SetTransparentColorIndex(9);  // beyond the 4 colours
    EXPECT_EQ(gce->TransparentIndex, 0);
    EXPECT_EQ(log.texts, std::vector<std::string>{"Invalid color index"});
    gce->SetTransparent(true);
    f.Extensions().Delete(0);
    EXPECT_EQ(f.GraphicControlExtension(), nullptr);
    EXPECT_FALSE(f.Transparent());
}

// A delay of 0 (or none) plays as the default; short ones are raised, long
// ones cut only when the painter waits in the caller's thread.
TEST(GifExtension, PlayDelay) {
    TGIFImage gif;
    TGIFSubImage frame(gif);
    EXPECT_EQ(frame.PlayDelay(false), 10);
    auto& gce = frame.Extensions().Add<TGIFGraphicControlExtension>();
    const struct {
        std::uint16_t delay;
        int async, sync;
    } rows[] = {{0, 10, 10}, {1, 3, 3}, {2, 3, 3}, {3, 3, 3}, {57, 57, 57}, {1000, 1000, 1000}, {5000, 5000, 1000}};
    for (const auto& row : rows) {
        gce.Delay = row.delay;
        EXPECT_EQ(frame.PlayDelay(false), row.async) << row.delay;
        EXPECT_EQ(frame.PlayDelay(true), row.sync) << row.delay;
    }
    EXPECT_EQ(5000 * GIFDelayTimeFactor, 60000);  // 5000 hundredths play for 60 s
}

// Data cut inside a graphic control block: a warning, and the frame reads on.
TEST(GifExtension, ShortGraphicControlWarns) {
    TGIFImage gif;
    WarningLog log;
    log.Attach(gif);
    EXPECT_EQ(Load(gif, Concat({Header(2, 2), {'!', 0xF9, 4, 1}})), "");
    EXPECT_EQ(log.texts, std::vector<std::string>{"Premature end of data"});
    ASSERT_EQ(gif.Images().Count(), 1);
    EXPECT_TRUE(gif.Images()[0].Transparent());
}

TEST(GifExtension, FillOfTransparentFrames) {
    TGIFImage gif;
    // Data for one pixel of four: the rest keeps the transparent index.
    ASSERT_EQ(Load(gif, Concat({Header(2, 2), Gce(1, 0, 3), Descriptor(0, 0, 2, 2), Lzw({1}, 1, 1)})), "");
    const TGIFSubImage& f = gif.Images()[0];
    EXPECT_EQ(Bytes(f.Data(), f.Data() + 4), (Bytes{1, 3, 3, 3}));
}

TEST(GifExtension, CommentAndTextLines) {
    TGIFImage gif;
    TGIFSubImage frame(gif);
    auto& comment = frame.Extensions().Add<TGIFCommentExtension>();
    comment.Text = {"one", "", std::string(300, 'x')};
    auto& text = frame.Extensions().Add<TGIFTextExtension>();
    text.Left = 0x0102;
    text.CharWidth = 8;
    text.ForegroundColorIndex = 3;
    text.Text = {"hello"};
    ByteWriter out;
    frame.Extensions().SaveToStream(out);
    Bytes expected = {'!', 0xFE, 3, 'o', 'n', 'e', 255};
    expected.insert(expected.end(), 255, 'x');
    expected.push_back(45);
    expected.insert(expected.end(), 45, 'x');
    expected.insert(expected.end(), {0, '!', 0x01, 12, 2, 1, 0, 0, 0, 0, 0, 0, 8, 0, 3, 0, 5, 'h', 'e', 'l', 'l', 'o', 0});
    EXPECT_EQ(out.buffer(), expected);

    TGIFImage back;
    ASSERT_EQ(Load(back, Concat({Header(2, 2), out.buffer(), kFrame})), "");
    const TGIFExtensionList& list = back.Images()[0].Extensions();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Find<TGIFCommentExtension>()->Text,
              (std::vector<std::string>{"one", std::string(255, 'x'), std::string(45, 'x')}));
    const TGIFTextExtension* t = list.Find<TGIFTextExtension>();
    EXPECT_EQ(t->Left, 0x0102);
    EXPECT_EQ(t->CharWidth, 8);
    EXPECT_EQ(t->Text, std::vector<std::string>{"hello"});
}

// An extension's own reader checks what stands before its data.
TEST(GifExtension, ReaderChecksIntroducerAndLabel) {
    TGIFImage gif;
    TGIFSubImage frame(gif);
    TGIFCommentExtension comment(frame);
    const std::vector<std::pair<Bytes, std::string>> rows = {
        {{'?', 0xFE, 0}, "Invalid extension introducer"},
        {{'!', 0xF9, 0}, "Internal error: Extension Instance does not match Extension Label"},
        {{'!'}, "Premature end of data"},
        {{'!', 0xFE, 3, 'a'}, "Premature end of data"}};
    for (const auto& [bytes, text] : rows) {
        ByteReader r(bytes);
        try {
            comment.LoadFromStream(r);
            ADD_FAILURE() << text;
        } catch (const GIFException& e) {
            EXPECT_EQ(e.what(), text);
        }
    }
}

// A class registered later for a label wins over the earlier one.
TEST(GifExtension, RegistryLastWins) {
    static const TGIFExtensionClass custom{"Custom", 0x03, nullptr, [](TGIFSubImage& f) -> std::unique_ptr<TGIFExtension> {
                                               return std::make_unique<TGIFCommentExtension>(f);
                                           }};
    const Bytes label = {0x03, 0};
    ByteReader r(label);
    EXPECT_EQ(FindExtensionClass(r), nullptr);
    RegisterExtensionClass(custom);
    EXPECT_EQ(FindExtensionClass(r), &custom);
    EXPECT_EQ(r.pos(), 0u);
    const Bytes app = {0xFF, 11, 'V', 'E', 'L', 'T', 'O', 'T', 'E', 'S', 'T', '1', '0'};
    ByteReader a(app);
    EXPECT_EQ(FindExtensionClass(a), &TGIFUnknownAppExtension::ClassInfo());
    RegisterAppExtensionClass("VELTOTEST10", TGIFAppExtNSLoop::ClassInfo());
    EXPECT_EQ(FindExtensionClass(a), &TGIFAppExtNSLoop::ClassInfo());
}

}  // namespace
