#pragma once
// Small routines used across the program: bit strings, byte order, web
// address parts, the system version code and the user's folders.
#include <cstdint>
#include <string>
#include <string_view>

namespace velto {

// Eight "0"/"1" characters, most significant bit first: 5 -> "00000101".
std::string ByteToBinStr(std::uint8_t value);

// Character i (1..8) is read as a decimal digit and weighted 2^(8-i); the sum
// is taken modulo 256. Characters past the eighth are ignored; missing
// characters and characters that are not digits count as 0.
std::uint8_t BinStrToByte(std::string_view text);

// The four bytes in reverse order.
constexpr std::uint32_t SwapEndian32(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

// The text after the last "/", or the whole text when there is none.
std::string ExtractUrlFileName(std::string_view url);

// Version codes of the Windows releases that had their own behaviour; this
// system is never one of them and reports "other".
inline constexpr std::uint8_t kWindowsVista = 7;
inline constexpr std::uint8_t kWindowsOther = 8;
std::uint8_t GetWindowsVersion();

// The user's home folder: $HOME, else the password database; empty if unknown.
std::string GetHomeFolder();

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute
// path, else ~/.config. Empty when no home folder is known.
std::string GetAppDataFolder();

// The folder of the settings file: GetAppDataFolder() + "/Velto"; empty when
// the configuration folder is unknown.
std::string GetSettingsFolder();

// The user's data folder: $XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share. Empty when no home folder is known.
std::string GetUserDataFolder();

}  // namespace velto
