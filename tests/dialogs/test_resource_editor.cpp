// The resource editor window and its properties window, through the main
// window's commands: new libraries made from cursor files, libraries of both
// word sizes opened, edited and saved, names and languages, the save
// question, failed saves and what they say, files refused at open, libraries
// a killed save left torn; every saved library read by independent tools.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <filesystem>

#include "../resources/LibraryPeers.h"
#include "DialogsTestSupport.h"
#include "KilledSave.h"
#include "browse/ThumbnailGrid.h"
#include "dialogs/FormResourceEditor.h"
#include "dialogs/FormResourceProperties.h"
#include "resources/LibraryNames.h"
#include "resources/LibrarySave.h"
#include "shell/FileDialogs.h"

using namespace velto;
using namespace velto::test;
using restest::CurImage;
using restest::ExpectedGroup;

namespace {

class ResourceEditorTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        editor = form<TfrmResourceEditor>("frmResourceEditor");
        ASSERT_NE(editor, nullptr);
        editor->SetDialogRunner([this](TFileDialogSpec& spec, QStringList& files) {
            asked.push_back(spec.objectName() + ":" + spec.Title());
            if (chosen.empty()) return false;
            files = chosen.front();
            chosen.pop_front();
            return !files.isEmpty();
        });
        editor->SetPropertiesRunner([this](TfrmResourceProperties& f) {
            shownName = f.GetName();
            shownLanguage = f.GetLanguage();
            shownEditable = f.Editable();
            if (!typed) return false;
            f.SetName(typed->first);
            f.SetLanguage(typed->second);
            typed.reset();
            f.accept();
            return f.Accepted() && f.result() == QDialog::Accepted;
        });
        missingPeers = restest::MissingLibraryPeers();
    }

    std::string Cursor(const char* name, const std::vector<CurImage>& images) {
        const std::string path = dir.filePath(QString::fromLatin1(name)).toStdString();
        restest::WriteFile(path, restest::CursorFile(images));
        return path;
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    // Runs the editor modally through the command and works in it.
    void InEditor(const std::function<void()>& work, const char* command = "actResEditor") {
        OnNextModal([&](QWidget* w) {
            EXPECT_EQ(w, editor);
            work();
            if (editor->isVisible()) {
                answers.push_back(idNo);  // leave without saving when asked
                editor->close();
            }
        });
        main->Action(QString::fromLatin1(command))->trigger();
    }

    // Captions and languages of the tiles, "caption/language kind" each.
    std::string Tiles() const {
        std::string out;
        TThumbail* g = editor->Grid();
        for (int i = 0; i < g->Count(); ++i)
            out += g->Item(i).Caption.toStdString() + "/" + std::to_string(g->Item(i).LanguageId) +
                   (g->Item(i).Kind == tkCursorGroup ? "L " : "F ");
        return out;
    }
    void Select(int i) {
        editor->Grid()->ClearSelection();
        editor->Grid()->SelectItem(i);
        editor->UpdateActions();
    }
    void ExpectReadByPeers(const QString& path, const std::vector<ExpectedGroup>& groups) {
        if (!missingPeers.empty()) {
            std::printf("peer tools missing:%s\n", missingPeers.c_str());
            return;
        }
        EXPECT_EQ(restest::LibraryPeerProblems(path.toStdString(), groups), "");
    }
    bool Said(const std::string& start) const {
        for (const std::string& m : messages)
            if (m.rfind(start, 0) == 0) return true;
        return false;
    }

    TfrmResourceEditor* editor = nullptr;
    std::deque<QStringList> chosen;  // answers of the file dialogs (empty: cancelled)
    std::vector<QString> asked;
    std::optional<std::pair<QString, std::uint16_t>> typed;  // what the properties window gets
    QString shownName;
    std::uint16_t shownLanguage = 0;
    bool shownEditable = false;
    std::string missingPeers;
};

