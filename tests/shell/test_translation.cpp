// The translation walk over windows, menus and controls, the Languages menu
// and the switch between language files; the shipped English file against
// what the program looks up.
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <iostream>

#include "MainWindowFixture.h"
#include "platform/IniFile.h"
#include "shell/PaneFrame.h"
#include "shell/Translator.h"

using namespace velto;
using TranslationTest = velto::test::MainWindowTest;

namespace {

// Every lookup of the walk over the main window's forms and menus, in order:
// section, key, default.
QList<std::tuple<QString, QString, QString>> WalkKeys(TfrmMain& main) {
    QList<std::tuple<QString, QString, QString>> dump;
    TTranslator t([&dump](const QString& s, const QString& k, const QString& d) {
        dump.append({s, k, d});
        return d;
    });
    t.TranslateApplication(main.Forms().All());
    t.TranslateActionManager({main.menuBar()});
    return dump;
}

const QByteArray kGerman =
    "[frmMain]\nfrmMain.Caption=Velto DE\nactnNew.Caption=&Neu\nactnNew.Hint=Neues Dokument\n"
    "actnOpen.Caption=\xc3\x96\x66\x66nen...\nactnInvert.Caption=Umkehren...\n"
    "[frmTools]\nfrmTools.Caption=Werkzeuge\n"
    "[Menu]\n1-0.Menu=&Datei\n2-12.Menu=Zuletzt ge\xc3\xb6\x66\x66net\n"
    "[MSG]\nmsgUntitled=Unbenannt\nmsgRed=Rot\nmsgLastEffect=Letzter Effekt (%s1)\n";

// Only a few keys: everything else must come back as English, not German.
const QByteArray kPartialFrench =
    "[frmMain]\nactnNew.Caption=&Nouveau\nactnOpen.Caption=\n"
    "[Menu]\n2-12.Menu=Fichiers r\xc3\xa9\x63\x65nts\n"
    "[MSG]\nmsgUntitled=Sans titre\n";

}  // namespace

