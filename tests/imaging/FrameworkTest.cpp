// The buffered stream and I/O tables, the format registry (detection, loads
// and saves by name and stream, numbered files, failed saves) and the image
// classes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "FileTrouble.h"
#include "ImagingTestUtil.h"
#include "imaging/Classes.h"
#include "imaging/FileFormat.h"
#include "imaging/FormatJpeg2000.h"
#include "imaging/Options.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace velto {
namespace {

using test::Bytes;
using test::Image;
namespace fs = std::filesystem;

Bytes Pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return b;
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velto-imaging-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static Bytes Read(const std::string& path) {
        Bytes out;
        ReadWholeFile(path, out);
        return out;
    }
    static void Write(const std::string& path, const Bytes& data) { ASSERT_TRUE(WriteWholeFile(path, data)); }
    fs::path dir_;
};

// ---------------------------------------------------------------------------
// Buffered stream

TEST(BufferedStream, ReadsAcrossTheCache) {
    const Bytes data = Pattern(40000);
    TMemoryStream mem(data);
    TBufferedStream s(mem);
    Bytes out(10);
    s.Seek(39996, 0);
    EXPECT_EQ(s.Read(out.data(), 10), 4) << "cut at the size";
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), Bytes(data.end() - 4, data.end()));
    EXPECT_EQ(s.Read(out.data(), 1), 0);
    s.Seek(16380, 0);
    Bytes span(20);
    ASSERT_EQ(s.Read(span.data(), 20), 20);
    EXPECT_EQ(span, Bytes(data.begin() + 16380, data.begin() + 16400)) << "both cache loads in order";
    EXPECT_EQ(s.Seek(40000, 0), 40000);
    EXPECT_EQ(s.BufStart(), 32768);
    EXPECT_EQ(s.BufPos(), 7232);
    EXPECT_THROW(s.Seek(0, 3), std::runtime_error);
    EXPECT_EQ(s.Seek(-10, 2), 39990);
    Bytes whole(40000);
    s.Seek(0, 0);
    EXPECT_EQ(s.Read(whole.data(), 40000), 40000);
    EXPECT_EQ(whole, data);
}

TEST(BufferedStream, WritesKeepSurroundingBytesAndZeroGaps) {
    const Bytes data = Pattern(20000);
    TMemoryStream mem(data);
    {
        TBufferedStream s(mem);
        s.Seek(16000, 0);
        const Bytes patch(800, 0xEE);
        ASSERT_EQ(s.Write(patch.data(), 800), 800);
        s.Close();
        EXPECT_EQ(mem.Position(), 16800) << "the stream ends where the writer stopped";
    }
    Bytes expected = data;
    std::fill(expected.begin() + 16000, expected.begin() + 16800, 0xEE);
    EXPECT_EQ(mem.Data(), expected);

    // A seek beyond the end, inside and across cache blocks: the gap is zeros,
    // not what the cache held before.
    TMemoryStream grown(Pattern(100));
    {
        TBufferedStream s(grown);
        Bytes junk(100);
        s.Read(junk.data(), 100);
        s.Seek(300, 0);
        const std::uint8_t one = 1;
        s.Write(&one, 1);
        s.Seek(40000, 0);
        s.Write(&one, 1);
        s.Close();
    }
    ASSERT_EQ(grown.Data().size(), 40001u);
    EXPECT_EQ(Bytes(grown.Data().begin() + 100, grown.Data().begin() + 300), Bytes(200, 0));
    EXPECT_EQ(grown.Data()[300], 1);
    EXPECT_EQ(Bytes(grown.Data().begin() + 301, grown.Data().end() - 1), Bytes(40000 - 301, 0));
}

TEST(BufferedStream, ReadAfterWriteAtBlockEndKeepsTheWrite) {
    TMemoryStream mem(Pattern(40000));
    {
        TBufferedStream s(mem);
        s.Seek(16380, 0);
        const Bytes four(4, 0xAB);
        s.Write(four.data(), 4);
        s.Seek(16370, 0);
        Bytes tail(14);
        ASSERT_EQ(s.Read(tail.data(), 14), 14);  // ends exactly at the block's end
        Bytes next(1);
        ASSERT_EQ(s.Read(next.data(), 1), 1);
    }
    EXPECT_EQ(Bytes(mem.Data().begin() + 16380, mem.Data().begin() + 16384), Bytes(4, 0xAB));
}

