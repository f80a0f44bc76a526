#include "core/SysUtils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace velto {
namespace {

// Sets an environment variable for the scope and restores it afterwards.
class EnvOverride {
public:
    EnvOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~EnvOverride() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(SysUtils, BitStrings) {
    EXPECT_EQ(ByteToBinStr(5), "00000101");
    for (int v = 0; v < 256; ++v)
        ASSERT_EQ(BinStrToByte(ByteToBinStr(static_cast<std::uint8_t>(v))), v);
    // Each character counts with its decimal value, modulo 256.
    EXPECT_EQ(BinStrToByte("00000020"), 4);
    EXPECT_EQ(BinStrToByte("30000000"), (3 * 128) % 256);
    // Short strings and stray characters do not read past the text.
    EXPECT_EQ(BinStrToByte("1"), 128);
    EXPECT_EQ(BinStrToByte(""), 0);
    EXPECT_EQ(BinStrToByte("1x000001"), 129);
    EXPECT_EQ(BinStrToByte("000000011111"), 1);
}

TEST(SysUtils, SwapEndianAndUrlFileName) {
    EXPECT_EQ(SwapEndian32(0x11223344u), 0x44332211u);
    static_assert(SwapEndian32(SwapEndian32(0xA1B2C3D4u)) == 0xA1B2C3D4u);
    EXPECT_EQ(ExtractUrlFileName("http://example.org/languages/German.lng"), "German.lng");
    EXPECT_EQ(ExtractUrlFileName("http://example.org/"), "");
}

TEST(SysUtils, UserFolders) {
    EnvOverride home("HOME", "/home/tester");
    {
        EnvOverride cfg("XDG_CONFIG_HOME", "/tmp/cfg");
        EnvOverride data("XDG_DATA_HOME", "/tmp/data");
        EXPECT_EQ(GetAppDataFolder(), "/tmp/cfg");
        EXPECT_EQ(GetSettingsFolder(), "/tmp/cfg/Velto");
        EXPECT_EQ(GetUserDataFolder(), "/tmp/data");
    }
    {
        // Unset, empty or relative values fall back to the home folder.
        EnvOverride cfg("XDG_CONFIG_HOME", "relative");
        EnvOverride data("XDG_DATA_HOME", "");
        EXPECT_EQ(GetAppDataFolder(), "/home/tester/.config");
        EXPECT_EQ(GetSettingsFolder(), "/home/tester/.config/Velto");
        EXPECT_EQ(GetUserDataFolder(), "/home/tester/.local/share");
    }
}

}  // namespace
}  // namespace velto
