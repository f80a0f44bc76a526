#pragma once
// The application object, settings in a temporary folder, collected
// messages, and scripted stand-ins for the active document window, the tool
// palette and the colour and file dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QTemporaryDir>

#include <deque>
#include <optional>
#include <ostream>

#include "core/MessageBox.h"
#include "dialogs/PaneServices.h"
#include "model/Image.h"
#include "shell/Options.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace velto {
inline void PrintTo(const TmyPixel& p, std::ostream* os) {
    *os << '(' << int(p.R) << ',' << int(p.G) << ',' << int(p.B) << ',' << int(p.A) << ')';
}
}  // namespace velto

namespace velto::test {

inline QApplication* EnsureGuiApp() {
    if (!QApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_dialogs";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qApp;
}

// The application object exists before any fixture holds a widget.
struct GuiEnvironment : ::testing::Environment {
    void SetUp() override { EnsureGuiApp(); }
};
inline ::testing::Environment* const kGuiEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

inline TmyPixel Px(int r, int g, int b, int a) {
    return TmyPixel::CreateRGBA(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), std::uint8_t(a));
}

// The active document as the panes see it: one image, a flag per call.
struct FakeDocument : TDocumentLink {
    std::optional<TmyImagePal> image;
    int undoStores = 0, changes = 0;
    bool modified = false;
    // A floating selection: pasted at (selX, selY) when set.
    std::optional<TmyImagePal> selection;
    int selX = 0, selY = 0;

    TmyImagePal* CurrentImage() override { return image ? &*image : nullptr; }
    void StoreUndo() override { ++undoStores; }
    void ImageChanged() override { ++changes; }
    void SetModified() override { modified = true; }
    bool PasteSelection(TmyImagePal& into) override {
        if (!selection) return false;
        for (int y = 0; y < selection->Height(); ++y)
            for (int x = 0; x < selection->Width(); ++x)
                if (x + selX < into.Width() && y + selY < into.Height()) into.At(x + selX, y + selY) = selection->At(x, y);
        return true;
    }
};

// Settings in a temporary folder, silent message boxes (their texts kept),
// a fake document, scripted colour and palette-file dialogs.
class PaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGuiApp();
        ASSERT_TRUE(dir.isValid());
        FreeOptions();
        CreateOptions(800, dir.filePath("config.cfg").toStdString());
        SetMessageSink([this](const MessageRequest& r) {
            messages.push_back(r.text);
            return int(idOK);
        });
        auto fake = std::make_unique<FakeDocument>();
        doc = fake.get();
        SetDocumentLink(std::move(fake));
        SetColorChooser([this](const QColor& initial, QWidget*) -> std::optional<QColor> {
            offered.push_back(initial);
            if (colors.empty()) return std::nullopt;
            const QColor c = colors.front();
            colors.pop_front();
            return c;
        });
        SetPaletteFileChooser([this](PaletteDialog, const QString& title, QWidget*) {
            titles.push_back(title);
            return paletteFile;
        });
        ToolPaletteLink() = {};
    }
    void TearDown() override {
        ToolPaletteLink() = {};
        SetPaletteFileChooser(nullptr);
        SetColorChooser(nullptr);
        SetDocumentLink(nullptr);
        SetMessageSink(nullptr);
        FreeOptions();
    }

    QTemporaryDir dir;
    FakeDocument* doc = nullptr;
    std::deque<QColor> colors;       // answers of the colour dialog, in order (none: cancelled)
    std::vector<QColor> offered;     // the colours it opened on
    QString paletteFile;             // answer of the palette file dialogs
    std::vector<QString> titles;
    std::vector<std::string> messages;
};

}  // namespace velto::test