const std::vector<CurImage> kA = {{32, 32, 3, 4, {}, 1}, {48, 48, 5, 6, {}, 2}};
const std::vector<CurImage> kB = {{16, 16, 1, 2, {}, 3}};
const std::vector<CurImage> kC = {{24, 24, 7, 8, {}, 4}};

}  // namespace

TEST_F(ResourceEditorTest, ANewLibraryOfCursorFilesIsNamedEditedSavedAndReopened) {
    const QString a = QString::fromStdString(Cursor("a.cur", kA)), b = QString::fromStdString(Cursor("b.cur", kB)),
                  c = QString::fromStdString(Cursor("c.cur", kC));
    const QString notCursor = Path("note.txt");
    restest::WriteFile(notCursor.toStdString(), {'h', 'i'});
    EXPECT_TRUE(main->Action("actResEditor")->isEnabled());
    InEditor([&] {
        EXPECT_TRUE(editor->Untitled());
        EXPECT_FALSE(editor->Action("actSave")->isEnabled());
        EXPECT_FALSE(editor->Action("actDel")->isEnabled());
        // Add: three cursor files (the text file is left out).
        chosen.push_back({a, b, notCursor, c});
        editor->Action("actAdd")->trigger();
        EXPECT_EQ(asked.back(), "dlgAdd:Add Icons");
        EXPECT_EQ(Tiles(), "#1/0F #2/0F #3/0F ");
        EXPECT_TRUE(editor->Modified());
        EXPECT_TRUE(editor->Action("actSave")->isEnabled());

        // Rename and language: upper-cased, "#0012" is "#12".
        Select(0);
        EXPECT_TRUE(editor->Action("actProperties")->isEnabled());
        typed = {QStringLiteral("arrow"), 1031};
        editor->Action("actProperties")->trigger();
        EXPECT_EQ(shownName, "#1");
        EXPECT_TRUE(shownEditable);
        Select(1);
        typed = {QStringLiteral("#0012"), 0};
        editor->Properties();
        EXPECT_EQ(Tiles(), "ARROW/1031F #12/0F #3/0F ");
        // A name and language another tile has: refused with a warning.
        Select(2);
        typed = {QStringLiteral("Arrow"), 1031};
        editor->Properties();
        EXPECT_TRUE(Said("The resource name and language pair already exists"));
        EXPECT_EQ(Tiles(), "ARROW/1031F #12/0F #3/0F ");

        // Change: a new tile takes another cursor file; a file of another kind is ignored.
        chosen.push_back({notCursor});
        editor->Change();
        chosen.push_back({a});
        editor->Change();
        EXPECT_EQ(editor->Grid()->Item(2).FileName, a);
        // Delete: a new tile leaves nothing to delete in the library.
        Select(1);
        editor->Action("actDel")->trigger();
        EXPECT_TRUE(editor->DeleteList().empty());
        EXPECT_EQ(Tiles(), "ARROW/1031F #3/0F ");

        // Save: the name gets the library extension; the window closes.
        chosen.push_back({Path("new")});
        editor->Action("actSave")->trigger();
        EXPECT_EQ(asked.back(), "dlgSave:Save Resource");
        EXPECT_TRUE(Said("File saved succesfully"));
        EXPECT_FALSE(editor->isVisible());
    });
    const QString lib = Path("new.cul");
    ASSERT_TRUE(QFileInfo::exists(lib));
    ExpectReadByPeers(lib, {{"ARROW", 1031, kA}, {"3", 0, kA}});

    // Reopened: the same groups, read-only names; one changed, one deleted.
    InEditor([&] {
        EXPECT_EQ(Tiles(), "") << "every showing starts a new library";
        chosen.push_back({lib});
        editor->Action("actOpen")->trigger();
        EXPECT_EQ(asked.back(), "dlgOpen:Open Resource");
        EXPECT_FALSE(editor->Untitled());
        EXPECT_EQ(editor->FileNameLabel()->text(), lib);
        EXPECT_EQ(Tiles(), "ARROW/1031L #3/0L ");
        Select(0);
        typed = {QStringLiteral("OTHER"), 0};
        editor->Properties();
        EXPECT_FALSE(shownEditable);
        EXPECT_EQ(shownLanguage, 1031);
        EXPECT_EQ(Tiles(), "ARROW/1031L #3/0L ") << "groups of the library keep their name";
        chosen.push_back({b});
        editor->Change();
        Select(1);
        editor->Delete();
        ASSERT_EQ(editor->DeleteList().size(), 2u);
        EXPECT_EQ(ResNameText(editor->DeleteList()[0].first), "ARROW");
        EXPECT_EQ(ResNameText(editor->DeleteList()[1].first), "#3");
        const QByteArray before = [&] {
            QFile f(lib);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        editor->Save();
        EXPECT_FALSE(editor->isVisible());
        QFile bak(QString::fromStdString(BackupName(lib.toStdString())));
        ASSERT_TRUE(bak.open(QIODevice::ReadOnly));
        EXPECT_EQ(bak.readAll(), before);
    });
    ExpectReadByPeers(lib, {{"ARROW", 1031, kB}});
    EXPECT_EQ(GetCursorGroupCount(lib.toStdString(), ResName::FromString(u"ARROW"), 1031), 1);
}

TEST_F(ResourceEditorTest, LibrariesOfBothWordSizesAreOpenedEditedAndSaved) {
    const std::string a = Cursor("a.cur", kA), b = Cursor("b.cur", kB), c = Cursor("c.cur", kC);
    for (const bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "64-bit" : "32-bit");
        restest::PeSpec spec;
        spec.pe32plus = plus;
        const QString lib = Path(plus ? "lib64.dll" : "lib32.dll");
        restest::WriteFile(lib.toStdString(), restest::BuildPe(spec));
        // A group named like an id by another program ("#12A" is a string).
        ASSERT_TRUE(SaveLibrary({lib.toStdString(), false, {},
                                 {{a, ResName::FromId(5), 0}, {b, ResName::FromString(u"#12A"), 0}, {c, ResName::FromId(6), 1033}},
                                 {}}));
        InEditor([&] {
            editor->OpenFile(lib);
            EXPECT_EQ(Tiles(), "#12A/0L #5/0L #6/1033L ");
            Select(0);
            chosen.push_back({QString::fromStdString(c)});
            editor->Change();
            Select(2);
            editor->Delete();
            chosen.push_back({QString::fromStdString(b)});
            editor->Add();
            EXPECT_EQ(Tiles(), "#12A/0F #5/0L #1/0F ");
            EXPECT_TRUE(editor->Save());
        });
        ExpectReadByPeers(lib, {{"#12A", 0, kC}, {"1", 0, kB}, {"5", 0, kA}});
    }
}

