#include "core/SysUtils.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace velto {

std::string ByteToBinStr(std::uint8_t value) {
    std::string s(8, '0');
    for (int i = 0; i < 8; ++i)
        if (value & (0x80u >> i)) s[static_cast<std::size_t>(i)] = '1';
    return s;
}

std::uint8_t BinStrToByte(std::string_view text) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < 8 && i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') sum += static_cast<unsigned>(c - '0') << (7 - i);
    }
    return static_cast<std::uint8_t>(sum & 0xFF);
}

std::string ExtractUrlFileName(std::string_view url) {
    const auto slash = url.rfind('/');
    return std::string(slash == std::string_view::npos ? url : url.substr(slash + 1));
}

std::uint8_t GetWindowsVersion() { return kWindowsOther; }

std::string GetHomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd pw {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}

namespace {
// An XDG base folder: the variable when it holds an absolute path (relative
// values are to be ignored), else the fallback below the home folder.
std::string xdgFolder(const char* variable, const char* fallback) {
    if (const char* v = std::getenv(variable); v && v[0] == '/') return v;
    const std::string home = GetHomeFolder();
    return home.empty() ? std::string() : home + fallback;
}
}  // namespace

std::string GetAppDataFolder() { return xdgFolder("XDG_CONFIG_HOME", "/.config"); }

std::string GetSettingsFolder() {
    const std::string base = GetAppDataFolder();
    return base.empty() ? std::string() : base + "/Velto";
}

std::string GetUserDataFolder() { return xdgFolder("XDG_DATA_HOME", "/.local/share"); }

}  // namespace velto