TEST_F(TempDir, FileTableWritesAndReads) {
    const std::string path = Path("big.bin");
    const TIOFunctions& io = FileIO();
    const Bytes data = Pattern(20000);
    TImagingHandle h = io.OpenWrite(path.c_str());
    for (std::size_t i = 0; i < data.size(); i += 1000) ASSERT_EQ(io.Write(h, data.data() + i, 1000), 1000);
    io.Close(h);
    EXPECT_EQ(Read(path), data);
    h = io.OpenRead(path.c_str());
    EXPECT_EQ(GetInputSize(io, h), 20000);
    io.Seek(h, 19999, smFromBeginning);
    EXPECT_FALSE(io.Eof(h));
    std::uint8_t b = 0;
    EXPECT_EQ(io.Read(h, &b, 1), 1);
    EXPECT_TRUE(io.Eof(h));
    io.Close(h);
    EXPECT_THROW(io.OpenRead(Path("missing").c_str()), std::runtime_error);
    // An abandoned write leaves the file as it was.
    h = io.OpenWrite(path.c_str());
    io.Write(h, "x", 1);
    AbandonFileWrite(h);
    io.Close(h);
    EXPECT_EQ(Read(path), data);
}

// ---------------------------------------------------------------------------
// Registry

TEST(Registry, OrderMasksAndLookups) {
    ASSERT_GE(GetFileFormatCount(), 1);
    EXPECT_EQ(GetFileFormatAtIndex(-1), nullptr);
    EXPECT_EQ(GetFileFormatAtIndex(GetFileFormatCount()), nullptr);
    TImageFileFormat* jp2 = FindImageFileFormatByExt("JP2");
    ASSERT_NE(jp2, nullptr);
    EXPECT_EQ(jp2->Name, "JPEG 2000 Image");
    EXPECT_EQ(jp2->Extensions, (std::vector<std::string>{"jp2", "j2k", "j2c", "jpx", "jpc"}));
    EXPECT_EQ(FindImageFileFormatByClass<TJpeg2000FileFormat>(), jp2);
    EXPECT_EQ(FindImageFileFormatByName("/some/dir/Picture.J2C"), jp2);
    EXPECT_EQ(FindImageFileFormatByName("out.xyz"), nullptr);
    EXPECT_EQ(FindImageFileFormatByExt("xyz"), nullptr);

    TImageFileFormat masks;
    masks.AddMasks("*.jpg, *.jpeg,*.jfif ,*.jpe,*.jif");
    EXPECT_EQ(masks.Extensions.size(), 5u);
    masks.AddMasks("texture.*,*.dagtexture");
    EXPECT_EQ(masks.Extensions, (std::vector<std::string>{"dagtexture"}));
    EXPECT_TRUE(masks.TestFileName("/x/TEXTURE.012"));
    EXPECT_EQ(masks.Name, "Unknown and unsupported format");
    TDynImageDataArray none;
    EXPECT_THROW(masks.LoadData(StreamIO(), nullptr, none, false), EImagingError);
    // Nothing can be loaded or saved by the base class.
    TMemoryStream stream;
    EXPECT_FALSE(masks.LoadFromStream(stream, none));
}

// Every registered format's content test leaves the stream where it found it,
// whatever the stream holds.
TEST(Registry, ContentTestsKeepThePosition) {
    TSingleImage image(8, 8, ifA8R8G8B8);
    TMemoryStream jp2;
    image.SaveToStream("jp2", jp2);
    std::vector<Bytes> inputs = {Bytes(), Bytes(3, 0xFF), Pattern(64), jp2.Data()};
    Bytes prefixed = Pattern(10);
    prefixed.insert(prefixed.end(), jp2.Data().begin(), jp2.Data().end());
    inputs.push_back(prefixed);
    for (std::int32_t i = 0; i < GetFileFormatCount(); ++i) {
        TImageFileFormat* f = GetFileFormatAtIndex(i);
        for (std::size_t k = 0; k < inputs.size(); ++k) {
            SCOPED_TRACE(f->Name + " input " + std::to_string(k));
            TMemoryStream s(inputs[k]);
            const std::int64_t start = k == 4 ? 10 : (inputs[k].empty() ? 0 : 1);
            s.SetPosition(start);
            f->TestFormat(StreamIO(), &s);
            EXPECT_EQ(s.Position(), start);
        }
    }
    TMemoryStream s(prefixed);
    s.SetPosition(10);
    EXPECT_EQ(DetectStreamFormat(s), "jp2");
    EXPECT_EQ(s.Position(), 10);
}