TEST_F(ResourceEditorTest, AReplacedGroupKeepsItsTypedNameInANewLanguage) {
    const std::string a = Cursor("a.cur", kA), b = Cursor("b.cur", kB), c = Cursor("c.cur", kC);
    const QString lib = Path("twins.dll");
    restest::WriteFile(lib.toStdString(), restest::BuildPe({}));
    // Two groups whose names read alike: the string "#7" and the id 7.
    ASSERT_TRUE(SaveLibrary({lib.toStdString(), false, {},
                             {{a, ResName::FromString(u"#7"), 0}, {b, ResName::FromId(7), 1033}}, {}}));
    InEditor([&] {
        editor->OpenFile(lib);
        EXPECT_EQ(Tiles(), "#7/0L #7/1033L ");
        // The string group takes another cursor, then another language.
        Select(0);
        chosen.push_back({QString::fromStdString(c)});
        editor->Change();
        typed = {QStringLiteral("#7"), 2057};
        editor->Properties();
        EXPECT_EQ(Tiles(), "#7/2057F #7/1033L ");
        EXPECT_TRUE(editor->Save());
    });
    // Still a string, now in its new language; the id untouched.
    EXPECT_EQ(GetCursorGroupCount(lib.toStdString(), ResName::FromString(u"#7"), 2057), 1);
    EXPECT_EQ(GetCursorGroupCount(lib.toStdString(), ResName::FromString(u"#7"), 0), 0);
    EXPECT_EQ(GetCursorGroupCount(lib.toStdString(), ResName::FromId(7), 1033), 1);
    EXPECT_EQ(GetCursorGroupCount(lib.toStdString(), ResName::FromId(7), 2057), 0);
}

