// The translation walk over windows, menus and controls, the Languages menu
// and the switch between language files; the shipped English file against
// what the program looks up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolBar>

#include <iostream>
#include <memory>

#include "platform/IniFile.h"
#include "shell/DocumentArea.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"
#include "shell/PaneFrame.h"
#include "shell/Translator.h"
#include "shell/core/Language.h"
#include "shell/core/MessageBox.h"

using namespace velto;

namespace {

QApplication* guiApp() {
    if (!QApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_shell";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qApp;
}

// Every lookup the walk makes: section -> key -> default, in order.
using KeyDump = QList<std::tuple<QString, QString, QString>>;

TTranslator Recorder(KeyDump& dump) {
    return TTranslator([&dump](const QString& s, const QString& k, const QString& d) {
        dump.append({s, k, d});
        return d;
    });
}

class TranslationTest : public ::testing::Test {
protected:
    void SetUp() override {
        guiApp();
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        FreeOptions();
        CreateOptions(800, dir.filePath("config/Velto/config.cfg").toStdString());
        Lang().SetFileName("");
        main = std::make_unique<TfrmMain>();
        main->CreateForms();
        main->SetLanguageFolders({dir.filePath("languages")});
    }
    void TearDown() override {
        main.reset();
        Lang().SetFileName("");
        FreeOptions();
    }
    QString write(const QString& name, const QByteArray& text) {
        QDir().mkpath(dir.filePath("languages"));
        const QString path = dir.filePath("languages/" + name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }
    QAction* languageItem(const QString& name) {
        for (QAction* a : main->LanguagesMenu()->actions())
            if (a->text() == name) return a;
        return nullptr;
    }
    QAction* act(const char* n) { return main->Action(n); }

    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> main;
};

const QByteArray kGerman =
    "[General]\nAuthor=Jemand\n"
    "[frmMain]\nfrmMain.Caption=Velto DE\nactnNew.Caption=&Neu\nactnNew.Hint=Neues Dokument\n"
    "actnOpen.Caption=\xc3\x96\x66\x66nen...\nactnInvert.Caption=Umkehren...\n"
    "[frmTools]\nfrmTools.Caption=Werkzeuge\n"
    "[frmTips]\nfrmTips.Caption=Tipp des Tages\n"
    "[frmCanvas]\nfrmCanvasLabel.Caption=Leinwand\n"
    "[Menu]\n1-0.Menu=&Datei\n2-12.Menu=Zuletzt ge\xc3\xb6\x66\x66net\n"
    "[MSG]\nmsgUntitled=Unbenannt\nmsgRed=Rot\nmsgLastEffect=Letzter Effekt (%s1)\n";

// Only a few keys: everything else must come back as English, not German.
const QByteArray kPartialFrench =
    "[frmMain]\nactnNew.Caption=&Nouveau\nactnOpen.Caption=\n"
    "[Menu]\n2-12.Menu=Fichiers r\xc3\xa9\x63\x65nts\n"
    "[MSG]\nmsgUntitled=Sans titre\n";

}  // namespace

TEST_F(TranslationTest, SwitchingToAPartialLanguageFallsBackToEnglish) {
    write("Deutsch.lng", kGerman);
    write("Francais.lng", kPartialFrench);
    ASSERT_TRUE(main->CreateDocumentWindow("Untitled"));
    main->FillLanguageMenu();  // "Language" is English: no such file, nothing runs
    EXPECT_EQ(act("actnNew")->text(), "New");

    main->SetLastEffect(act("actnInvert"));
    main->SelectLanguage(languageItem("Deutsch"));
    EXPECT_EQ(Options().Language, "Deutsch");
    EXPECT_EQ(act("actLast")->text(), "Letzter Effekt (Umkehren)");
    EXPECT_EQ(act("actnNew")->text(), "&Neu");
    EXPECT_EQ(act("actnNew")->statusTip(), "Neues Dokument");
    EXPECT_EQ(act("actnOpen")->text(), QString::fromUtf8("\xc3\x96\x66\x66nen..."));
    EXPECT_EQ(main->windowTitle(), "Velto DE");
    EXPECT_EQ(main->Forms().Pane(dsTools)->windowTitle(), "Werkzeuge");
    EXPECT_EQ(static_cast<QWidget*>(main->Forms().Form("frmTips"))->windowTitle(), "Tipp des Tages");
    EXPECT_EQ(main->menuBar()->actions()[0]->text(), "&Datei");
    EXPECT_EQ(main->RecentFilesMenu()->title(), QString::fromUtf8("Zuletzt ge\xc3\xb6\x66\x66net"));
    EXPECT_EQ(main->Desk(1)->windowTitle(), "Unbenannt - 1");
    EXPECT_EQ(main->StatusLabels()[0], "Rot");
    EXPECT_TRUE(languageItem("Deutsch")->isChecked());

    main->SelectLanguage(languageItem("Francais"));
    EXPECT_FALSE(languageItem("Deutsch")->isChecked());
    EXPECT_EQ(act("actnNew")->text(), "&Nouveau");
    EXPECT_EQ(act("actnNew")->statusTip(), "New");
    EXPECT_EQ(act("actnOpen")->text(), "Open...");  // an empty value keeps the English text
    EXPECT_EQ(main->windowTitle(), "Velto");
    EXPECT_EQ(main->Forms().Pane(dsTools)->windowTitle(), "Tools");
    EXPECT_EQ(main->menuBar()->actions()[0]->text(), "&File");
    EXPECT_EQ(main->RecentFilesMenu()->title(), QString::fromUtf8("Fichiers r\xc3\xa9\x63\x65nts"));
    EXPECT_EQ(main->Desk(1)->windowTitle(), "Sans titre - 1");
    EXPECT_EQ(main->StatusLabels()[0], "R");
    EXPECT_EQ(BuiltInText(act("actnNew"), "Caption"), "New");
}

TEST_F(TranslationTest, LanguagesMenuListsTheFilesByNameAndRunsTheChosenOne) {
    write("Deutsch.lng", kGerman);
    write("Zulu.LNG", "[frmMain]\nactnNew.Caption=Okusha\n");
    write("Afrikaans.lng.lng", "");
    write("notes.txt", "");
    Options().Language = "Zulu.LNG";  // the listed name keeps an ending in capitals
    main->FillLanguageMenu();
    QStringList names;
    for (QAction* a : main->LanguagesMenu()->actions().mid(2)) names << a->text();
    EXPECT_EQ(names, QStringList({"Afrikaans.lng", "Deutsch", "Zulu.LNG"}));
    EXPECT_TRUE(languageItem("Zulu.LNG")->isChecked());
    EXPECT_EQ(act("actnNew")->text(), "Okusha");

    // Filling again replaces the entries; the first two items stay.
    main->FillLanguageMenu();
    EXPECT_EQ(main->LanguagesMenu()->actions().size(), 5);
    EXPECT_EQ(main->LanguagesMenu()->actions()[0]->objectName(), "actMoreLanguages");
}

TEST_F(TranslationTest, WalkRules) {
    // A form of its own with controls, a nested dialog and an unnamed label.
    QWidget form;
    form.setObjectName("frmSample");
    MarkAsForm(&form);
    form.setWindowTitle("Sample");
    auto* combo = new QComboBox(&form);
    combo->setObjectName("cmbKind");
    combo->addItems({"One", "Two", "Three"});
    combo->setCurrentIndex(2);
    auto* button = new QPushButton("Press", &form);
    button->setObjectName("btnPress");
    button->setToolTip("Press it");
    auto* unnamed = new QLabel("Plain", &form);
    auto* inner = new QDialog(&form);
    inner->setObjectName("frmInner");
    MarkAsForm(inner);
    auto* innerLabel = new QLabel("Inner", inner);
    innerLabel->setObjectName("lblInner");

    QMap<QString, QString> file = {
        {"frmSample/cmbKind.Item0", "Eins"}, {"frmSample/cmbKind.Item2", "Drei"}, {"frmSample/btnPress.Caption", ""},
        {"frmSample/btnPress.Hint", "Dr\u00fccken"}, {"frmSample/frmSample.Caption", "Beispiel"},
        {"frmSample/lblInner.Caption", "wrong section"}, {"frmInner/lblInner.Caption", "Innen"},
        {"frmCanvas/btnPress.Hint", "Leinwand"},
    };
    KeyDump asked;
    TTranslator t([&](const QString& s, const QString& k, const QString& d) {
        asked.append({s, k, d});
        return file.value(s + "/" + k, d);
    });

    // A form translated under another section keeps its own caption.
    t.TranslateForm("frmCanvas", &form);
    EXPECT_EQ(form.windowTitle(), "Sample");
    EXPECT_EQ(button->toolTip(), "Leinwand");
    EXPECT_EQ(innerLabel->text(), "Inner");  // another form is not entered

    asked.clear();
    t.TranslateApplication({&form, inner});
    EXPECT_EQ(form.windowTitle(), "Beispiel");
    EXPECT_EQ(combo->itemText(0), "Eins");
    EXPECT_EQ(combo->itemText(1), "Two");
    EXPECT_EQ(combo->itemText(2), "Drei");
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(button->text(), "Press");  // empty translation ignored
    EXPECT_EQ(button->toolTip(), QString::fromUtf8("Dr\xc3\xbc\x63ken"));
    EXPECT_EQ(unnamed->text(), "Plain");
    EXPECT_EQ(innerLabel->text(), "Innen");
    // Defaults are the built-in English texts, whatever is shown now.
    for (const auto& [s, k, d] : asked) {
        EXPECT_FALSE(k.startsWith('.'));
        if (k == "btnPress.Hint") {
            EXPECT_EQ(d, "Press it");
        }
    }
}

TEST_F(TranslationTest, MessagesOnlyFileChangesOnlyTheMessages) {
    Lang().SetFileName(write("Msg.lng", "[MSG]\nmsgCapWarning=Achtung\n").toStdString());
    main->TranslateApplication();
    EXPECT_EQ(MessageCaption(mkWarning), "Achtung");
    EXPECT_EQ(act("actnNew")->text(), "New");
    EXPECT_EQ(main->menuBar()->actions()[0]->text(), "&File");
}

// The English file shipped with the program answers every lookup of the walk
// with the built-in text, so choosing "English" changes nothing.
TEST_F(TranslationTest, ShippedEnglishFileHoldsEveryKeyOfTheWalk) {
    IniFile english;
    ASSERT_TRUE(english.LoadFromFile(VELTO_SOURCE_DIR "/lang/English.lng"));
    KeyDump dump;
    TTranslator t = Recorder(dump);
    t.TranslateApplication(main->Forms().All());
    t.TranslateActionManager({main->menuBar()});
    ASSERT_GT(dump.size(), 200);
    for (const auto& [s, k, d] : dump) {
        const std::string v = english.ReadString(s.toStdString(), k.toStdString(), "\x01missing");
        EXPECT_EQ(QString::fromStdString(v), d) << s.toStdString() << " / " << k.toStdString();
    }
    // Messages used by the main window itself.
    for (const char* key : {"msgUntitled", "msgMaxWindows", "msgLastEffect", "msgRed", "msgGreen", "msgBlue", "msgHue",
                            "msgSaturation", "msgBrightness", "msgOpacity", "msgHeight", "msgWidth", "msgTip1",
                            "msgCapWarning", "msgFileNotFound", "msgAlredyExists", "msgmsgIcns", "msgTrauColAlpha"})
        EXPECT_TRUE(english.ValueExists("MSG", key)) << key;
}

// Prints the walk's keys in the language-file format (run by hand with
// --gtest_also_run_disabled_tests when captions change).
TEST_F(TranslationTest, DISABLED_PrintWalkKeys) {
    KeyDump dump;
    TTranslator t = Recorder(dump);
    t.TranslateApplication(main->Forms().All());
    t.TranslateActionManager({main->menuBar()});
    QString section;
    for (const auto& [s, k, d] : dump) {
        if (s != section) std::cout << "\n[" << s.toStdString() << "]\n";
        section = s;
        std::cout << k.toStdString() << "=" << d.toStdString() << "\n";
    }
}
