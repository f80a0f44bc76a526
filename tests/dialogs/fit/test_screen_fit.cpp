// Every window of the program on a small screen and on a scaled one: each
// dialog opens with its frame, and a window manager's title bar above it,
// inside the screen's free area, and its default and closing buttons show
// whole. The screen comes from the test's environment (tests.cmake): the
// offscreen platform's configuration, QT_SCALE_FACTOR, and VELTO_FIT_SCREEN,
// the free area's size the set-up gives ("1024x768", "800x500" at scale 2).
// With VELTO_FIT_SHOTS set to a folder (under a real X server with a window
// manager), the screen is saved there as each dialog shows.
#include <gtest/gtest.h>

#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTextEdit>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "DialogsTestSupport.h"
#include "dialogs/FormBatch.h"
#include "dialogs/FormFrames.h"
#include "dialogs/FormImport.h"
#include "dialogs/PaneServices.h"
#include "gif/GifImage.h"
#include "shell/FileDialogs.h"
#include "shell/Forms.h"
#include "shell/MessageDialog.h"
#include "shell/ModalForms.h"
#include "shell/WebPages.h"

namespace velto::test {
namespace {

// A window manager's title bar, in the screen's pixels; the offscreen
// platform draws frames of a pixel or two.
constexpr int kTitleBarPixels = 20;

// A window that must show whole: the dialog's default and closing buttons,
// and whatever else its row names (nullptr: the button box's accept and
// reject buttons of the toolkit's own dialogs).
struct Row {
    const char* name;  // a window created at start, or what opens on demand
    std::vector<const char*> whole;
};

// Windows created at start that are no dialog: the main window, the panes
// (inside the main window, fitted by its layout) and the brush outline.
const std::set<std::string> kNoDialog = {"frmMain", "frmPreview", "frmTools", "frmColors", "frmExplorer", "frmBrush"};

// Every dialog of the program. Those created at start go by their names; a
// new one fails the listing test until it has a row here.
const std::vector<Row> kStartupDialogs = {
    {"frmAbout", {"btnOK"}},
    {"frmOptions", {"btnOK", "btnCancel"}},
    {"frmBrightness", {"btnOK", "btnCancel"}},
    {"frmColorBalance", {"btnOK", "btnCancel"}},
    {"frmHue", {"btnOK", "btnCancel"}},
    {"frmFilter", {"btnOK", "btnCancel"}},
    {"frmNewImage", {"btnOK", "btnCancel"}},
    {"frmProperties", {"btnOK", "btnCancel"}},
    {"frmDimension", {"btnOK", "btnCancel"}},
    {"frmChangePal", {"btnOK"}},
    {"frmRotate", {"btnOK", "btnCancel"}},
    {"frmHotspot", {"btnOK", "btnCancel"}},
    {"frmText", {"btnOK", "btnCancel"}},
    {"frmImageBig", {"Button1"}},
    {"frmTips", {"btnClose"}},
    {"frmImport", {"btnOK", "btnCancel"}},
    {"frmLanguage", {"btnClose"}},
    {"frmUpdate", {}},
    {"frmResourceEditor", {"btnCancel"}},
    {"frmResourceProperties", {"btnOK", "btnCancel"}},
    {"frmSnapshot", {"btnSave", "btnClose"}},
    {"frmTest", {"btnClose"}},
    {"frmImportGif", {"btnCancel"}},
    {"frmExtract", {"btnExtract", "btnCancel"}},
    {"frmOpacity", {"btnOK", "btnCancel"}},
    {"frmShadow", {"btnOK", "btnCancel"}},
    {"frmFrames", {"btnOK", "btnCancel"}},
    {"frmFadeout", {"btnOK", "btnCancel"}},
    {"frmBatch", {"btnOK", "btnCancel"}},
    {"frmDelete", {"btnOK", "btnCancel"}},
};

// Dialog classes of the program that no row opens, and why.
const std::map<std::string, std::string> kNotChecked = {
    {"TfrmCapture", "the capture outline: frameless, the size of the area to capture, placed under the mouse"},
};

// The classes deriving from QDialog that the sources declare, and the
// toolkit's dialogs they name.
std::set<std::string> DialogClassesInSources() {
    std::map<std::string, std::string> base;
    std::set<std::string> toolkit;
    const std::regex declared(R"(class\s+(\w+)\s*(?:final\s*)?:\s*public\s+(\w+))");
    const std::regex named(R"(\b(QFileDialog|QColorDialog|QFontDialog|QInputDialog|QMessageBox|QProgressDialog|QErrorMessage|QWizard)\b)");
    for (const auto& e : std::filesystem::recursive_directory_iterator(VELTO_SOURCE_DIR "/Source")) {
        const std::string ext = e.path().extension().string();
        if (ext != ".h" && ext != ".cpp") continue;
        std::ifstream in(e.path());
        std::stringstream text;
        text << in.rdbuf();
        const std::string s = text.str();
        for (std::sregex_iterator m(s.begin(), s.end(), declared), end; m != end; ++m) base[(*m)[1]] = (*m)[2];
        for (std::sregex_iterator m(s.begin(), s.end(), named), end; m != end; ++m) toolkit.insert((*m)[1]);
    }
    std::set<std::string> out = toolkit;
    for (const auto& [cls, parent] : base) {
        std::string b = parent;
        for (int depth = 0; depth < 8 && b != "QDialog" && base.count(b); ++depth) b = base[b];
        if (b == "QDialog") out.insert(cls);
    }
    return out;
}

class ScreenFitTest : public ProgramWindowTest {
protected:
    void TearDown() override {
        ProgramWindowTest::TearDown();
        SetWebServer(QString());
    }
    void SetUp() override {
        const QByteArray expected = qgetenv("VELTO_FIT_SCREEN");
        if (expected.isEmpty()) GTEST_SKIP() << "the screen is set up by ctest (VELTO_FIT_SCREEN and the platform)";
        // The web windows ask a port nobody listens on: refused at once.
        SetWebServer(QStringLiteral("http://127.0.0.1:9"));
        ProgramWindowTest::SetUp();
        const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
        ASSERT_EQ(QString("%1x%2").arg(room.width()).arg(room.height()), QString::fromLatin1(expected))
            << "the screen the set-up asks for";
        shots = qEnvironmentVariable("VELTO_FIT_SHOTS");
    }