TEST_F(TempDir, DetectionByNameThenContent) {
    TSingleImage image(8, 8, ifGray8);
    const std::string named = Path("x.jpg");  // JPEG 2000 data under another format's name
    image.SaveToFile(Path("real.jp2"));
    fs::copy_file(Path("real.jp2"), named);
    EXPECT_EQ(DetectFileFormat(named), "jp2");
    Write(Path("text.jp2"), Bytes{'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(DetectFileFormat(Path("text.jp2")), "");
    EXPECT_EQ(DetectFileFormat(Path("missing.jp2")), "");
    TImageData data;
    EXPECT_FALSE(LoadImageFromFile(Path("text.jp2"), data)) << "no format: false without raising";
    EXPECT_TRUE(LoadImageFromFile(named, data));
    EXPECT_EQ(data.Format, ifGray8);
    FreeImage(data);
    EXPECT_FALSE(SaveImageToFile(Path("out.xyz"), image.ImageData));
}

// A file the system refuses fails with the library's message, which keeps
// the system's reason, and the reason itself travels with the exception.
TEST(FileFailures, SavesAndLoadsCarryTheSystemsReason) {
    TSingleImage image(24, 24, ifA8R8G8B8);
    VELTO_EXPECT_TROUBLES_REPORTED("out.bmp", [&](const std::string& path) -> std::string {
        try {
            return SaveImageToFile(path, image.ImageData) ? "saved" : "refused without a reason";
        } catch (const EImagingError& e) {
            const std::string reason = FileErrorText(e.FileStatus());
            if (!std::string(e.what()).ends_with(reason)) return std::string("message lost the reason: ") + e.what();
            return reason;
        }
    });
    TDynImageDataArray images;
    try {
        FindImageFileFormatByExt("bmp")->LoadFromFile("/tmp/velto-no-such-folder/in.bmp", images);
        FAIL() << "a missing file loaded";
    } catch (const EImagingError& e) {
        EXPECT_EQ(e.FileStatus(), FileError::NotFound);
        EXPECT_TRUE(std::string(e.what()).ends_with("No such file or directory")) << e.what();
    }
}

TEST_F(TempDir, NamedFormatRefusesOtherContent) {
    TImageFileFormat* jp2 = FindImageFileFormatByExt("jp2");
    const std::string path = Path("odd %s %n name.jp2");
    Write(path, Bytes(20, 'x'));
    TDynImageDataArray images;
    try {
        jp2->LoadFromFile(path, images);
        FAIL();
    } catch (const EImagingError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Error while loading images from file \"" + path + "\" (file format: jp2). Exception Message: File \"" +
                      path + "\" is not valid image in \"JPEG 2000 Image\" format.");
    }
    EXPECT_TRUE(images.empty());
    TMemoryStream stream(Bytes(20, 'x'));
    stream.SetPosition(3);
    EXPECT_THROW(jp2->LoadFromStream(stream, images), EImagingError);
    EXPECT_EQ(stream.Position(), 3) << "the stream goes back to where the load began";
}

TEST_F(TempDir, SeveralImagesOfASingleImageFormat) {
    TDynImageDataArray images(3);
    for (int i = 0; i < 3; ++i) NewImage(4 + i, 4, ifGray8, images[static_cast<std::size_t>(i)]);
    TImageFileFormat* jp2 = FindImageFileFormatByExt("jp2");
    ASSERT_TRUE(jp2->SaveToFile(Path("a.jp2"), images));
    EXPECT_FALSE(fs::exists(Path("a.jp2")));
    for (int i = 0; i < 3; ++i) {
        TImageData back;
        ASSERT_TRUE(LoadImageFromFile(Path("a00" + std::to_string(i) + ".jp2"), back)) << i;
        EXPECT_EQ(back.Width, 4 + i);
        FreeImage(back);
    }
    // Into one stream, one after another.
    TMemoryStream stream;
    ASSERT_TRUE(jp2->SaveToStream(stream, images));
    stream.SetPosition(0);
    for (int i = 0; i < 3; ++i) {
        TImageData back;
        ASSERT_TRUE(LoadImageFromStream(stream, back)) << i;
        EXPECT_EQ(back.Width, 4 + i) << "each load leaves the stream behind its image";
        FreeImage(back);
    }
    FreeImagesInArray(images);
}

// A format whose saver writes part of a file and then fails.
class FailingFormat : public TImageFileFormat {
public:
    bool throws = false;
    FailingFormat() {
        Name = "Failing";
        AddMasks("*.fail");
        CanSave = true;
        SupportedFormats.set(ifGray8);
    }
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray&, std::int32_t) override {
        io.Write(handle, "partial", 7);
        if (throws) throw std::runtime_error("disk full");
        return false;
    }
};