TEST_F(TranslationTest, SwitchingToAPartialLanguageFallsBackToEnglish) {
    writeLanguage("Deutsch.lng", kGerman);
    writeLanguage("Francais.lng", kPartialFrench);
    newDesk();
    main->FillLanguageMenu();  // "Language" is English: no such file, nothing runs
    EXPECT_EQ(act("actnNew")->text(), "New");
    auto item = [this](const char* name) {
        for (QAction* a : main->LanguagesMenu()->actions())
            if (a->text() == name) return a;
        return static_cast<QAction*>(nullptr);
    };

    main->SetLastEffect(act("actnInvert"));
    main->SelectLanguage(item("Deutsch"));
    EXPECT_EQ(Options().Language, "Deutsch");
    EXPECT_EQ(act("actLast")->text(), "Letzter Effekt (Umkehren)");
    EXPECT_EQ(act("actnNew")->text(), "&Neu");
    EXPECT_EQ(act("actnNew")->statusTip(), "Neues Dokument");
    EXPECT_EQ(main->windowTitle(), "Velto DE");
    EXPECT_EQ(main->Forms().Pane(dsTools)->windowTitle(), "Werkzeuge");
    EXPECT_EQ(main->menuBar()->actions()[0]->text(), "&Datei");
    EXPECT_EQ(main->RecentFilesMenu()->title(), QString::fromUtf8("Zuletzt ge\xc3\xb6\x66\x66net"));
    EXPECT_EQ(main->Desk(1)->windowTitle(), "Unbenannt - 1");
    EXPECT_EQ(main->StatusLabels()[0], "Rot");
    EXPECT_TRUE(item("Deutsch")->isChecked());

    main->SelectLanguage(item("Francais"));
    EXPECT_FALSE(item("Deutsch")->isChecked());
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

TEST_F(TranslationTest, LanguagesMenuListsTheFilesByNameAndAMessagesOnlyFileChangesOnlyMessages) {
    writeLanguage("Deutsch.lng", kGerman);
    writeLanguage("Zulu.LNG", "[frmMain]\nactnNew.Caption=Okusha\n");
    writeLanguage("Afrikaans.lng.lng", "");
    writeLanguage("notes.txt", "");
    Options().Language = "Zulu.LNG";  // the listed name keeps an ending in capitals
    main->FillLanguageMenu();
    main->FillLanguageMenu();  // filling again replaces the entries; the first two items stay
    QStringList names;
    for (QAction* a : main->LanguagesMenu()->actions()) names << a->text() + (a->isChecked() ? "*" : "");
    EXPECT_EQ(names.mid(2), QStringList({"Afrikaans.lng", "Deutsch", "Zulu.LNG*"}));
    EXPECT_EQ(main->LanguagesMenu()->actions()[0]->objectName(), "actMoreLanguages");
    EXPECT_EQ(act("actnNew")->text(), "Okusha");

    Lang().SetFileName(writeLanguage("Msg.lng", "[MSG]\nmsgCapWarning=Achtung\n").toStdString());
    main->TranslateApplication();
    EXPECT_EQ(MessageCaption(mkWarning), "Achtung");
    EXPECT_EQ(act("actnNew")->text(), "New");
    EXPECT_EQ(main->menuBar()->actions()[0]->text(), "&File");
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

    const QMap<QString, QString> file = {
        {"frmSample/cmbKind.Item0", "Eins"}, {"frmSample/cmbKind.Item2", "Drei"}, {"frmSample/btnPress.Caption", ""},
        {"frmSample/btnPress.Hint", "Tipp"}, {"frmSample/frmSample.Caption", "Beispiel"},
        {"frmSample/lblInner.Caption", "wrong section"}, {"frmInner/lblInner.Caption", "Innen"},
        {"frmCanvas/btnPress.Hint", "Leinwand"},
    };
    QStringList hintDefaults;
    TTranslator t([&](const QString& s, const QString& k, const QString& d) {
        if (k == "btnPress.Hint") hintDefaults << d;
        return file.value(s + "/" + k, d);
    });

    // A form translated under another section keeps its own caption.
    t.TranslateForm("frmCanvas", &form);
    EXPECT_EQ(form.windowTitle(), "Sample");
    EXPECT_EQ(button->toolTip(), "Leinwand");
    EXPECT_EQ(innerLabel->text(), "Inner");  // another form is not entered

    t.TranslateApplication({&form, inner});
    EXPECT_EQ(form.windowTitle(), "Beispiel");
    EXPECT_EQ(QStringList({combo->itemText(0), combo->itemText(1), combo->itemText(2)}),
              QStringList({"Eins", "Two", "Drei"}));
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(button->text(), "Press");  // empty translation ignored
    EXPECT_EQ(button->toolTip(), "Tipp");
    EXPECT_EQ(unnamed->text(), "Plain");
    EXPECT_EQ(innerLabel->text(), "Innen");
    // Defaults are the built-in English texts, whatever is shown now.
    EXPECT_EQ(hintDefaults, QStringList({"Press it", "Press it"}));
}

// The English file shipped with the program answers every lookup of the walk
// with the built-in text, so choosing "English" changes nothing.
TEST_F(TranslationTest, ShippedEnglishFileHoldsEveryKeyOfTheWalk) {
    IniFile english;
    ASSERT_TRUE(english.LoadFromFile(VELTO_SOURCE_DIR "/lang/English.lng"));
    const auto dump = WalkKeys(*main);
    ASSERT_GT(dump.size(), 200);
    for (const auto& [s, k, d] : dump) {
        const std::string v = english.ReadString(s.toStdString(), k.toStdString(), "\x01missing");
        EXPECT_EQ(QString::fromStdString(v), d) << "[" << s.toStdString() << "] " << k.toStdString();
    }
    // Messages used by the main window itself.
    for (const char* key : {"msgUntitled", "msgMaxWindows", "msgLastEffect", "msgRed", "msgGreen", "msgBlue", "msgHue",
                            "msgSaturation", "msgBrightness", "msgOpacity", "msgHeight", "msgWidth", "msgTip1",
                            "msgCapWarning", "msgFileNotFound", "msgAlredyExists", "msgmsgIcns", "msgTrauColAlpha"})
        EXPECT_TRUE(english.ValueExists("MSG", key)) << key;
}

// Not a test: the only way to regenerate the window and menu sections of
// lang/English.lng. Prints the walk's keys in the language-file format; run
// with --gtest_also_run_disabled_tests --gtest_filter=*PrintWalkKeys when
// captions change.
TEST_F(TranslationTest, DISABLED_PrintWalkKeys) {
    QString section;
    for (const auto& [s, k, d] : WalkKeys(*main)) {
        if (s != section) std::cout << "\n[" << s.toStdString() << "]\n";
        section = s;
        std::cout << k.toStdString() << "=" << d.toStdString() << "\n";
    }
}