TEST_F(ResourceEditorTest, AFailedSaveSaysWhyAndKeepsTheWindowAndTheLibrary) {
    const std::string a = Cursor("a.cur", kA), gone = Cursor("gone.cur", kB);
    const QString lib = Path("lib.cul");
    ASSERT_TRUE(SaveLibrary({lib.toStdString(), true, {}, {{a, ResName::FromId(1), 0}}, {}}));
    const restest::Bytes before = restest::ReadFile(lib.toStdString());
    InEditor([&] {
        editor->OpenFile(lib);
        Select(0);
        editor->Delete();
        chosen.push_back({QString::fromStdString(gone)});
        editor->Add();
        std::filesystem::remove(gone);
        EXPECT_FALSE(editor->Save());
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(),
                  "Cannot save file. Make sure it is not read-only or compressed.\ngone.cur: No such file or directory");
        EXPECT_TRUE(editor->isVisible());
        EXPECT_TRUE(editor->Modified());
        EXPECT_FALSE(editor->ProgressBar()->isVisible());
        EXPECT_TRUE(editor->CloseButton()->isEnabled());
        EXPECT_EQ(Tiles(), "#1/0F ");
        // A new library into a missing folder.
        answers.push_back(idNo);  // the save question of New
        editor->New();
        chosen.push_back({QString::fromStdString(a)});
        editor->Add();
        chosen.push_back({Path("missing/new.cul")});
        EXPECT_FALSE(editor->Save());
        EXPECT_TRUE(editor->Untitled());
    });
    EXPECT_EQ(restest::ReadFile(lib.toStdString()), before);
    // The backup of a library verified unchanged is not kept.
    EXPECT_FALSE(QFileInfo::exists(lib + ".bak"));
}

// Saved, but a folder holds the backup's name: a warning naming the backup and why.
TEST_F(ResourceEditorTest, ASaveWhoseBackupCannotBeWrittenSaysSo) {
    const QString lib = Path("lib.cul");
    ASSERT_TRUE(SaveLibrary({lib.toStdString(), true, {}, {{Cursor("a.cur", kA), ResName::FromId(1), 0}}, {}}));
    ASSERT_TRUE(std::filesystem::create_directory((lib + ".bak").toStdString()));
    InEditor([&] {
        editor->OpenFile(lib);
        EXPECT_TRUE(editor->Save());
        EXPECT_EQ(messages.back(), "File saved, but its backup " + (lib + ".bak").toStdString() +
                                       " could not be written.\nIs a directory");
    });
}

TEST_F(ResourceEditorTest, WhatCannotBeALibraryIsSaidAtOpenAndARefusedCursorAtSave) {
    const std::string a = Cursor("a.cur", kA);
    const QString text = Path("notes.dll");
    restest::WriteFile(text.toStdString(), {'n', 'o', 't', 'e', 's'});
    const QString lib = Path("lib.cul");
    ASSERT_TRUE(SaveLibrary({lib.toStdString(), true, {}, {{a, ResName::FromId(1), 0}}, {}}));
    // A cursor file whose only image lies past its end: added, but refused at save.
    restest::Bytes cut = restest::CursorFile(kB);
    cut.resize(cut.size() - 10);
    const std::string broken = dir.filePath("broken.cur").toStdString();
    restest::WriteFile(broken, cut);
    InEditor([&] {
        const struct {
            QString file;
            const char* reason;
        } refused[] = {{text, "not a Windows executable or library"},
                       {QStringLiteral("/proc/self/status"), "not a regular file"},
                       {Path("missing.dll"), "No such file or directory"}};
        for (const auto& r : refused) {
            SCOPED_TRACE(r.file.toStdString());
            editor->OpenFile(lib);
            ASSERT_EQ(Tiles(), "#1/0L ");
            messages.clear();
            editor->OpenFile(r.file);
            EXPECT_EQ(messages, std::vector<std::string>({std::string("Invalid File Format!\n") + r.reason}));
            // The window starts over: nothing of the refused file or of the library before.
            EXPECT_TRUE(editor->Untitled());
            EXPECT_EQ(Tiles(), "");
            EXPECT_TRUE(editor->FileNameLabel()->text().isEmpty());
            EXPECT_FALSE(editor->Modified());
        }
        editor->OpenFile(lib);
        chosen.push_back({QString::fromStdString(broken)});
        editor->Add();
        ASSERT_EQ(Tiles(), "#1/0L #2/0F ");
        messages.clear();
        EXPECT_FALSE(editor->Save());
        EXPECT_EQ(messages, std::vector<std::string>({"Cannot save file. Make sure it is not read-only or compressed.\n"
                                                      "broken.cur: an image of the cursor file lies outside the file"}));
    });
    EXPECT_EQ(GetCursorGroupCount(lib.toStdString(), ResName::FromId(2), 0), 0);
}