    // Checks the dialog as it shows now; records its class.
    void ExpectWhole(QWidget* w, const std::string& name, const std::vector<const char*>& whole) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        checked.push_back(w->metaObject());
        const QRect room = w->screen()->availableGeometry();
        const QRect frame = WithTitleBar(w);
        EXPECT_TRUE(room.contains(frame)) << "frame with a title bar " << Text(frame) << " (window " << Text(w->geometry())
                                          << ") on " << Text(room);
        std::vector<QWidget*> parts;
        for (const char* n : whole) {
            if (n) {
                parts.push_back(w->findChild<QWidget*>(QString::fromLatin1(n)));
                EXPECT_NE(parts.back(), nullptr) << n;
                continue;
            }
            auto* box = w->findChild<QDialogButtonBox*>();
            ASSERT_NE(box, nullptr) << "a button box";
            for (QAbstractButton* b : box->buttons())
                if (box->buttonRole(b) == QDialogButtonBox::AcceptRole || box->buttonRole(b) == QDialogButtonBox::RejectRole)
                    parts.push_back(b);
            EXPECT_GE(parts.size(), 2u);
        }
        for (QWidget* p : parts) {
            if (!p) continue;
            EXPECT_TRUE(ShowsWhole(p)) << p->objectName().toStdString() << " hidden or cut off";
        }
        if (!shots.isEmpty()) {
            QCoreApplication::processEvents();
            QTest::qWait(300);  // the window manager draws its frame
            w->screen()->grabWindow(0).save(QDir(shots).filePath(QString::fromStdString(name) + ".png"));
        }
    }
    // The window's frame, reaching as high as a title bar would where the
    // platform's frame is thinner.
    static QRect WithTitleBar(const QWidget* w) {
        QRect frame = w->frameGeometry();
        const int title = static_cast<int>(std::ceil(kTitleBarPixels / w->devicePixelRatioF()));
        frame.setTop(std::min(frame.top(), w->geometry().top() - title));
        return frame;
    }
    // Shown, and inside each of its parents up to the window (none clips it,
    // a scroll area's view included).
    static bool ShowsWhole(const QWidget* w) {
        if (!w->isVisible()) return false;
        for (const QWidget* p = w; !p->isWindow(); p = p->parentWidget()) {
            const QWidget* parent = p->parentWidget();
            if (!parent->rect().contains(QRect(w->mapTo(parent, QPoint(0, 0)), w->size()))) return false;
        }
        return true;
    }
    static std::string Text(const QRect& r) {
        return QString("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
    }

    // Opens a window created at start as its opener would, checks it, closes it.
    void CheckStartupDialog(const Row& row) {
        auto* d = qobject_cast<QDialog*>(main->Forms().Form(QString::fromLatin1(row.name)));
        ASSERT_NE(d, nullptr) << row.name;
        d->open();
        ExpectWhole(d, row.name, row.whole);
        d->reject();
        d->hide();
    }

    // Runs a call that opens a dialog modally; checks the dialog, then cancels it.
    void CheckModal(const std::string& name, const std::vector<const char*>& whole, const std::function<void()>& call) {
        bool seen = false;
        OnNextModal([&](QWidget* w) {
            seen = true;
            ExpectWhole(w, name, whole);
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
        });
        call();
        EXPECT_TRUE(seen) << name;
    }

    QString shots;
    std::vector<const QMetaObject*> checked;  // the classes of the windows checked
};

// Every dialog created at start has a row, and every dialog class of the
// sources (the program's own and the toolkit's) is opened by one.
TEST_F(ScreenFitTest, EveryDialogOpensWholeWithItsButtons) {
    for (const FormInfo& info : kStartupForms) {
        if (kNoDialog.count(info.name)) continue;
        bool listed = false;
        for (const Row& r : kStartupDialogs) listed = listed || std::string(r.name) == info.name;
        EXPECT_TRUE(listed) << info.name << " is a window of the program without a row";
    }

    // What the dialogs show at their fullest: a document with images of
    // several sizes, a large picture to import, a GIF's frames.
    TmyIcon doc;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) doc.AddImage({side, side}, 32);
    doc.IsCursor = true;
    open(doc, "big.cur");
    if (auto* imp = form<TfrmImport>("frmImport")) {
        imp->SetSource(TmyImage({900, 700}));
        imp->SetTargetSize({32, 32});
    }
    TGIFImage gif;
    gif.Header().Width = 64;
    gif.Header().Height = 64;
    gif.GlobalColorMap().Add(MakeColor(0, 0, 0));
    gif.GlobalColorMap().Add(MakeColor(255, 0, 0));
    for (int k = 0; k < 6; ++k) {
        auto frame = std::make_unique<TGIFSubImage>(gif);
        frame->SetBounds(k * 8, k * 8, 16, 16);
        gif.Images().Add(std::move(frame));
    }
    const QString gifFile = dir.filePath("six.gif");
    ASSERT_TRUE(gif.SaveToFile(gifFile.toStdString()));
    if (auto* frames = form<TfrmFrames>("frmFrames")) {
        frames->SetFileName(gifFile);
        frames->SetTarget({32, 32}, 32);
        frames->Prepare();
    }
    if (auto* newImage = dynamic_cast<TNewImageForm*>(main->Forms().Form("frmNewImage"))) newImage->SetNewImageMode(true);

