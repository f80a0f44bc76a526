#include "MainActions.h"

#include <string_view>

#include "DockMngr.h"
#include "Options.h"

namespace velto {

namespace {

constexpr ActionGroup M = ActionGroup::Main;
constexpr ActionGroup T = ActionGroup::Tools;
constexpr ActionGroup B = ActionGroup::Toolbar;

using enum MenuId;
constexpr unsigned Chk = Checkable, Doc = DocumentOnly, Own = OwnEnabling, Commit = CommitFirst, Sep = SeparatorBefore;

// Rows in menu order: a menu's items, and the places of its submenus, follow
// from the order of the rows that name them. The order is also the creation
// order of the actions, which the translation walk follows.
constexpr ActionSpec kActions[] = {
    // File
    {M, "actnNew", "New", "Ctrl+N", File},
    {M, "actnOpen", "Open...", "Ctrl+O", File},
    {M, "actClose", "Close", "Ctrl+F4", File, -1, Doc},
    {M, "actCloseAll", "Close All", "", File, -1, Doc},
    {M, "actnSave", "Save", "Ctrl+S", File, -1, Commit|Sep},
    {M, "actnSaveAs", "Save As...", "", File, -1, Doc|Commit},
    {M, "actnImportBMP", "Import Image...", "Ctrl+M", File, -1, Sep},
    {M, "actexport", "Export Image...", "Ctrl+E", File, -1, Doc|Commit},
    {M, "actnCapture", "Capture...", "", File},
    {M, "actnExtract", "Extract...", "Ctrl+T", File},
    {M, "actClear", "Clear", "", RecentFiles},
    {M, "actnExit", "Exit", "Alt+F4", File, -1, Sep},
    // Edit
    {M, "actnUndo", "Undo", "Ctrl+Z", Edit, -1, Doc|Commit},
    {M, "actnRedo", "Redo", "Ctrl+Y | Ctrl+Shift+Z", Edit, -1, Doc|Commit},
    {M, "actnCut", "Cut", "Ctrl+X", Edit, -1, Doc|Sep},
    {M, "actnCopy", "Copy", "Ctrl+C", Edit, -1, Doc},
    {M, "actnPaste", "Paste", "Ctrl+V", Edit, -1, Doc|Commit},
    {M, "actnDel", "Delete", "Del", Edit, -1, Doc},
    {M, "actSelectAll", "Select All", "Ctrl+A", Edit, -1, Sep},
    {M, "actDropSelection", "Drop Selection", "", Edit},
    {M, "actFitToScreen", "Fit to Screen", "Ins", Edit},
    {M, "actOriginalSize", "Original Size", "Backspace", Edit},
    {M, "actBringToFront", "Bring to Front", "Home", Edit},
    {M, "actSendToBack", "Send to Back", "End", Edit},
    {M, "actTransSel", "Transparent Selection", "\\", Edit, -1, Chk|Sep, nullptr, 0, &TOptions::TransparentSelection},
    // View
    {M, "actnTools", "Tools", "Ctrl+Shift+T", View, -1, Chk, nullptr, dsTools},
    {M, "actnPreview", "Preview", "Ctrl+Shift+P", View, -1, Chk, nullptr, dsPreview},
    {M, "actnColors", "Colors", "Ctrl+Shift+C", View, -1, Chk, nullptr, dsColors},
    {M, "actExplorer", "Explorer", "Ctrl+Alt+E", View, -1, Chk, nullptr, dsExplorer},
    {M, "acttoolbar", "Toolbar", "", View, -1, Chk|Sep},
    {M, "actnStatusbar", "Status Bar", "", View, -1, Chk},
    {M, "actnWindowToolbar", "Window Toolbars", "", View, -1, Chk},
    {M, "actSideBar", "Side Bar", "Ctrl+Alt+S", View, -1, Chk},
    {M, "actnGrid", "Grid", "Ctrl+G", View, -1, Chk},
    {M, "actAutoZoom", "Auto Zoom", "", View, -1, Chk, nullptr, 0, &TOptions::Autozoom},
    // Cursor
    {M, "actnnewimage", "New Image", "", Cursor, -1, Doc|Commit},
    {M, "actndelimage", "Delete Image", "", Cursor, -1, Commit},
    {M, "actDeleteMore", "Delete More Images...", "", Cursor},
    {M, "actDuplicateImage", "Duplicate Image", "", Cursor},
    {M, "actImportImage", "Import Image...", "", Cursor, -1, Doc|Commit},
    {M, "actnnext", "Next Image", "", Cursor, -1, Doc|Own|Sep},
    {M, "actnPrev", "Previous Image", "", Cursor, -1, Doc|Own},
    {M, "actFrameUp", "Move Image Up", "", Cursor},
    {M, "actFrameDown", "Move Image Down", "", Cursor},
    {M, "actFramesReverse", "Reverse Frames", "", Cursor},
    {M, "actHotspot", "Hot Spot...", "Ctrl+I", Cursor, -1, Doc|Commit|Sep},
    {M, "actnProp", "Properties...", "Alt+Return", Cursor, -1, Doc},
    {M, "actTest", "Cursor Test...", "Alt+S", Cursor, -1, Doc|Commit},
    {M, "actSnapshot", "Create Snapshot...", "Alt+P", Cursor, -1, Doc|Commit},
    // Image
    {M, "actnFlipHoriz", "Flip Horizontal", "", Image, 41, Doc},
    {M, "actnFlipVert", "Flip Vertical", "", Image, 42, Doc},
    {M, "actnRotateLeft", "Rotate Left", "", Image, 43, Doc},
    {M, "actnRotateRight", "Rotate Right", "", Image, 44, Doc},
    {M, "actnRotate", "Rotate 180", "", Image, 45, Doc},
    {M, "actRotateFree", "Rotate...", "Ctrl+R", Image, -1, Doc},
    {M, "actnDim", "Dimension...", "Ctrl+D", Image, -1, Doc},
    {M, "actnLeft", "Move Left", "", Image, 46, Doc|Sep},
    {M, "actnRight", "Move Right", "", Image, 47, Doc},
    {M, "actnUp", "Move Up", "", Image, 48, Doc},
    {M, "actnDown", "Move Down", "", Image, 49, Doc},
    {M, "actn32bit", "True Color+Alpha (32 bit)", "", DataType, -1, Doc|Commit},
    {M, "actn24bit", "True Color (24 bit)", "", DataType, -1, Doc|Commit},
    {M, "actn8bit", "256 Colors (8 bit)", "", DataType, -1, Doc|Commit},
    {M, "actn4bit", "16 Colors (4 bit)", "", DataType, -1, Doc|Commit},
    {M, "actnWin4bit", "16 Windows Colors (4 bit)", "", DataType, -1, Doc|Commit},
    {M, "actn1bit", "2 Colors (1 bit)", "", DataType, -1, Doc|Commit},
    {M, "actnWin1bit", "Black and White (1 bit)", "", DataType, -1, Doc|Commit},
    // Adjust
    {M, "actnBrightness", "Brightness/Contrast...", "Ctrl+B", Adjust, -1, Doc},
    {M, "ActnHue", "Hue/Saturation...", "Ctrl+H", Adjust, -1, Doc},
    {M, "actnColor", "Color Balance...", "Ctrl+J", Adjust, -1, Doc},
    {M, "actOpacity", "Opacity...", "Ctrl+Q", Adjust, -1, Doc},
    {M, "actFadeout", "Fade Out...", "Ctrl+U", Adjust, -1, Doc},
    {M, "actnGrayscale", "Grayscale", "", Adjust, 1, Doc|Sep},
    {M, "actnInvert", "Invert", "", Adjust, 2, Doc},
    {M, "actnRed", "Red", "", Tint, 3, Doc},
    {M, "actnGreen", "Green", "", Tint, 4, Doc},
    {M, "actnBlue", "Blue", "", Tint, 5, Doc},
    {M, "actnYellow", "Yellow", "", Tint, 6, Doc},
    {M, "actnCyan", "Cyan", "", Tint, 7, Doc},
    {M, "actnMagenta", "Magenta", "", Tint, 8, Doc},
    {M, "actnRedGreen", "Red <-> Green", "", Swap, 9, Doc},
    {M, "actnRedBlue", "Red <-> Blue", "", Swap, 10, Doc},
    {M, "actnBreenBlue", "Green <-> Blue", "", Swap, 11, Doc},
    // Filters
    {M, "actLast", "Last Effect", "", Filters, -1, Doc|Own},
    {M, "actBlurNormal", "Blur", "", Blur, 17, Doc},
    {M, "actBlurSoft", "Soft Blur", "", Blur, 18, Doc},
    {M, "actBlurMore", "Blur More", "", Blur, 19, Doc},
    {M, "actBlurMotion", "Motion Blur", "", Blur, 20, Doc},
    {M, "actAverage", "Average", "", Blur, 16, Doc},
    {M, "actSharpen", "Sharpen", "", Sharpen, 28, Doc},
    {M, "actSharpenLess", "Sharpen Less", "", Sharpen, 29, Doc},
    {M, "actSharpenMore", "Sharpen More", "", Sharpen, 30, Doc},
    {M, "actSharpenDir", "Directional Sharpen", "", Sharpen, 31, Doc},
    {M, "actEdgesVert", "Vertical Edges", "", Edges, 21, Doc},
    {M, "actEdgesHoriz", "Horizontal Edges", "", Edges, 22, Doc},
    {M, "actEnhanceEdges", "Enhance Edges", "", Edges, 23, Doc},
    {M, "actEdgeDetect", "Detect Edges", "", Edges, 24, Doc},
    {M, "actEdgeStrong", "Strong Edges", "", Edges, 25, Doc},
    {M, "actEdgeWeak", "Weak Edges", "", Edges, 26, Doc},
    {M, "actContour", "Contour", "", Edges, 27, Doc},
    {M, "actEmbossColor", "Color Emboss", "", Emboss, 12, Doc},
    {M, "actEmbossLight", "Light Emboss", "", Emboss, 13, Doc},
    {M, "actEmboss", "Emboss", "", Emboss, 14, Doc},
    {M, "actEmbossDark", "Dark Emboss", "", Emboss, 15, Doc},
    {M, "actGlow", "Glow", "", Artistic, 32, Doc},
    {M, "actWaggle", "Waggle", "", Artistic, 33, Doc},
    {M, "actPattern", "Pattern", "", Artistic, 34, Doc},
    {M, "actPaintDark", "Dark Paint", "", Artistic, 35, Doc},
    {M, "actPaintBright", "Bright Paint", "", Artistic, 36, Doc},
    {M, "actShake", "Shake", "", Artistic, 37, Doc},
    {M, "actShakeLess", "Shake Less", "", Artistic, 38, Doc},
    {M, "actPale", "Pale", "", Artistic, 39, Doc},
    {M, "actScene", "Scene", "", Artistic, 40, Doc},
    {M, "actShadow", "Drop Shadow", "", Filters, 50, Doc},
    {M, "actAdvancedShadow", "Advanced Shadow...", "Ctrl+W", Filters, -1, Doc},
    {M, "actCustom", "Custom Filter...", "Ctrl+F", Filters, 0, Doc},
    {M, "actFilterOnAlpha", "Filter on Alpha", "A | Shift+A", Filters, -1, Chk|Sep, nullptr, 0,
      &TOptions::FilterOnAlpha},
    {M, "actSmooth", "Smooth Edges", "/", Filters, -1, Chk, nullptr, 0, &TOptions::SmoothEdges},
    // Options
    {M, "actPreferences", "Preferences...", "Ctrl+P", Options},
    {M, "actMoreLanguages", "Download Languages...", "", Languages},
    {M, "actResEditor", "Resource Editor...", "", Options, -1, Sep},
    {M, "actBatch", "Batch Process...", "", Options},
    {M, "Action1", "Batch convert images to icon", "", Options},
    {M, "actBatch2", "Batch convert icons to images", "", Options},
    {M, "actIconsToLibrary", "Create Icon Library from icons", "", Options},
    // Window
    {M, "actTile", "Tile", "Alt+T", Window, -1, Doc},
    {M, "actTileHoriz", "Tile Horizontally", "Alt+H", Window, -1, Doc},
    {M, "actTileVert", "Tile Vertically", "Alt+V", Window, -1, Doc},
    {M, "actCascade", "Cascade", "Alt+C", Window, -1, Doc},
    // Help
    {M, "actHelp", "Velto Help", "F1", Help},
    {M, "actTutorials", "Tutorials", "", Help},
    {M, "actTips", "Tip of the Day", "", Help},
    {M, "actForum", "Forum", "", Help, -1, Sep},
    {M, "actHomepage", "Velto Home Page", "", Help},
    {M, "actDonate", "Make a Donation", "", Help},
    {M, "actUpdate", "Check For Update...", "", Help},
    {M, "actnAbout", "About", "", Help, -1, Sep},
    // Keys of the drawing tools: no captions, on no menu.
    {T, "actselect", "", "S | Shift+S", None},
    {T, "actcrop", "", "C | Shift+C", None},
    {T, "acttext", "", "T | Shift+T", None},
    {T, "acterase", "", "E | Shift+E", None},
    {T, "actfill", "", "F | Shift+F", None},
    {T, "actspray", "", "R | Shift+R", None},
    {T, "actbrush", "", "B | Shift+B", None},
    {T, "actpen", "", "P | Shift+P", None},
    {T, "actline", "", "L | Shift+L", None},
    {T, "actrect", "", "X | Shift+X", None},
    {T, "actround", "", "Y | Shift+Y", None},
    {T, "actell", "", "Z | Shift+Z", None},
    {T, "actopac", "", "O | Shift+O", None},
    {T, "actgrad", "", "G | Shift+G", None},
    {T, "actpick", "", "I | Shift+I", None},
    {T, "actzoom", "", "M | Shift+M", None},
    {T, "actbright", "", "[", None},
    {T, "actblur", "", "]", None},
    // The tool bar.
    {B, "actToolNew", "New", "", None, -1, 0, "actnNew"},
    {B, "actToolOpen", "Open", "", None, -1, 0, "actnOpen"},
    {B, "actToolSave", "Save", "", None, -1, 0, "actnSave"},
    {B, "actToolCut", "Cut", "", None, -1, Sep, "actnCut"},
    {B, "actToolCopy", "Copy", "", None, -1, 0, "actnCopy"},
    {B, "actToolPaste", "Paste", "", None, -1, 0, "actnPaste"},
    {B, "actToolUndo", "Undo", "", None, -1, Sep, "actnUndo"},
    {B, "actToolRedo", "Redo", "", None, -1, 0, "actnRedo"},
    {B, "actToolHotspot", "Hot Spot", "", None, -1, Sep, "actHotspot"},
    {B, "actToolTest", "Cursor Test", "", None, -1, 0, "actTest"},
    {B, "actToolProp", "Properties", "", None, -1, 0, "actnProp"},
    {B, "actToolFilter", "Filter on Alpha", "", None, -1, Chk|Sep, "actFilterOnAlpha", 0, &TOptions::FilterOnAlpha},
    {B, "actToolAntiAlias", "Smooth Edges", "", None, -1, Chk, "actSmooth", 0, &TOptions::SmoothEdges},
    {B, "actToolTrans", "Transparent Selection", "", None, -1, Chk, "actTransSel", 0,
      &TOptions::TransparentSelection},
    {B, "actToolAuto", "Auto Zoom", "", None, -1, Chk, "actAutoZoom", 0, &TOptions::Autozoom},
    {B, "actToolEffect", "Effect on All Images", "", None, -1, Chk, nullptr, 0, &TOptions::EffectOnAllImages},
};

// Mnemonics of the menu titles avoid C, H, P, S, T and V: Alt with those
// letters are commands (cascade, tile horizontally, snapshot, cursor test,
// tile, tile vertically), and a title sharing the letter would make both dead.
constexpr MenuSpec kMenus[] = {
    {File, "mnuFile", "&File"},
    {Edit, "mnuEdit", "&Edit"},
    {View, "mnuView", "V&iew"},
    {Cursor, "mnuCursor", "C&ursor"},
    {Image, "mnuImage", "Ima&ge"},
    {Adjust, "mnuAdjust", "&Adjust"},
    {Filters, "mnuFilters", "Filte&rs"},
    {Options, "mnuOptions", "&Options"},
    {Window, "mnuWindow", "&Window", None, ListBelow},
    {Help, "mnuHelp", "He&lp"},
    {RecentFiles, "mnuRecentFiles", "Recent Files", File, ListBelow},
    {DataType, "mnuDataType", "Data Type", Image, SeparatorBefore},
    {Tint, "mnuTint", "Tint", Adjust},
    {Swap, "mnuSwap", "Swap Channels", Adjust},
    {Blur, "mnuBlur", "Blur", Filters, SeparatorBefore},
    {Sharpen, "mnuSharpen", "Sharpen", Filters},
    {Edges, "mnuEdges", "Edges", Filters},
    {Emboss, "mnuEmboss", "Emboss", Filters},
    {Artistic, "mnuArtistic", "Artistic", Filters},
    {Languages, "mnuLanguages", "Languages", Options, SeparatorBefore | ListBelow},
};

// ---- checks of the tables, at compile time

constexpr const ActionSpec* Find(std::string_view name) {
    for (const ActionSpec& s : kActions)
        if (name == s.name) return &s;
    return nullptr;
}

// Rows carrying every flag of the mask.
constexpr int Count(unsigned mask) {
    int n = 0;
    for (const ActionSpec& s : kActions) n += (s.flags & mask) == mask ? 1 : 0;
    return n;
}

constexpr bool NamesUnique() {
    for (const ActionSpec& s : kActions)
        if (Find(s.name) != &s) return false;
    return true;
}

// A mirror names a command of the main group; a mirrored switch flips the
// setting of the switch it mirrors.
constexpr bool MirrorsResolve() {
    for (const ActionSpec& s : kActions) {
        if (!s.mirrorOf) continue;
        const ActionSpec* target = Find(s.mirrorOf);
        if (!target || target->group != ActionGroup::Main || target->setting != s.setting) return false;
    }
    return true;
}

// Each pane has one switch.
constexpr bool OneSwitchPerPane() {
    for (int slot : {dsPreview, dsColors, dsTools, dsExplorer}) {
        int n = 0;
        for (const ActionSpec& s : kActions) n += s.pane == slot ? 1 : 0;
        if (n != 1) return false;
    }
    return true;
}

// Every menu is listed once, at the index of its id, and a submenu's parent
// comes before it.
constexpr bool MenusInIdOrder() {
    for (std::size_t i = 0; i < std::size(kMenus); ++i)
        if (static_cast<std::size_t>(kMenus[i].id) != i + 1 || static_cast<std::size_t>(kMenus[i].parent) > i)
            return false;
    return true;
}

static_assert(NamesUnique());
static_assert(MirrorsResolve());
static_assert(MenusInIdOrder());
static_assert(OneSwitchPerPane());
static_assert(Count(DocumentOnly) == 89, "the document commands");
static_assert(Count(OwnEnabling) == Count(OwnEnabling | DocumentOnly), "own rules are for document commands");
static_assert(Count(CommitFirst) == 19);

}  // namespace

std::span<const ActionSpec> MainActionTable() { return kActions; }

const ActionSpec* FindActionSpec(const char* name) { return name ? Find(name) : nullptr; }

const ActionSpec* PaneSwitch(int paneSlot) {
    for (const ActionSpec& s : kActions)
        if (paneSlot && s.pane == paneSlot) return &s;
    return nullptr;
}

std::span<const MenuSpec> MenuTable() { return kMenus; }

const MenuSpec& MenuOf(MenuId id) { return kMenus[static_cast<std::size_t>(id) - 1]; }

}  // namespace velto