// A save of the library killed while it wrote it in place goes back before
// the library is read: at the open, or, where it came after the open, at the
// save, which builds on the library as it was; the user is told either way.
TEST_F(ResourceEditorTest, ALibraryAKilledSaveLeftTornIsPutBackAndTheUserTold) {
    const std::string a = Cursor("a.cur", kA), b = Cursor("b.cur", kB);
    const QString lib = Path("lib.cul");
    ASSERT_TRUE(SaveLibrary({lib.toStdString(), true, {}, {{a, ResName::FromId(1), 0}}, {}}));
    const restest::Bytes before = restest::ReadFile(lib.toStdString());
    const std::string undone = "An unfinished save of " + lib.toStdString() +
                               " was undone: the file holds what it held before that save again.";
    InEditor([&] {
        ASSERT_FALSE(KillSaveAfterFirstPage(lib.toStdString()).empty());
        messages.clear();
        editor->OpenFile(lib);
        EXPECT_EQ(messages, std::vector<std::string>{undone});
        EXPECT_EQ(Tiles(), "#1/0L ");
        EXPECT_TRUE(restest::ReadFile(lib.toStdString()) == before) << "the library of before the killed save";

        ASSERT_FALSE(KillSaveAfterFirstPage(lib.toStdString()).empty());
        chosen.push_back({QString::fromStdString(b)});
        editor->Add();
        messages.clear();
        EXPECT_TRUE(editor->Save());
        EXPECT_EQ(messages, std::vector<std::string>{"File saved succesfully\n" + undone});
    });
    EXPECT_EQ(GetCursorGroupCount(lib.toStdString(), ResName::FromId(1), 0), 2);
    EXPECT_EQ(GetCursorGroupCount(lib.toStdString(), ResName::FromId(2), 0), 1);
}