TEST_F(TempDir, FailedSaveKeepsTheExistingFile) {
    FailingFormat format;
    const std::string path = Path("keep.fail");
    const Bytes original = Pattern(300);
    Write(path, original);
    Image image(2, 2, ifGray8);
    const TDynImageDataArray images{image.data};
    EXPECT_FALSE(format.SaveToFile(path, images));
    EXPECT_EQ(Read(path), original);
    format.throws = true;
    EXPECT_THROW(format.SaveToFile(path, images), EImagingError);
    EXPECT_EQ(Read(path), original);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 1) << "no temporary file left";
    // Saving a format it cannot take: converted copy, not the caller's image.
    TMemoryStream stream;
    stream.Write("abc", 3);
    EXPECT_THROW(format.SaveToStream(stream, images), EImagingError);
    EXPECT_EQ(stream.Position(), 3);
}

TEST(Registry, OverrideOptionsConvertOnLoadAndSave) {
    TSingleImage image(4, 4, ifR8G8B8);
    ASSERT_TRUE(PushOptions());
    SetOption(ImagingSaveOverrideFormat, ifGray8);
    TMemoryStream stream;
    image.SaveToStream("jp2", stream);
    SetOption(ImagingSaveOverrideFormat, 0);
    SetOption(ImagingLoadOverrideFormat, ifA16R16G16B16);
    stream.SetPosition(0);
    TImageData loaded;
    ASSERT_TRUE(LoadImageFromStream(stream, loaded));
    EXPECT_EQ(loaded.Format, ifA16R16G16B16);
    ASSERT_TRUE(PopOptions());
    stream.SetPosition(0);
    ASSERT_TRUE(LoadImageFromStream(stream, loaded));
    EXPECT_EQ(loaded.Format, ifGray8) << "saved as grey";
    FreeImage(loaded);
}

// ---------------------------------------------------------------------------
// Image classes

TEST(SingleImage, CreationAssignAndEvents) {
    TSingleImage image;
    EXPECT_TRUE(image.Valid());
    EXPECT_EQ(image.Width(), 16);
    EXPECT_EQ(image.Format(), ifA8R8G8B8);
    EXPECT_EQ(image.ImageData.Size, 1024);
    EXPECT_EQ(Bytes(image.Bits(), image.Bits() + 1024), Bytes(1024, 0));
    image.CreateFromParams(32, 32, ifR8G8B8);
    EXPECT_EQ(image.ImageData.Size, 3072);
    TImageFormatInfo info;
    image.GetFormatInfo(info);
    EXPECT_EQ(info.BytesPerPixel, 3);

    int sizes = 0, pixels = 0;
    image.OnDataSizeChanged = [&](TBaseImage&) { ++sizes; };
    image.OnPixelsChanged = [&](TBaseImage&) { ++pixels; };
    image.RecreateImageData(5, 5, ifGray8);
    EXPECT_EQ(sizes, 1);
    EXPECT_EQ(pixels, 1);
    TSingleImage copy(image.ImageData);
    EXPECT_EQ(copy.Width(), 5);
    EXPECT_NE(copy.Bits(), image.Bits());
    copy.Assign(nullptr);
    EXPECT_EQ(copy.Width(), 16);
    copy.Assign(&image);
    EXPECT_EQ(copy.Format(), ifGray8);
    TSingleImage fromInvalid{TImageData{}};
    EXPECT_EQ(fromInvalid.Width(), 16);
    EXPECT_THROW(image.RecreateImageData(-1, 5, ifGray8), EImagingError);
    EXPECT_EQ(sizes, 1) << "no event without a new image";
}

