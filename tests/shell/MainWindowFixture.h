#pragma once
// A main window with all its windows, settings and language files in a
// temporary folder, messages collected, and document windows of a stub kind.
// A command looked up by a name that no command carries fails the test.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

#include "GuiTestApp.h"
#include "shell/ActionRegistry.h"
#include "shell/DocumentArea.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"
#include "core/Language.h"
#include "core/MessageBox.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace velto::test {

struct StubDesk : TDeskWindow {
    int images = 1, index = 0, bits = 32;
    bool saved = true, animated = false, keep = false;  // keep: the close question answers Cancel
    int ImageCount() const override { return images; }
    int ItemIndex() const override { return index; }
    int CurrentBitCount() const override { return bits; }
    bool IsAnimated() const override { return animated; }
    bool Saved() const override { return saved; }
    void SetSaved(bool s) override { saved = s; }
    bool CloseQuery() override { return !keep; }
};

struct FakeSelection : TSelectionAccess {
    bool empty = true;
    int owner = 0, commits = 0;
    bool Empty() const override { return empty; }
    int Owner() const override { return owner; }
    void SetOwner(int o) override { owner = o; }
    void Commit() override { ++commits; }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGuiApp();
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        FreeOptions();
        CreateOptions(800, configPath());
        Lang().SetFileName("");
        SetMessageSink([this](const MessageRequest& r) {
            messages << QString::fromStdString(r.text);
            return int(idOK);
        });
        previousMiss = TActionRegistry::SetMissHandler(
            [](const QString& name) { ADD_FAILURE() << "no command named \"" << name.toStdString() << '"'; });
        main = makeMain();
        main->SetDeskFactory([this] { return last = new StubDesk; });
        main->SetSelection(&selection);
    }
    void TearDown() override {
        main.reset();
        TActionRegistry::SetMissHandler(previousMiss);
        SetMessageSink(nullptr);
        Lang().SetFileName("");
        FreeOptions();
    }
    std::string configPath() const { return dir.filePath("config/Velto/config.cfg").toStdString(); }
    std::unique_ptr<TfrmMain> makeMain() {
        auto m = std::make_unique<TfrmMain>();
        m->CreateForms();
        m->SetLanguageFolders({dir.filePath("languages")});
        // The offscreen screen is 800x800: the layouts of larger screens
        // are restored here as on a screen that holds them.
        m->SetScreenAreas([] { return QList<QRect>{{0, 0, 4096, 4096}}; });
        return m;
    }
    QAction* act(const char* name) const { return main->Action(name); }
    StubDesk* newDesk() {
        EXPECT_TRUE(main->CreateDocumentWindow("Untitled"));
        return last;
    }
    void closeDesk(int slot) { main->Desk(slot)->Frame()->close(); }
    QString writeLanguage(const QString& name, const QByteArray& text) {
        QDir().mkpath(dir.filePath("languages"));
        const QString path = dir.filePath("languages/" + name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }
    // Expects each named command enabled (on) or disabled.
    void expectEnabled(std::initializer_list<const char*> names, bool on) const {
        for (const char* n : names) EXPECT_EQ(act(n)->isEnabled(), on) << n;
    }
    // A file opener recording what it was asked to open; names containing
    // "bad" fail.
    void recordOpens() {
        main->SetFileOpener([this](const QString& p) {
            opened << p;
            return !p.contains("bad");
        });
    }

    QTemporaryDir dir;
    FakeSelection selection;
    std::unique_ptr<TfrmMain> main;
    StubDesk* last = nullptr;
    QStringList messages, opened;
    TActionRegistry::MissHandler previousMiss;
};

}  // namespace velto::test
