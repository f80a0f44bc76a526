// The batch converter's window through the main window's command: the modes'
// set-up, adding files by kind, a run with its log and progress, Stop, and
// closing the window or the program while a run works.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextEdit>

#include <filesystem>

#include "DialogsTestSupport.h"
#include "dialogs/FormBatch.h"
#include "shell/FileDialogs.h"

using namespace velto;
using namespace velto::test;

namespace {

class BatchWindowTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        batch = form<TfrmBatch>("frmBatch");
        ASSERT_NE(batch, nullptr);
        QDir(dir.path()).mkpath("out");
        out = dir.filePath("out");
    }

    QString Cursor(const QString& name, int side = 32) {
        TmyIcon doc;
        doc.IsCursor = true;
        TmyImagePal& image = doc.Image(doc.AddImage(ImageSize{side, side}, 32));
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) image.At(x, y) = {std::uint8_t(x * 7), std::uint8_t(y * 5), 90, 200};
        const QString path = dir.filePath(name);
        EXPECT_TRUE(TmyIcoIO(false).SaveToFile(doc, path.toStdString(), false));
        return path;
    }

    // Opens the window through the command and works in it while it is modal.
    void InBatch(const std::function<void()>& work) {
        OnNextModal([&](QWidget* w) {
            EXPECT_EQ(w, batch);
            work();
            if (batch->isVisible()) batch->close();
        });
        main->Action(QStringLiteral("actBatch"))->trigger();
    }

    QStringList LogLines() const { return batch->Log()->toPlainText().split(QLatin1Char('\n')); }

    TfrmBatch* batch = nullptr;
    QString out;
};

TEST_F(BatchWindowTest, EachModeOffersItsOutputsAndTakesOnlyItsKindsOfFiles) {
    const QString cur = Cursor("a.cur");
    const QString txt = dir.filePath("notes.txt");
    QFile f(txt);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("plain words");
    f.close();
    InBatch([&] {
        auto* formats = batch->findChild<QGroupBox*>("grpFormats");
        EXPECT_EQ(batch->Mode(), TBatchMode::ImagesToCursors);
        EXPECT_TRUE(formats->isVisible());
        EXPECT_EQ(batch->OutputFormat()->count(), 2);
        EXPECT_EQ(batch->OutputFormat()->currentText(), "cur");
        EXPECT_FALSE(batch->OkButton()->isEnabled());

        // Add takes what the dialog chose, by kind.
        batch->dialogRunner = [&](TFileDialogSpec& spec, QStringList& files) {
            EXPECT_TRUE(spec.multiSelect);
            EXPECT_TRUE(spec.filter.startsWith("All Formats (*.bmp;")) << spec.filter.toStdString();
            files = {cur, txt};
            return true;
        };
        batch->findChild<QPushButton*>("btnAdd")->click();
        EXPECT_EQ(batch->Files(), QStringList{cur});
        EXPECT_EQ(batch->FileCount()->text(), "1");
        EXPECT_TRUE(batch->OkButton()->isEnabled());

        // Another mode empties the list.
        batch->findChild<QRadioButton*>("rbImageIcon")->click();
        EXPECT_TRUE(batch->Files().isEmpty());
        EXPECT_FALSE(formats->isVisible());
        QStringList outputs;
        for (int i = 0; i < batch->OutputFormat()->count(); ++i) outputs << batch->OutputFormat()->itemText(i);
        EXPECT_EQ(outputs, QStringList({"bmp", "jpg", "png", "gif"}));

        batch->findChild<QRadioButton*>("rbResIcon")->click();
        EXPECT_FALSE(batch->OutputFormat()->isVisible());
        batch->AddFiles({cur, txt});
        EXPECT_EQ(batch->Files(), QStringList({cur, txt}));

        // The explorer's presets keep only their kinds.
        batch->PrepareCursorsToImages({txt, cur});
        EXPECT_EQ(batch->Mode(), TBatchMode::CursorsToImages);
        EXPECT_EQ(batch->Files(), QStringList{cur});

        // An emptied folder field takes the starting folder again.
        batch->OutputDir()->clear();
        EXPECT_EQ(batch->OutputDir()->text(), QDir::homePath() + "/");
    });
}