    for (const Row& row : kStartupDialogs) CheckStartupDialog(row);

    // The batch window: its format box in the other mode, then its log and progress bar once a run is over.
    auto* batch = form<TfrmBatch>("frmBatch");
    ASSERT_NE(batch, nullptr);
    OnNextModal([&](QWidget*) {
        // Sized for the formats of the mode it opens in, the box shows these whole too.
        batch->SetMode(TBatchMode::CursorsToImages);
        QCoreApplication::processEvents();  // the layout follows the mode
        QComboBox* box = batch->OutputFormat();
        QStyleOptionComboBox opt;
        opt.initFrom(box);
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box);
        EXPECT_TRUE(ShowsWhole(box));
        for (int i = 0; i < box->count(); ++i)
            EXPECT_GE(field.width(), box->fontMetrics().horizontalAdvance(box->itemText(i))) << box->itemText(i).toStdString();
        batch->PrepareImagesToCursors({gifFile});
        batch->OutputDir()->setText(dir.path());
        QSignalSpy finished(batch, &TfrmBatch::RunFinished);
        batch->OkButton()->click();
        EXPECT_TRUE(finished.wait(kModalLimitMs));
        ExpectWhole(batch, "frmBatch-run", {"btnOK", "ProgressBar1", "reResult"});
        // The log's last line shows.
        QTextEdit* log = batch->Log();
        EXPECT_EQ(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
        static_cast<QDialog*>(batch)->reject();
    });
    ShowModalForm(QStringLiteral("frmBatch"));