TEST_F(ResourceEditorTest, TheSaveQuestionAndOverwriting) {
    const std::string a = Cursor("a.cur", kA);
    const QString existing = Path("there.cul");
    restest::WriteFile(existing.toStdString(), {'o', 'l', 'd'});
    InEditor([&] {
        chosen.push_back({QString::fromStdString(a)});
        editor->Add();
        // Cancel keeps the window and its tiles.
        answers.push_back(idCancel);
        editor->close();
        EXPECT_TRUE(editor->isVisible());
        EXPECT_TRUE(Said("Save changes to Untiteled ?"));
        // Yes, onto an existing file, answered No: everything as it was.
        answers.push_back(idYes);
        chosen.push_back({existing});
        answers.push_back(idNo);
        editor->New();
        EXPECT_TRUE(Said("there.cul already exists! Overwrite?"));
        EXPECT_EQ(restest::ReadFile(existing.toStdString()), (restest::Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(Tiles(), "#1/0F ") << "a save not made stops New";
        // Yes and Yes: saved over it; New goes on in the open window.
        answers.push_back(idYes);
        chosen.push_back({existing});
        answers.push_back(idYes);
        editor->New();
        EXPECT_TRUE(editor->isVisible());
        EXPECT_EQ(Tiles(), "");
        EXPECT_EQ(GetCursorGroupCount(existing.toStdString(), ResName::FromId(1), 0), 2);
    });
    EXPECT_FALSE(editor->isVisible());
}

TEST_F(ResourceEditorTest, CursorFilesHandedToTheEditorBecomeNewGroups) {
    const QString a = QString::fromStdString(Cursor("a.cur", kA)), b = QString::fromStdString(Cursor("b.cur", kB));
    OnNextModal([&](QWidget*) {
        EXPECT_EQ(Tiles(), "#1/0F #2/0F ");
        EXPECT_TRUE(editor->Modified());
        answers.push_back(idNo);
        editor->close();
    });
    SendCursorFilesToResourceEditor({a, b});
    EXPECT_TRUE(editor->PendingFiles().isEmpty());
    // The main window's command follows the explorer's selection: with none
    // it is off, rather than opening the editor empty.
    main->UpdateActions();
    EXPECT_FALSE(main->Action("actIconsToLibrary")->isEnabled());
}

TEST_F(ResourceEditorTest, ThePropertiesWindowChecksNamesAndListsLanguages) {
    auto* p = form<TfrmResourceProperties>("frmResourceProperties");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p, editor->PropertiesForm());
    const struct {
        QString name;
        bool valid;
    } names[] = {{"#0", false}, {"#32768", false}, {"#12a", false}, {"", false}, {"#", false},
                 {"#1", true},  {"#32767", true},  {"arrow", true},  {"#0012", true},
                 // A library holds 65535 UTF-16 units (two bytes of UTF-8 each here); the field cuts nothing.
                 {QString(65535, QChar(0xE9)), true}, {QString(65536, QChar(0xE9)), false}};
    for (const auto& row : names) {
        SCOPED_TRACE(row.name.size() > 9 ? std::to_string(row.name.size()) + " units" : row.name.toStdString());
        messages.clear();
        OnNextModal([&](QWidget*) {
            p->SetName(row.name);
            EXPECT_EQ(p->GetName().size(), row.name.size());
            p->OKButton()->click();
            EXPECT_EQ(p->isVisible(), !row.valid);
            if (!row.valid) {
                EXPECT_EQ(p->NameEdit()->palette().color(QPalette::Text), QColor(Qt::red));
                p->CancelButton()->click();
            }
        });
        p->exec();
        EXPECT_EQ(p->Accepted(), row.valid);
        EXPECT_EQ(Said("A resource name can be at most 65535 characters long"), row.name.size() > 65535);
    }
    // Languages: neutral first, names of the table, ids of no name kept.
    EXPECT_EQ(p->LanguageList()->itemText(0), " Language Neutral");
    EXPECT_EQ(p->LanguageList()->count(), static_cast<int>(LanguageTable().size()) + 1);
    for (const std::uint16_t id : {0, 1033, 1031, 0x0C0A, 0x7ABC}) {
        SCOPED_TRACE(id);
        p->SetLanguage(id);
        EXPECT_EQ(p->GetLanguage(), id);
    }
    EXPECT_EQ(p->LanguageList()->currentText(), "Language 0x7abc");
    p->SetLanguage(1033);
    EXPECT_EQ(p->LanguageList()->currentText(), "English (United States)");
    EXPECT_EQ(p->LanguageList()->findText("Language 0x7abc"), -1) << "an unnamed id is listed only while shown";
    p->SetEditable(false);
    EXPECT_FALSE(p->NameEdit()->isEnabled());
    EXPECT_FALSE(p->LanguageList()->isEnabled());
    p->SetEditable(true);
}

TEST_F(ResourceEditorTest, EveryTextIsInTheEnglishLanguageFile) {
    EXPECT_GE(ExpectEnglishTexts(main->Forms().All(), {"frmResourceEditor", "frmResourceProperties"}, false), 8);
}
