#include "shell/Options.h"

#include <QGuiApplication>
#include <QScreen>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/IniFile.h"
#include "shell/core/SysUtils.h"

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
};

constexpr Field I(const char* sec, const char* key, std::int32_t TOptions::*m) { return {sec, key, Kind::Int, m}; }
constexpr Field B(const char* sec, const char* key, bool TOptions::*m) {
    return {sec, key, Kind::Bool, nullptr, m};
}
constexpr Field U8(const char* sec, const char* key, std::uint8_t TOptions::*m) {
    return {sec, key, Kind::Byte, nullptr, nullptr, m};
}
constexpr Field S(const char* sec, const char* key, std::string TOptions::*m) {
    return {sec, key, Kind::Text, nullptr, nullptr, nullptr, m};
}
constexpr Field C(const char* sec, const char* prefix, TColor TOptions::*m) {
    return {sec, prefix, Kind::Color, nullptr, nullptr, nullptr, nullptr, m};
}
constexpr Field P(const char* sec, const char* prefix, TmyPixel TOptions::*m) {
    return {sec, prefix, Kind::Pixel, nullptr, nullptr, nullptr, nullptr, nullptr, m};
}

using O = TOptions;
// Every key in file order; reading and writing both walk this table.
constexpr Field kFields[] = {
    I("MainForm", "Top", &O::MainTop),
    I("MainForm", "Left", &O::MainLeft),
    I("MainForm", "Height", &O::MainHeight),
    I("MainForm", "Width", &O::MainWidth),
    B("MainForm", "Maximized", &O::MainMaximized),
    B("MainForm", "ToolbarVisible", &O::ToolbarVisible),
    B("MainForm", "LocalToolbarVisible", &O::LocalToolbarVisible),
    B("MainForm", "StatusbarVisible", &O::StatusbarVisible),
    B("MainForm", "SidebarVisible", &O::SidebarVisible),
    B("ToolsForm", "Visible", &O::ToolsVisible),
    I("ToolsForm", "Top", &O::ToolsTop),
    I("ToolsForm", "Left", &O::ToolsLeft),
    B("ColorsForm", "Visible", &O::ColorsVisible),
    I("ColorsForm", "Top", &O::ColorsTop),
    I("ColorsForm", "Left", &O::ColorsLeft),
    B("ColorsForm", "ShowRGB", &O::ShowRGB),
    P("ColorsForm", "ForeColor", &O::ForeColor),
    P("ColorsForm", "BackColor", &O::BackColor),
    I("ColorsForm", "FavoritColorPosition", &O::FavoritColorPosition),
    B("PrevForm", "Visible", &O::PrevVisible),
    I("PrevForm", "Top", &O::PrevTop),
    I("PrevForm", "Left", &O::PrevLeft),
    I("PrevForm", "Height", &O::PrevHeight),
    I("PrevForm", "Width", &O::PrevWidth),
    B("ExplorerForm", "Visible", &O::ExplorerVisible),
    I("ExplorerForm", "Top", &O::ExplorerTop),
    I("ExplorerForm", "Left", &O::ExplorerLeft),
    I("ExplorerForm", "Width", &O::ExplorerWidth),
    I("ExplorerForm", "Height", &O::ExplorerHeight),
    I("ExplorerForm", "TreeHeight", &O::ExplorerTreeHeight),
    I("ExplorerForm", "ThumbSize", &O::ExplorerThumbSize),
    B("ExplorerForm", "ShowLabel", &O::ExplorerShowLabel),
    B("Grid", "Visible", &O::GridVisible),
    C("Grid", "Color", &O::GridColor),
    U8("Grid", "Style", &O::GridStyle),
    U8("General", "BKSize", &O::BKSize),
    C("General", "Color1", &O::BKColor1),
    C("General", "Color2", &O::BKColor2),
    U8("General", "PaletteAction", &O::PaletteAction),
    U8("General", "ClipboardAction", &O::ClipboardAction),
    U8("General", "ImportAction", &O::ImportAction),
    B("General", "NewIcon", &O::NewIcon),
    U8("General", "SelectedIndex", &O::SelectedIndex),
    C("General", "PrevColor", &O::PrevColor),
    B("General", "FilterOnAlpha", &O::FilterOnAlpha),
    B("General", "SmoothEdges", &O::SmoothEdges),
    B("General", "KeepAspectRatio", &O::KeepAspectRatio),
    B("General", "ClearClipboard", &O::ClearClipboard),
    S("General", "Language", &O::Language),
    B("General", "ExportAlpha", &O::ExportAlpha),
    B("General", "TransparentSelection", &O::TransparentSelection),
    B("General", "AllowDragAndDrop", &O::AllowDragAndDrop),
    B("General", "ShowTips", &O::ShowTips),
    B("General", "Dithering", &O::Dithering),
    B("General", "Autozoom", &O::Autozoom),
    S("General", "BatchOutput", &O::BatchOutput),
    B("General", "EffectOnAllImages", &O::EffectOnAllImages),
    B("General", "Overimpose", &O::Overimpose),
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
    MainTop = 0;
    MainLeft = 0;
    MainHeight = 480;
    MainWidth = 640;
    MainMaximized = true;
    ToolbarVisible = LocalToolbarVisible = StatusbarVisible = SidebarVisible = true;
    ToolsVisible = true;
    ToolsTop = 234;
    ToolsLeft = screenWidth_ - 235;
    ColorsVisible = true;
    ColorsTop = 234;
    ColorsLeft = screenWidth_ - 171;
    ShowRGB = true;
    ForeColor = TmyPixel::CreateRGBA(0, 0, 0, 255);
    BackColor = TmyPixel::CreateRGBA(0, 0, 0, 0);
    FavoritColorPosition = 0;
    PrevVisible = true;
    PrevTop = 64;
    PrevLeft = screenWidth_ - 235;
    PrevHeight = 170;
    PrevWidth = 235;
    ExplorerVisible = true;
    ExplorerTop = 64;
    ExplorerLeft = 0;
    ExplorerWidth = 244;
    ExplorerHeight = 0;
    ExplorerTreeHeight = 176;
    ExplorerThumbSize = 100;
    ExplorerShowLabel = false;
    GridVisible = false;
    GridColor = MakeColor(192, 192, 192);
    GridStyle = 1;
    BKSize = 4;
    BKColor1 = MakeColor(255, 255, 255);
    BKColor2 = MakeColor(235, 235, 235);
    PaletteAction = 2;
    ClipboardAction = 3;
    ImportAction = 2;
    NewIcon = false;
    SelectedIndex = 2;
    PrevColor = MakeColor(255, 255, 255);
    FilterOnAlpha = true;
    SmoothEdges = false;
    KeepAspectRatio = true;
    ClearClipboard = true;
    Language = "English";
    ExportAlpha = TransparentSelection = AllowDragAndDrop = ShowTips = Dithering = Autozoom = true;
    // The output folder of the batch converter starts in the user's home
    // (the drive root of the original has no counterpart here).
    BatchOutput = GetHomeFolder();
    EffectOnAllImages = false;
    Overimpose = false;
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
