// The batch converter's window through the main window's command: the modes'
// set-up, adding files by kind, a run with its log and progress, Stop, and
// closing the window or the program while a run works; a name that is no
// UTF-8 kept from the list to the outputs.
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

#include <QTextBlock>

#include <filesystem>
#include <mutex>
#include <thread>

#include "../icns/IcnsTestUtil.h"
#include "Corpus.h"
#include "browse/FileNames.h"
#include "DialogsTestSupport.h"
#include "dialogs/FormBatch.h"
#include "import/MyImport.h"
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

// Every message box asked while it lives and whether a worker asked it;
// those of the GUI thread are answered OK and kept as the fixture's messages.
class BoxThreads {
public:
    explicit BoxThreads(std::vector<std::string>& messages) {
        old_ = SetMessageSink([this, &messages](const MessageRequest& r) {
            std::lock_guard lock(mutex_);
            if (std::this_thread::get_id() != gui_) fromWorkers.push_back(r.text);
            else messages.push_back(r.text);
            return int(idOK);
        });
    }
    ~BoxThreads() { SetMessageSink(std::move(old_)); }
    BoxThreads(const BoxThreads&) = delete;
    BoxThreads& operator=(const BoxThreads&) = delete;

    std::vector<std::string> FromWorkers() {
        std::lock_guard lock(mutex_);
        return fromWorkers;
    }

private:
    std::mutex mutex_;
    std::thread::id gui_ = std::this_thread::get_id();
    std::vector<std::string> fromWorkers;
    MessageSink old_;
};

class BatchKindsTest : public BatchWindowTest {
protected:
    // Runs the files through "Create cursors from Images" as the Add button
    // takes them, at the window's own (full) thread count, into a fresh
    // folder; returns the log. No worker may have asked for a window.
    QStringList RunImagesToCursors(const QStringList& files, const QString& output) {
        QStringList log;
        InBatch([&] {
            BoxThreads boxes(messages);
            batch->findChild<QRadioButton*>("rbIconImage")->click();
            batch->dialogRunner = [&](TFileDialogSpec&, QStringList& chosen) {
                chosen = files;
                return true;
            };
            batch->findChild<QPushButton*>("btnAdd")->click();
            added = batch->Files().size();
            batch->OutputFormat()->setCurrentText(output);
            const QString folder = dir.filePath("out-" + output + QString::number(++runs));
            QDir().mkpath(folder);
            batch->OutputDir()->setText(folder);
            QSignalSpy finished(batch, &TfrmBatch::RunFinished);
            batch->OkButton()->click();
            EXPECT_TRUE(finished.count() > 0 || finished.wait(120000));
            log = LogLines();
            batch->OkButton()->click();
            EXPECT_EQ(boxes.FromWorkers(), std::vector<std::string>{});
        });
        return log;
    }

    // Each file's processing line, in order, followed by one outcome.
    static void ExpectOneOutcomePerFile(const QStringList& log, int files) {
        int seen = 0;
        for (int i = 0; i < log.size(); ++i) {
            if (!log[i].contains("- Processing: ")) continue;
            ++seen;
            EXPECT_TRUE(log[i].startsWith(QString::number(seen) + "/" + QString::number(files) + "- Processing: "))
                << log[i].toStdString();
            ASSERT_LT(i + 1, log.size());
            EXPECT_TRUE(log[i + 1].startsWith("      Success: ") || log[i + 1].startsWith("      Error: "))
                << log[i + 1].toStdString();
        }
        EXPECT_EQ(seen, files);
    }

    int added = 0, runs = 0;
};

// An Apple icon with one 16x16 image beside an element no reader knows.
icnstest::Bytes IcnsWithUnknownElement() {
    icnstest::Bytes ics8(256);
    for (std::size_t i = 0; i < ics8.size(); ++i) ics8[i] = static_cast<std::uint8_t>(i * 5);
    return icnstest::IcnsFile({{"ic07", icnstest::Bytes(4, 0)}, {"ics8", ics8}});
}

TEST_F(BatchKindsTest, EveryKindTheFilterOffersConvertsWithoutAWindowFromAWorker) {
    tmyimport writer;
    TmyImagePal picture(ImageSize{40, 24}, 32);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) picture.At(x, y) = Px(x * 6, y * 9, 120, 255);
    QStringList files;
    for (const char* name : {"p.png", "b.bmp", "j.jpg", "j.jpeg", "g.gif", "j.jp2", "j.j2k"}) {
        const std::string path = dir.filePath(name).toStdString();
        const bool saved = path.ends_with(".png")   ? writer.SavePng(path, picture)
                           : path.ends_with(".bmp") ? writer.SaveBmp(path, picture)
                           : path.ends_with(".gif") ? writer.SaveGif(path, picture)
                           : path.ends_with("jpg") || path.ends_with("jpeg") ? writer.SaveJpeg(path, picture)
                                                                              : writer.SaveJpeg2000(path, picture);
        ASSERT_TRUE(saved) << name;
        files << QString::fromStdString(path);
    }
    files << Cursor("c.cur");
    QFile ico(Cursor("i.ico"));
    ASSERT_TRUE(ico.open(QIODevice::ReadWrite));
    ico.seek(2);
    ico.write("\x01", 1);  // an icon directory
    ico.close();
    files << ico.fileName();
    TmyANI ani;
    ani.IsCursor = true;
    for (int i = 0; i < 2; ++i) ani.Image(ani.AddImage(ImageSize{32, 32}, 32)).Assign(picture);
    ASSERT_TRUE(TmyANIIO(false).SaveToFile(ani, dir.filePath("a.ani").toStdString(), false));
    files << dir.filePath("a.ani");
    QFile icns(dir.filePath("m.icns"));
    ASSERT_TRUE(icns.open(QIODevice::WriteOnly));
    const icnstest::Bytes bytes = IcnsWithUnknownElement();
    icns.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    icns.close();
    files << icns.fileName();
    // Many of each, so that every worker meets every kind.
    QStringList many;
    for (int i = 0; i < 6; ++i) many << files;

    for (const QString& output : {QStringLiteral("cur"), QStringLiteral("ani")}) {
        SCOPED_TRACE(output.toStdString());
        const QStringList log = RunImagesToCursors(many, output);
        ASSERT_EQ(added, many.size());
        ExpectOneOutcomePerFile(log, added);
        EXPECT_EQ(log.filter("      Success: ").size(), many.size());
        EXPECT_EQ(log.last(), "Operation completed!");
    }
}