TEST_F(TempDir, SingleImageLoadsAndSaves) {
    TSingleImage image(3, 2, ifA8R8G8B8);
    int events = 0;
    image.OnDataSizeChanged = [&](TBaseImage&) { ++events; };
    Write(Path("text.txt"), Bytes{'n', 'o', 't'});
    image.LoadFromFile(Path("text.txt"));
    EXPECT_TRUE(image.Valid());
    EXPECT_EQ(image.Width(), 3) << "an unknown file keeps the image";
    EXPECT_EQ(events, 0);

    // A recognised but broken file: the old image is gone.
    TSingleImage good(8, 8, ifR8G8B8);
    TMemoryStream bytes;
    good.SaveToStream("jp2", bytes);
    Bytes broken = bytes.Data();
    broken.resize(60);
    TMemoryStream brokenStream(broken);
    try {
        image.LoadFromStream(brokenStream);
    } catch (const EImagingError&) {
    }
    EXPECT_FALSE(image.Valid());

    TSingleImage invalid(8, 8, ifR8G8B8);
    FreeImage(invalid.ImageData);
    TMemoryStream nothing;
    invalid.SaveToStream("jp2", nothing);
    EXPECT_EQ(nothing.Size(), 0) << "an invalid image writes nothing";

    good.SaveToFile(Path("g.j2k"));
    TSingleImage back;
    back.OnDataSizeChanged = [&](TBaseImage&) { ++events; };
    back.LoadFromFile(Path("g.j2k"));
    EXPECT_EQ(events, 1);
    EXPECT_EQ(back.Format(), ifR8G8B8);
    EXPECT_EQ(Read(Path("g.j2k"))[4], 0x6A) << "a JP2 file whatever the extension";
}

TEST(DecodeBudget, RefusesBeforeAllocating) {
    TSingleImage big(300, 300, ifA8R8G8B8);
    TMemoryStream stream;
    big.SaveToStream("jp2", stream);
    const ReadLimits saved = ImagingLimits();
    ImagingLimits().imageBytes = 100000;  // the image needs 360000 bytes
    stream.SetPosition(0);
    TSingleImage loaded;
    EXPECT_THROW(loaded.LoadFromStream(stream), EImagingError);
    EXPECT_FALSE(loaded.Valid());
    ImagingLimits() = saved;
    ImagingLimits().imageLoadBytes = 500000;  // the codec's samples and the image together exceed it
    stream.SetPosition(0);
    EXPECT_THROW(loaded.LoadFromStream(stream), EImagingError);
    ImagingLimits() = saved;
    stream.SetPosition(0);
    loaded.LoadFromStream(stream);
    EXPECT_TRUE(loaded.Valid());
    // Outside a load nothing is charged.
    ImagingLimits().imageBytes = 10;
    TSingleImage made(300, 300, ifA8R8G8B8);
    EXPECT_TRUE(made.Valid());
    ImagingLimits() = saved;
}

// Every image a load makes is held to the pixel limit, whatever its bytes
// and whatever the format (a grey picture of 2^28 pixels fits the bytes a
// load may take, and costs seconds to convert and resample).
TEST(DecodeBudget, ImagesBeyondThePixelLimitAreNotMade) {
    const ReadLimits saved = ImagingLimits();
    for (const char* ext : {"tga", "ppm", "bmp", "psd", "png", "gif", "dds", "jp2", "jpg"}) {
        SCOPED_TRACE(ext);
        test::Image picture(40, 25, ifR8G8B8, {90, 20, 200});
        TMemoryStream stream;
        ASSERT_TRUE(SaveImageToStream(ext, stream, picture.data));
        ImagingLimits().pixels = 999;
        stream.SetPosition(0);
        TSingleImage loaded;
        EXPECT_THROW(loaded.LoadFromStream(stream), EImagingError);
        EXPECT_FALSE(loaded.Valid());
        EXPECT_LE(DecodeBudgetLargestRequest(), 1u << 16) << "refused before the image was sized";
        ImagingLimits().pixels = 1000;
        stream.SetPosition(0);
        loaded.LoadFromStream(stream);
        EXPECT_EQ(loaded.Width(), 40);
        ImagingLimits() = saved;
    }
}

}  // namespace
}  // namespace velto
