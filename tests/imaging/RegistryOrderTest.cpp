// The registration order of every format of the library (which is the order
// of detection), and detection by name, then content, across the formats.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Formats2TestUtil.h"
#include "imaging/FileFormat.h"

namespace velto {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

TEST(RegistryOrder, EveryFormatInItsPlace) {
    const char* names[] = {"Windows Bitmap Image",
                           "Joint Photographic Experts Group Image",
                           "Portable Network Graphics",
                           "Multiple Network Graphics",
                           "JPEG Network Graphics",
                           "Graphics Interchange Format",
                           "DirectDraw Surface",
                           "Truevision Targa Image",
                           "Portable Bit Map",
                           "Portable Gray Map",
                           "Portable Pixel Map",
                           "Portable Arbitrary Map",
                           "Portable Float Map",
                           "JPEG 2000 Image",
                           "Photoshop Image",
                           "ZSoft Paintbrush Image",
                           "Bethesda Image",
                           "Daggerfall MultiImage",
                           "Daggerfall Image",
                           "Daggerfall Texture"};
    ASSERT_EQ(GetFileFormatCount(), 20);
    for (std::int32_t i = 0; i < 20; ++i) EXPECT_EQ(GetFileFormatAtIndex(i)->Name, names[i]) << i;
    EXPECT_EQ(FindImageFileFormatByExt("JPG")->Name, names[1]);
    EXPECT_EQ(FindImageFileFormatByExt("dagtexture")->Name, names[19]);
    EXPECT_EQ(FindImageFileFormatByExt("jfif")->Name, names[1]);
}

TEST(RegistryOrder, DetectionByNameThenContent) {
    const fs::path dir = fs::temp_directory_path() / ("velto-registry-order-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto write = [&](const std::string& name, const Bytes& bytes) {
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return (dir / name).string();
    };
    const Bytes png = test::MakePng(test::Ihdr(1, 1, 8, 0), {0, 5});
    // A texture archive's header; its name (texture.*) finds it in the first pass.
    Bytes archive = {1, 0};
    archive.resize(26 + 20 + 28, 0);
    archive[2] = 'A';
    struct Case {
        const char* name;
        Bytes content;
        const char* ext;
    };
    const Case cases[] = {
        {"x.jpg", png, "png"},          // the name's format refuses the content: the second pass
        {"x.mng", png, "png"},
        {"texture.012", archive, "dagtexture"},
        {"unknown.bin", Bytes(10, 7), ""},
        {"any.dat", Bytes(64000, 1), "img"},  // headerless images are known by their size alone
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DetectFileFormat(write(c.name, c.content)), c.ext);
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace velto