TEST_F(BatchKindsTest, EverySampleFileOfTheFiltersKindsRunsToTheEnd) {
    VELTO_NEED_CORPUS();
    const QSet<QString> offered = {"icns", "ani", "ico", "cur", "bmp", "jpg", "jpeg", "png", "gif", "jp2", "j2k"};
    QStringList files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(test::CorpusDir())) {
        const QString path = QString::fromStdString(e.path().string());
        if (e.is_regular_file() && offered.contains(QFileInfo(path).suffix().toLower())) files << path;
    }
    files.sort();
    ASSERT_GT(files.size(), 500);
    const QStringList log = RunImagesToCursors(files, "cur");
    EXPECT_GT(added, 500);
    ExpectOneOutcomePerFile(log, added);
    // Hostile samples fail, and the last line counts them.
    const int failed = static_cast<int>(log.filter(QRegularExpression("^      Error: ")).size());
    EXPECT_EQ(log.last(), failed == 0 ? QString("Operation completed!")
                                      : QString("Operation completed, but %1 of %2 files failed!").arg(failed).arg(added));
}

TEST_F(BatchWindowTest, AFolderThatCannotTakeTheOutputsIsSaidOnceBeforeAnythingRuns) {
    const QString a = Cursor("a.cur");
    InBatch([&] {
        batch->PrepareCursorsToImages({a, dir.filePath("a.cur")});
        batch->OutputFormat()->setCurrentText("png");
        batch->OutputDir()->setText(dir.filePath("missing"));
        batch->OkButton()->click();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], "The output directory " + dir.filePath("missing").toStdString() +
                                   " cannot be used: No such file or directory");
        // Still idle: nothing ran, the folder can be changed and OK pressed again.
        EXPECT_FALSE(batch->Log()->isVisible());
        EXPECT_FALSE(batch->Running());
        EXPECT_EQ(batch->OkButton()->text(), "OK");
        EXPECT_TRUE(batch->CancelButton()->isEnabled());
        EXPECT_TRUE(batch->findChild<QGroupBox*>("grpDir")->isEnabled());
        EXPECT_EQ(batch->Files().size(), 2);
        batch->OutputDir()->setText(a);  // a file, not a folder
        batch->OkButton()->click();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_TRUE(messages[1].ends_with(" cannot be used: Not a directory")) << messages[1];

        // A run in which a file fails ends in red, counting it.
        const QString b = Cursor("b.cur", 16);
        batch->OutputDir()->setText(out);
        batch->PrepareCursorsToImages({a, b});
        ASSERT_TRUE(QFile::remove(b));
        QSignalSpy finished(batch, &TfrmBatch::RunFinished);
        batch->OkButton()->click();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(10000));
        EXPECT_EQ(messages.size(), 2u);
        EXPECT_EQ(LogLines().last(), "Operation completed, but 1 of 2 files failed!");
        const QTextBlock last = batch->Log()->document()->lastBlock();
        EXPECT_EQ(last.begin().fragment().charFormat().foreground().color(), QColor(Qt::red));
    });
}

TEST_F(BatchWindowTest, ANameThatIsNoUtf8StaysInTheListAndItsOutputKeepsItsBytes) {
    const QString a = Cursor("a.cur");
    const std::string raw = dir.path().toStdString() + "/\xff\xfe-bad.cur";
    const std::string png = out.toStdString() + "/\xff\xfe-bad_32x32-32.png";
    const RawNamesRemoved removed{{raw, png}};
    std::filesystem::copy_file(a.toStdString(), raw);
    InBatch([&] {
        batch->findChild<QRadioButton*>("rbImageIcon")->click();
        batch->dialogRunner = [&](TFileDialogSpec&, QStringList& files) {
            files = {FileNameText(raw), a};
            return true;
        };
        batch->findChild<QPushButton*>("btnAdd")->click();
        ASSERT_EQ(batch->Files(), QStringList({FileNameText(raw), a}));
        // Removing another row leaves the name as it was.
        batch->FileList()->item(1)->setSelected(true);
        batch->findChild<QPushButton*>("btnRemove")->click();
        ASSERT_EQ(batch->Files(), QStringList{FileNameText(raw)});
        batch->OutputFormat()->setCurrentText("png");
        batch->OutputDir()->setText(out);
        QSignalSpy finished(batch, &TfrmBatch::RunFinished);
        batch->OkButton()->click();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(10000));
        EXPECT_EQ(LogLines().last(), "Operation completed!") << batch->Log()->toPlainText().toStdString();
    });
    EXPECT_TRUE(std::filesystem::is_regular_file(png));
    const auto listed = std::filesystem::directory_iterator(out.toStdString());
    EXPECT_EQ(std::distance(begin(listed), end(listed)), 1);
}

TEST_F(BatchWindowTest, EveryTextOfTheWindowIsInTheEnglishLanguageFile) {
    EXPECT_GT(ExpectEnglishTexts({batch}, {"frmBatch"}), 20);
}

}  // namespace