TEST_F(BatchWindowTest, ARunShowsItsLogAndProgressAndTheNextClickCloses) {
    const QString a = Cursor("a.cur"), b = Cursor("b.cur", 16);
    bool ran = false;
    InBatch([&] {
        batch->PrepareCursorsToImages({a, b, dir.filePath("gone.cur")});
        batch->AddFiles({dir.filePath("gone.cur")});  // missing files are not added
        ASSERT_EQ(batch->Files().size(), 2);
        batch->OutputFormat()->setCurrentText("png");
        batch->OutputDir()->setText(out);
        QSignalSpy finished(batch, &TfrmBatch::RunFinished);
        batch->OkButton()->click();
        EXPECT_FALSE(batch->CancelButton()->isEnabled());
        EXPECT_FALSE(batch->findChild<QGroupBox*>("grpFiles")->isEnabled());
        EXPECT_TRUE(batch->Log()->isVisible());
        ASSERT_TRUE(finished.count() > 0 || finished.wait(10000));
        EXPECT_EQ(batch->OkButton()->text(), "Close");
        EXPECT_EQ(batch->Progress()->value(), 2);
        const QStringList log = LogLines();
        // Each file's lines follow an empty line (the first one is the log's own top).
        EXPECT_EQ(log, QStringList({"1/2- Processing: " + a + " ...",
                                    "      Success: " + out + "/a_32x32-32.png - File created successfully", "",
                                    "2/2- Processing: " + b + " ...",
                                    "      Success: " + out + "/b_16x16-32.png - File created successfully", "",
                                    "Operation completed!"}));
        batch->OkButton()->click();
        EXPECT_FALSE(batch->isVisible());
        EXPECT_TRUE(batch->Files().isEmpty());
        ran = true;
    });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(QFile::exists(out + "/a_32x32-32.png"));
    EXPECT_EQ(Options().BatchOutput, out.toStdString());

    // Shown again, the window is idle with the folder it had.
    InBatch([&] {
        EXPECT_FALSE(batch->Log()->isVisible());
        EXPECT_EQ(batch->OkButton()->text(), "OK");
        EXPECT_TRUE(batch->CancelButton()->isEnabled());
        EXPECT_EQ(batch->OutputDir()->text(), out);
    });
}

TEST_F(BatchWindowTest, StopEndsTheRunBetweenFilesAndSaysSo) {
    const QString a = Cursor("big.cur", 256);
    InBatch([&] {
        batch->PrepareCursorsToImages(QStringList(400, a));
        batch->OutputFormat()->setCurrentText("png");
        batch->OutputDir()->setText(out);
        QSignalSpy finished(batch, &TfrmBatch::RunFinished);
        batch->OkButton()->click();
        EXPECT_EQ(batch->OkButton()->text(), "Stop");
        batch->OkButton()->click();  // Stop
        ASSERT_TRUE(finished.count() > 0 || finished.wait(10000));
        EXPECT_EQ(LogLines().last(), "Operation canceled by user!");
        EXPECT_LT(batch->Progress()->value(), 400);
        // Every file begun was finished and logged; none half written.
        const int written = static_cast<int>(QDir(out).entryList(QDir::Files).size());
        EXPECT_EQ(written, batch->Progress()->value());
        EXPECT_EQ(batch->OkButton()->text(), "Close");
    });
}

TEST_F(BatchWindowTest, ClosingTheWindowOrTheProgramDuringARunStopsItFirst) {
    const QString a = Cursor("big.cur", 256);
    InBatch([&] {
        batch->PrepareCursorsToImages(QStringList(400, a));
        batch->OutputFormat()->setCurrentText("bmp");
        batch->OutputDir()->setText(out);
        batch->OkButton()->click();
        ASSERT_TRUE(batch->Running());
        batch->close();
        EXPECT_FALSE(batch->Running());
        EXPECT_FALSE(batch->isVisible());
        EXPECT_EQ(LogLines().last(), "Operation canceled by user!");
    });
    const int written = static_cast<int>(QDir(out).entryList(QDir::Files).size());
    EXPECT_LT(written, 400);

    // A window destroyed with the program while its run works (the main
    // window owns it): the run stops and is waited for, nothing is left
    // writing into a freed window.
    QDir(out).removeRecursively();
    QDir(dir.path()).mkpath("out");
    auto* owned = new TfrmBatch(main.get());
    owned->PrepareCursorsToImages(QStringList(400, a));
    owned->OutputFormat()->setCurrentText("bmp");
    owned->OutputDir()->setText(out);
    owned->show();
    owned->OkButton()->click();
    EXPECT_TRUE(owned->Running());
    main.reset();
    const auto afterwards = QDir(out).entryList(QDir::Files);
    EXPECT_LT(afterwards.size(), 400);
    QTest::qWait(50);
    EXPECT_EQ(QDir(out).entryList(QDir::Files), afterwards);
}

}  // namespace

namespace {

TEST_F(BatchWindowTest, EveryTextOfTheWindowIsInTheEnglishLanguageFile) {
    EXPECT_GT(ExpectEnglishTexts({batch}, {"frmBatch"}), 20);
}

}  // namespace
