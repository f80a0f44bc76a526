#pragma once
// Every persisted setting of the program, held in one object (the global
// Options) and stored in "config.cfg" in the settings folder. The file is read
// once at start and written once at exit; changes live in memory in between.
// Keys the program does not know are kept when the file is rewritten.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/Pixel.h"
#include "platform/Color.h"

namespace velto {

class IniFile;

class TOptions {
public:
    // Defaults only; screenWidth gives the places of the panes on the right.
    explicit TOptions(int screenWidth);

    // The settings file: GetSettingsFolder() + "/config.cfg"; empty when no
    // settings folder is known.
    static std::string ConfigFilePath();

    enum class LoadState {
        Missing,     // no file (or no path): defaults
        Loaded,
        Unreadable,  // present but not readable: defaults, and Save() leaves it alone
    };
    // Resets to the defaults, then reads path. Remembers path for Save().
    LoadState Load(const std::string& path);
    LoadState State() const { return state_; }
    const std::string& FileName() const { return fileName_; }

    // Writes every setting into path, keeping the file's other keys; the file
    // is replaced atomically and its folder created when missing. A present
    // file that cannot be read is not overwritten (false).
    bool SaveTo(const std::string& path) const;
    // SaveTo(FileName()); false (nothing written) without a file name or when
    // the file was unreadable at load.
    bool Save() const;

    // Reads every setting from ini (missing keys give the defaults; the
    // fields are reset to the defaults first) or writes every one into it.
    void ReadFrom(const IniFile& ini);
    void WriteTo(IniFile& ini) const;
    void SetDefaults();
    int ScreenWidth() const { return screenWidth_; }

    // Recent files 1..10, oldest first; empty outside that range, and
    // setting outside it changes nothing.
    std::string GetRecentFile(int i) const;
    void SetRecentFile(int i, const std::string& path);
    static constexpr int kRecentFiles = 10;

    // [MainForm]
    std::int32_t MainTop, MainLeft, MainHeight, MainWidth;
    bool MainMaximized;
    bool ToolbarVisible, LocalToolbarVisible, StatusbarVisible, SidebarVisible;
    // The document area the panes were saved in (main-window coordinates); a
    // width or height of 0: not known. Panes glued to its edges then are glued
    // to the same edges of the area they come back in.
    std::int32_t AreaLeft, AreaTop, AreaWidth, AreaHeight;
    // [ToolsForm]
    bool ToolsVisible;
    std::int32_t ToolsTop, ToolsLeft;
    // [ColorsForm]
    bool ColorsVisible;
    std::int32_t ColorsTop, ColorsLeft;
    bool ShowRGB;
    TmyPixel ForeColor, BackColor;
    std::int32_t FavoritColorPosition;
    // [PrevForm]
    bool PrevVisible;
    std::int32_t PrevTop, PrevLeft, PrevHeight, PrevWidth;
    // [ExplorerForm]
    bool ExplorerVisible;
    std::int32_t ExplorerTop, ExplorerLeft, ExplorerWidth, ExplorerHeight;
    std::int32_t ExplorerTreeHeight, ExplorerThumbSize;
    bool ExplorerShowLabel;
    // [Grid]
    bool GridVisible;
    TColor GridColor;
    std::uint8_t GridStyle;
    // [General]
    std::uint8_t BKSize;
    TColor BKColor1, BKColor2;
    std::uint8_t PaletteAction, ClipboardAction, ImportAction;
    bool NewIcon;
    std::uint8_t SelectedIndex;
    TColor PrevColor;
    bool FilterOnAlpha, SmoothEdges, KeepAspectRatio, ClearClipboard;
    std::string Language;
    bool ExportAlpha, TransparentSelection, AllowDragAndDrop, ShowTips, Dithering, Autozoom;
    std::string BatchOutput;  // defaults to the home folder
    bool EffectOnAllImages, Overimpose;
    // Favourite folders of the explorer (FavoriteDir0, FavoriteDir1, ...).
    std::vector<std::string> FavoriteDirs;
    // The icon writers' PNG option: always false, never stored.
    bool SavePngOption;

private:
    int screenWidth_;
    std::array<std::string, kRecentFiles> recentFiles_;
    std::string fileName_;
    LoadState state_ = LoadState::Missing;
};

// The process-wide settings. CreateOptions reads the settings file at once;
// it needs the screen width, so it runs after the application object exists.
// Options() creates them (from the primary screen and the settings file) when
// CreateOptions has not run. FreeOptions does not save: the program calls
// Options().Save() at exit first.
void CreateOptions(int screenWidth, const std::string& path = TOptions::ConfigFilePath());
void CreateOptions();  // screen width of the primary screen
TOptions& Options();
bool OptionsCreated();
void FreeOptions();

}  // namespace velto
