#include "shell/Options.h"

#include <QGuiApplication>
#include <QScreen>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/IniFile.h"
#include "core/SysUtils.h"

namespace velto {
namespace {

enum class Kind : std::uint8_t {
    Int,
    Bool,
    Byte,   // the low 8 bits of the integer read
    Text,
    Color,  // a colour value as keys <prefix>Red, <prefix>Green, <prefix>Blue
    Pixel,  // a pixel as keys <prefix>Blue, Alpha, Green, Red (written R, G, B, alpha)
};

struct Field {
    const char* section;
    const char* key;  // the key, or the key prefix of a colour
    Kind kind;
    std::int32_t TOptions::*i = nullptr;
    bool TOptions::*b = nullptr;
    std::uint8_t TOptions::*u8 = nullptr;
    std::string TOptions::*s = nullptr;
    TColor TOptions::*c = nullptr;
    TmyPixel TOptions::*p = nullptr;
    // The default: a number, a colour value, a pixel as R | G << 8 | B << 16 |
    // A << 24, or text (none: the home folder).
    std::uint32_t def = 0;
    bool fromScreenRight = false;  // the default is the screen width minus def
    const char* text = nullptr;
};

constexpr Field I(const char* sec, const char* key, std::int32_t TOptions::*m, std::int32_t def) {
    return {.section = sec, .key = key, .kind = Kind::Int, .i = m, .def = static_cast<std::uint32_t>(def)};
}
// An integer measured from the right screen edge.
constexpr Field R(const char* sec, const char* key, std::int32_t TOptions::*m, std::int32_t fromRight) {
    Field f = I(sec, key, m, fromRight);
    f.fromScreenRight = true;
    return f;
}
constexpr Field B(const char* sec, const char* key, bool TOptions::*m, bool def) {
    return {.section = sec, .key = key, .kind = Kind::Bool, .b = m, .def = def ? 1u : 0u};
}
constexpr Field U8(const char* sec, const char* key, std::uint8_t TOptions::*m, std::uint8_t def) {
    return {.section = sec, .key = key, .kind = Kind::Byte, .u8 = m, .def = def};
}
constexpr Field S(const char* sec, const char* key, std::string TOptions::*m, const char* def) {
    return {.section = sec, .key = key, .kind = Kind::Text, .s = m, .text = def};
}
constexpr Field C(const char* sec, const char* prefix, TColor TOptions::*m, std::uint8_t r, std::uint8_t g,
                  std::uint8_t b) {
    return {.section = sec, .key = prefix, .kind = Kind::Color, .c = m, .def = ColorValue(MakeColor(r, g, b))};
}
constexpr Field P(const char* sec, const char* prefix, TmyPixel TOptions::*m, std::uint8_t r, std::uint8_t g,
                  std::uint8_t b, std::uint8_t a) {
    return {.section = sec, .key = prefix, .kind = Kind::Pixel, .p = m,
            .def = r | (std::uint32_t(g) << 8) | (std::uint32_t(b) << 16) | (std::uint32_t(a) << 24)};
}

using O = TOptions;
// Every key in file order with its default; defaults, reading and writing
// all walk this table.
constexpr Field kFields[] = {
    I("MainForm", "Top", &O::MainTop, 0),
    I("MainForm", "Left", &O::MainLeft, 0),
    I("MainForm", "Height", &O::MainHeight, 480),
    I("MainForm", "Width", &O::MainWidth, 640),
    B("MainForm", "Maximized", &O::MainMaximized, true),
    B("MainForm", "ToolbarVisible", &O::ToolbarVisible, true),
    B("MainForm", "LocalToolbarVisible", &O::LocalToolbarVisible, true),
    B("MainForm", "StatusbarVisible", &O::StatusbarVisible, true),
    B("MainForm", "SidebarVisible", &O::SidebarVisible, true),
    I("MainForm", "AreaLeft", &O::AreaLeft, 0),
    I("MainForm", "AreaTop", &O::AreaTop, 0),
    I("MainForm", "AreaWidth", &O::AreaWidth, 0),
    I("MainForm", "AreaHeight", &O::AreaHeight, 0),
    B("ToolsForm", "Visible", &O::ToolsVisible, true),
    I("ToolsForm", "Top", &O::ToolsTop, 234),
    R("ToolsForm", "Left", &O::ToolsLeft, 235),
    B("ColorsForm", "Visible", &O::ColorsVisible, true),
    I("ColorsForm", "Top", &O::ColorsTop, 234),
    R("ColorsForm", "Left", &O::ColorsLeft, 171),
    B("ColorsForm", "ShowRGB", &O::ShowRGB, true),
    P("ColorsForm", "ForeColor", &O::ForeColor, 0, 0, 0, 255),
    P("ColorsForm", "BackColor", &O::BackColor, 0, 0, 0, 0),
    I("ColorsForm", "FavoritColorPosition", &O::FavoritColorPosition, 0),
    B("PrevForm", "Visible", &O::PrevVisible, true),
    I("PrevForm", "Top", &O::PrevTop, 64),
    R("PrevForm", "Left", &O::PrevLeft, 235),
    I("PrevForm", "Height", &O::PrevHeight, 170),
    I("PrevForm", "Width", &O::PrevWidth, 235),
    B("ExplorerForm", "Visible", &O::ExplorerVisible, true),
    I("ExplorerForm", "Top", &O::ExplorerTop, 64),
    I("ExplorerForm", "Left", &O::ExplorerLeft, 0),
    I("ExplorerForm", "Width", &O::ExplorerWidth, 244),
    I("ExplorerForm", "Height", &O::ExplorerHeight, 0),
    I("ExplorerForm", "TreeHeight", &O::ExplorerTreeHeight, 176),
    I("ExplorerForm", "ThumbSize", &O::ExplorerThumbSize, 100),
    B("ExplorerForm", "ShowLabel", &O::ExplorerShowLabel, false),
    B("Grid", "Visible", &O::GridVisible, false),
    C("Grid", "Color", &O::GridColor, 192, 192, 192),
    U8("Grid", "Style", &O::GridStyle, 1),
    U8("General", "BKSize", &O::BKSize, 4),
    C("General", "Color1", &O::BKColor1, 255, 255, 255),
    C("General", "Color2", &O::BKColor2, 235, 235, 235),
    U8("General", "PaletteAction", &O::PaletteAction, 2),
    U8("General", "ClipboardAction", &O::ClipboardAction, 3),
    U8("General", "ImportAction", &O::ImportAction, 2),
    B("General", "NewIcon", &O::NewIcon, false),
    U8("General", "SelectedIndex", &O::SelectedIndex, 2),
    C("General", "PrevColor", &O::PrevColor, 255, 255, 255),
    B("General", "FilterOnAlpha", &O::FilterOnAlpha, true),
    B("General", "SmoothEdges", &O::SmoothEdges, false),
    B("General", "KeepAspectRatio", &O::KeepAspectRatio, true),
    B("General", "ClearClipboard", &O::ClearClipboard, true),
    S("General", "Language", &O::Language, "English"),
    B("General", "ExportAlpha", &O::ExportAlpha, true),
    B("General", "TransparentSelection", &O::TransparentSelection, true),
    B("General", "AllowDragAndDrop", &O::AllowDragAndDrop, true),
    B("General", "ShowTips", &O::ShowTips, true),
    B("General", "Dithering", &O::Dithering, true),
    B("General", "Autozoom", &O::Autozoom, true),
    // The batch converter's output folder starts in the user's home (the
    // drive root of the original has no counterpart here).
    S("General", "BatchOutput", &O::BatchOutput, nullptr),
    B("General", "EffectOnAllImages", &O::EffectOnAllImages, false),
    B("General", "Overimpose", &O::Overimpose, false),
};

constexpr const char* kGeneral = "General";
constexpr std::string_view kFavoritePrefix = "FavoriteDir";

std::uint8_t readByte(const IniFile& ini, const char* sec, const std::string& key, std::uint8_t def) {
    return static_cast<std::uint8_t>(ini.ReadInteger(sec, key, def) & 0xFF);
}

// "FavoriteDir<n>" as the reader looks it up (any letter case, n in decimal
// without leading zeros); -1 for any other key.
long long favoriteNumber(std::string_view key) {
    if (key.size() <= kFavoritePrefix.size()) return -1;
    for (std::size_t i = 0; i < kFavoritePrefix.size(); ++i) {
        char a = key[i], b = kFavoritePrefix[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return -1;
    }
    const std::string_view digits = key.substr(kFavoritePrefix.size());
    if (digits.size() > 12 || (digits.size() > 1 && digits[0] == '0')) return -1;
    long long n = 0;
    for (char ch : digits) {
        if (ch < '0' || ch > '9') return -1;
        n = n * 10 + (ch - '0');
    }
    return n;
}

std::string favoriteKey(std::size_t n) { return std::string(kFavoritePrefix) + std::to_string(n); }

}  // namespace

TOptions::TOptions(int screenWidth) : screenWidth_(screenWidth) { SetDefaults(); }

void TOptions::SetDefaults() {
    for (const Field& f : kFields) {
        switch (f.kind) {
        case Kind::Int:
            this->*f.i = f.fromScreenRight ? screenWidth_ - static_cast<std::int32_t>(f.def)
                                           : static_cast<std::int32_t>(f.def);
            break;
        case Kind::Bool: this->*f.b = f.def != 0; break;
        case Kind::Byte: this->*f.u8 = static_cast<std::uint8_t>(f.def); break;
        case Kind::Text: this->*f.s = f.text ? std::string(f.text) : GetHomeFolder(); break;
        case Kind::Color: this->*f.c = ColorFromValue(f.def); break;
        case Kind::Pixel:
            this->*f.p = TmyPixel::CreateRGBA(static_cast<std::uint8_t>(f.def), static_cast<std::uint8_t>(f.def >> 8),
                                              static_cast<std::uint8_t>(f.def >> 16),
                                              static_cast<std::uint8_t>(f.def >> 24));
            break;
        }
    }
    recentFiles_.fill(std::string());
    FavoriteDirs.clear();
    SavePngOption = false;
}

std::string TOptions::ConfigFilePath() {
    const std::string folder = GetSettingsFolder();
    return folder.empty() ? std::string() : folder + "/config.cfg";
}

void TOptions::ReadFrom(const IniFile& ini) {
    SetDefaults();
    // Each key is read with the field's default, so a missing key or a value
    // that is not a number keeps it.
    for (const Field& f : kFields) {
        const std::string key = f.key;
        switch (f.kind) {
        case Kind::Int: this->*f.i = ini.ReadInteger(f.section, key, this->*f.i); break;
        case Kind::Bool: this->*f.b = ini.ReadBool(f.section, key, this->*f.b); break;
        case Kind::Byte: this->*f.u8 = readByte(ini, f.section, key, this->*f.u8); break;
        case Kind::Text: this->*f.s = ini.ReadString(f.section, key, this->*f.s); break;
        case Kind::Color: {
            TColor& c = this->*f.c;
            const std::uint8_t r = readByte(ini, f.section, key + "Red", ColorR(c));
            const std::uint8_t g = readByte(ini, f.section, key + "Green", ColorG(c));
            const std::uint8_t b = readByte(ini, f.section, key + "Blue", ColorB(c));
            c = MakeColor(r, g, b);
            break;
        }
        case Kind::Pixel: {
            TmyPixel& p = this->*f.p;
            p.B = readByte(ini, f.section, key + "Blue", p.B);
            p.A = readByte(ini, f.section, key + "Alpha", p.A);
            p.G = readByte(ini, f.section, key + "Green", p.G);
            p.R = readByte(ini, f.section, key + "Red", p.R);
            break;
        }
        }
    }
    // A folder from another system (such as a drive letter) cannot be used here.
    if (BatchOutput.empty() || BatchOutput.front() != '/') BatchOutput = GetHomeFolder();
    SavePngOption = false;
    for (int i = 1; i <= kRecentFiles; ++i)
        recentFiles_[static_cast<std::size_t>(i - 1)] = ini.ReadString(kGeneral, "RecentFile" + std::to_string(i), "");
    // The list ends at the first empty or missing entry. The file size cap of
    // the INI class bounds the number of keys, and so this loop.
    for (std::size_t n = 0;; ++n) {
        std::string dir = ini.ReadString(kGeneral, favoriteKey(n), "");
        if (dir.empty()) break;
        FavoriteDirs.push_back(std::move(dir));
    }
}

void TOptions::WriteTo(IniFile& ini) const {
    for (const Field& f : kFields) {
        const std::string key = f.key;
        switch (f.kind) {
        case Kind::Int: ini.WriteInteger(f.section, key, this->*f.i); break;
        case Kind::Bool: ini.WriteBool(f.section, key, this->*f.b); break;
        case Kind::Byte: ini.WriteInteger(f.section, key, this->*f.u8); break;
        case Kind::Text: ini.WriteString(f.section, key, this->*f.s); break;
        case Kind::Color: {
            const TColor c = this->*f.c;
            ini.WriteInteger(f.section, key + "Red", ColorR(c));
            ini.WriteInteger(f.section, key + "Green", ColorG(c));
            ini.WriteInteger(f.section, key + "Blue", ColorB(c));
            break;
        }
        case Kind::Pixel: {
            const TmyPixel p = this->*f.p;
            ini.WriteInteger(f.section, key + "Red", p.R);
            ini.WriteInteger(f.section, key + "Green", p.G);
            ini.WriteInteger(f.section, key + "Blue", p.B);
            ini.WriteInteger(f.section, key + "Alpha", p.A);
            break;
        }
        }
    }
    for (int i = 1; i <= kRecentFiles; ++i)
        ini.WriteString(kGeneral, "RecentFile" + std::to_string(i), recentFiles_[static_cast<std::size_t>(i - 1)]);
    // Favourites: consecutive keys from 0 (an empty entry would end the list
    // early on reading, so none is written), and every higher-numbered key of
    // an earlier, longer list is removed; otherwise removed folders would be
    // read back at the next start.
    std::size_t count = 0;
    for (const std::string& dir : FavoriteDirs)
        if (!dir.empty()) ini.WriteString(kGeneral, favoriteKey(count++), dir);
    for (const std::string& key : ini.ReadSection(kGeneral)) {
        const long long n = favoriteNumber(key);
        if (n >= 0 && static_cast<unsigned long long>(n) >= count) ini.DeleteKey(kGeneral, key);
    }
}

TOptions::LoadState TOptions::Load(const std::string& path) {
    fileName_ = path;
    IniFile ini;
    FileError error = FileError::None;
    if (path.empty()) state_ = LoadState::Missing;
    else if (ini.LoadFromFile(path, &error)) state_ = LoadState::Loaded;
    else state_ = error == FileError::NotFound ? LoadState::Missing : LoadState::Unreadable;
    ReadFrom(ini);  // an empty file gives the defaults
    return state_;
}

bool TOptions::SaveTo(const std::string& path) const {
    if (path.empty()) return false;
    // The file as it is now, so that keys written meanwhile by others stay.
    IniFile ini;
    FileError error = FileError::None;
    if (!ini.LoadFromFile(path, &error) && error != FileError::NotFound) return false;
    WriteTo(ini);
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    return ini.SaveToFile(path);
}

bool TOptions::Save() const {
    if (state_ == LoadState::Unreadable) return false;
    return SaveTo(fileName_);
}

std::string TOptions::GetRecentFile(int i) const {
    return (i >= 1 && i <= kRecentFiles) ? recentFiles_[static_cast<std::size_t>(i - 1)] : std::string();
}

void TOptions::SetRecentFile(int i, const std::string& path) {
    if (i >= 1 && i <= kRecentFiles) recentFiles_[static_cast<std::size_t>(i - 1)] = path;
}

namespace {
std::unique_ptr<TOptions>& globalOptions() {
    static std::unique_ptr<TOptions> options;
    return options;
}
}  // namespace

void CreateOptions(int screenWidth, const std::string& path) {
    auto options = std::make_unique<TOptions>(screenWidth);
    options->Load(path);
    globalOptions() = std::move(options);
}

void CreateOptions() {
    int width = 1024;  // only without a screen (no application object)
    if (qGuiApp) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) width = screen->geometry().width();
    }
    CreateOptions(width);
}

TOptions& Options() {
    if (!globalOptions()) CreateOptions();
    return *globalOptions();
}

bool OptionsCreated() { return static_cast<bool>(globalOptions()); }

void FreeOptions() { globalOptions().reset(); }

}  // namespace velto
