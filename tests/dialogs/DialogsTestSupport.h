#pragma once
// The application object, settings in a temporary folder, collected
// messages, and scripted stand-ins for the active document window, the tool
// palette and the colour and file dialogs; the program's main window with its
// dialogs, and the check of their English texts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "GuiTestApp.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "dialogs/Dialogs.h"
#include "dialogs/PaneServices.h"
#include "model/AniIO.h"
#include "model/IcoIO.h"
#include "model/Image.h"
#include "platform/IniFile.h"
#include "shell/Desk.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"
#include "shell/Translator.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace velto {
inline void PrintTo(const TmyPixel& p, std::ostream* os) {
    *os << '(' << int(p.R) << ',' << int(p.G) << ',' << int(p.B) << ',' << int(p.A) << ')';
}
}  // namespace velto

namespace velto::test {

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

// One showing of a window: whether it has been hidden since, and for how
// long it has been up. The program keeps most of its windows and shows them
// again, often with no event processed in between; a later showing is a new
// one however soon it comes, so the limits below time each showing alone.
class Showing : public QObject {
public:
    explicit Showing(QWidget* w) : window_(w) {
        w->installEventFilter(this);
        since_.start();
    }
    QWidget* Window() const { return window_; }
    // Still the same showing: not hidden since, not destroyed.
    bool Up() const { return window_ && !hidden_; }
    qint64 Elapsed() const { return since_.elapsed(); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == window_ && e->type() == QEvent::Hide) hidden_ = true;
        return false;
    }

private:
    QPointer<QWidget> window_;
    bool hidden_ = false;
    QElapsedTimer since_;
};

// Files named by bytes that are no UTF-8, removed when the guard goes: the
// toolkit cannot name them to remove them with the test's folder.
struct RawNamesRemoved {
    std::vector<std::string> paths;
    ~RawNamesRemoved() {
        std::error_code ec;
        for (const std::string& p : paths) std::filesystem::remove_all(p, ec);
    }
};

// The limits below only bound a real failure (a window that never opens or
// that nothing closes); they are never what a test waits for, so they are
// generous enough for a loaded machine.
inline constexpr int kModalLimitMs = 30000;

// A modal window that nothing closes would keep its event loop, and the
// test, waiting forever: while a guard lives, a modal window still open after
// the limit is rejected (closed when it is no dialog) and the test fails.
class ModalWatchdog {
public:
    static constexpr int kLimitMs = kModalLimitMs;

    explicit ModalWatchdog(int limitMs = kLimitMs) : limitMs_(limitMs) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { check(); });
        timer_.start(50);
    }

private:
    void check() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            seen_.reset();
            return;
        }
        if (!seen_ || !seen_->Up() || seen_->Window() != w) {
            seen_ = std::make_unique<Showing>(w);
            return;
        }
        if (seen_->Elapsed() < limitMs_) return;
        ADD_FAILURE() << "the modal window \"" << w->objectName().toStdString() << "\" was left open; closed";
        seen_.reset();
        if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
        else w->close();
    }

    int limitMs_;
    QTimer timer_;
    std::unique_ptr<Showing> seen_;
};

// Runs f on the modal window that opens next, once it shows (events may be
// processed before the window opens), then lets the test go on. A window that
// never opens fails the test after the limit, and so does one that f leaves
// open (that showing of it): it is rejected then.
inline void OnNextModal(std::function<void(QWidget*)> f, int limitMs = kModalLimitMs) {
    auto* timer = new QTimer;
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QObject::connect(timer, &QTimer::timeout, [timer, waited, limitMs, f = std::move(f)] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w && waited->elapsed() < limitMs) return;
        timer->stop();
        timer->deleteLater();
        if (!w) {
            ADD_FAILURE() << "no modal window opened";
            return;
        }
        auto showing = std::make_shared<Showing>(w);
        f(w);
        if (!showing->Up()) return;
        QTimer::singleShot(limitMs, [showing] {
            QWidget* shown = showing->Window();
            if (!showing->Up() || QApplication::activeModalWidget() != shown) return;
            ADD_FAILURE() << "the modal window \"" << shown->objectName().toStdString() << "\" was left open; rejected";
            if (auto* d = qobject_cast<QDialog*>(shown)) d->reject();
            else shown->close();
        });
    });
    timer->start(10);
}

// The program's main window with every window of the dialogs, settings and
// user folders in a temporary folder, message boxes answered from a script
// (OK once it runs out), and no modal window left open for ever.
class ProgramWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGuiApp();
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
        FreeOptions();
        CreateOptions(1200, dir.filePath("config/Velto/config.cfg").toStdString());
        // The tips window would open modally at the first activation.
        Options().ShowTips = false;
        Options().Autozoom = false;
        Lang().SetFileName("");
        SetMessageSink([this](const MessageRequest& r) {
            messages.push_back(r.text);
            if (answers.empty()) return int(idOK);
            const int a = answers.front();
            answers.pop_front();
            return a;
        });
        SetDocumentLink(nullptr);
        RegisterDialogs();
        main = std::make_unique<TfrmMain>();
        main->CreateForms();
        main->resize(1100, 800);
        main->SetCommandLine(CommandLine());
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
        main->FirstActivation({});
    }
    // The files the program is started with.
    virtual QStringList CommandLine() { return {}; }
    void TearDown() override {
        main.reset();
        SetMessageSink(nullptr);
        FreeOptions();
    }

    template <class Form>
    Form* form(const char* name) const {
        auto* f = qobject_cast<Form*>(main->Forms().Form(QString::fromLatin1(name)));
        EXPECT_NE(f, nullptr) << name;
        return f;
    }
    TfrmDesk* active() const { return qobject_cast<TfrmDesk*>(main->ActiveDesk()); }

    // A document window holding doc, read back from its file as the user
    // opens it.
    TfrmDesk* open(const TmyIcon& doc, const QString& name) {
        const QString path = dir.filePath(name);
        const bool ani = dynamic_cast<const TmyANI*>(&doc) != nullptr;
        const bool written = ani ? TmyANIIO(false).SaveToFile(doc, path.toStdString(), false)
                                 : TmyIcoIO(false).SaveToFile(doc, path.toStdString(), false);
        EXPECT_TRUE(written) << path.toStdString();
        const bool opened = main->OpenFile(path);
        EXPECT_TRUE(opened) << path.toStdString();
        return opened ? active() : nullptr;
    }

    ModalWatchdog watchdog;
    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> main;
    std::vector<std::string> messages;
    std::deque<int> answers;  // message-box answers in order (OK when empty)
};

// Every text the translation finds in the windows of the sections (items of
// lists left out unless items is set) is the English language file's;
// returns how many were compared.
inline int ExpectEnglishTexts(const QList<QObject*>& forms, const std::set<QString>& sections, bool items = true) {
    std::set<std::tuple<QString, QString, QString>> seen;
    TTranslator walk([&](const QString& section, const QString& key, const QString& def) {
        seen.insert({section, key, def});
        return def;
    });
    walk.TranslateApplication(forms);
    IniFile english;
    EXPECT_TRUE(english.LoadFromFile(VELTO_SOURCE_DIR "/lang/English.lng"));
    int checked = 0;
    for (const auto& [section, key, def] : seen) {
        if (!sections.count(section) || def.isEmpty() || (!items && key.contains(".Item"))) continue;
        ++checked;
        EXPECT_EQ(QString::fromStdString(english.ReadString(section.toStdString(), key.toStdString(), "\x01missing")), def)
            << "[" << section.toStdString() << "] " << key.toStdString();
    }
    return checked;
}

}  // namespace velto::test