    // Dialogs opened on demand: the message box, the file, folder and colour dialogs.
    MessageRequest request;
    request.text = "A question that asks whether the changes are saved first.";
    request.caption = "Confirmation";
    request.style = msYesNoCancel;
    auto box = CreateMessageDialog(request, main.get());
    box->open();
    ExpectWhole(box.get(), "message", {});
    EXPECT_TRUE(box->defaultButton() && ShowsWhole(box->defaultButton()));
    EXPECT_TRUE(box->escapeButton() && ShowsWhole(box->escapeButton()));
    box->reject();
    TFileDialogSpec openSpec(main.get(), "dlgOpen", "Open");
    openSpec.filter = FileDialogFilter("frmMain.dlgOpenIcon");
    QStringList files;
    CheckModal("file-open", {nullptr}, [&] { RunFileDialog(openSpec, files); });
    TFileDialogSpec saveSpec(main.get(), "dlgSave", "Save");
    saveSpec.save = true;
    saveSpec.filter = FileDialogFilter("frmSnapshot.dlgSave");
    CheckModal("file-save", {nullptr}, [&] { RunFileDialog(saveSpec, files); });
    CheckModal("folder", {nullptr}, [&] { QFileDialog::getExistingDirectory(main.get(), "Folder", dir.path()); });
    SetColorChooser(nullptr);
    CheckModal("colour", {nullptr}, [&] { ChooseColor(Qt::red, main.get()); });

    // Every dialog class the sources declare or name was opened above.
    for (const std::string& cls : DialogClassesInSources()) {
        if (kNotChecked.count(cls)) continue;
        const std::string qualified = cls.front() == 'Q' ? cls : "velto::" + cls;
        bool opened = false;
        for (const QMetaObject* m : checked)
            for (; m && !opened; m = m->superClass()) opened = qualified == m->className();
        EXPECT_TRUE(opened) << cls << " is a dialog of the program that no row opens";
    }
}

// The main window as the program opens it the first time: inside the screen.
TEST_F(ScreenFitTest, TheMainWindowStartsInsideTheScreen) {
    main.reset();
    main = std::make_unique<TfrmMain>();
    main->CreateForms();
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    main->FirstActivation({});
    QCoreApplication::processEvents();
    const QRect room = main->screen()->availableGeometry();
    const QRect frame = WithTitleBar(main.get());
    EXPECT_TRUE(room.contains(frame) || main->isMaximized()) << Text(frame) << " on " << Text(room);
}

}  // namespace
}  // namespace velto::test
