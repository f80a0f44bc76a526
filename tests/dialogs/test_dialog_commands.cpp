// The commands that open the document dialogs, the preferences, the tips and
// the about window, run as the user runs them from the menus.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QThread>

#include <functional>
#include <optional>
#include <set>

#include "DocumentDialogsFixture.h"
#include "browse/ThumbnailGrid.h"
#include "dialogs/FormAbout.h"
#include "dialogs/FormDelete.h"
#include "dialogs/FormNewImage.h"
#include "dialogs/FormOptions.h"
#include "dialogs/FormProperties.h"
#include "dialogs/FormTest.h"
#include "dialogs/FormTips.h"
#include "dialogs/ImageView.h"
#include "dialogs/KeyFilteredEdit.h"

namespace velto::test {
namespace {

const TmyPixel kRed = TmyPixel::CreateRGBA(255, 0, 0, 255);

using DialogCommandsTest = DocumentDialogsTest;

TEST_F(DialogCommandsTest, NewMakesACursorOrAnAnimatedCursorThroughTheNewImageWindow) {
    struct Row {
        const char* name;
        const char* answer;  // "cur", "ani" or "cancel"
        int windows;         // open afterwards
    };
    const Row rows[] = {{"static cursor", "cur", 1}, {"animated cursor", "ani", 2}, {"cancelled", "cancel", 2}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int cascade = main->Desks().CascadeIndex();
        OnNextModal([&row](QWidget* w) {
            auto* d = qobject_cast<TfrmNewImage*>(w);
            ASSERT_NE(d, nullptr);
            EXPECT_FALSE(d->ShowsImages());
            const QLatin1String answer(row.answer);
            if (answer == QLatin1String("cancel")) {
                d->CancelButton()->click();
                return;
            }
            (answer == QLatin1String("ani") ? d->AniButton() : d->CurButton())->setChecked(true);
            d->OKButton()->click();
        });
        main->Actions().execute("actnNew");
        QApplication::processEvents();
        EXPECT_EQ(main->Desks().DeskCount(), row.windows);
        if (QLatin1String(row.answer) == QLatin1String("cancel")) {
            EXPECT_EQ(main->Desks().CascadeIndex(), cascade);
            continue;
        }
        TfrmDesk* desk = active();
        ASSERT_NE(desk, nullptr);
        EXPECT_TRUE(desk->Frame()->isVisible());
        EXPECT_EQ(desk->IsAnimated(), QLatin1String(row.answer) == QLatin1String("ani"));
        EXPECT_EQ(desk->ImageCount(), 1);
        EXPECT_EQ(desk->CurrentImage()->Width(), 32);
    }
}

TEST_F(DialogCommandsTest, TheDocumentCommandsOpenTheirWindowsOnTheActiveDocument) {
    TfrmDesk* desk = openIcon({{32, 32, 32, kRed}, {16, 16, 32, kRed}, {48, 48, 32, kRed}});
    ASSERT_NE(desk, nullptr);
    // New Image from the side bar's menu: the add layout, the images offered.
    OnNextModal([](QWidget* w) {
        auto* d = qobject_cast<TfrmNewImage*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(d->ShowsImages());
        EXPECT_EQ(d->Sources()->Count(), 3);
        d->SizeButton(1)->setChecked(true);
        d->OKButton()->click();
    });
    main->Actions().execute("actnnewimage");
    EXPECT_EQ(desk->ImageCount(), 4);
    EXPECT_EQ(desk->CurrentImage()->Width(), 24);
    EXPECT_TRUE(main->Action("actnPrev")->isEnabled());

    // Delete More Images: two of the four go; the window follows.
    OnNextModal([](QWidget* w) {
        auto* d = qobject_cast<TfrmDelete*>(w);
        ASSERT_NE(d, nullptr);
        ASSERT_EQ(d->List()->count(), 4);
        d->List()->item(0)->setSelected(true);
        d->List()->item(3)->setSelected(true);
        d->OKButton()->click();
    });
    main->Actions().execute("actDeleteMore");
    EXPECT_EQ(desk->ImageCount(), 2);
    EXPECT_EQ(desk->SideBar()->Count(), 2);
    EXPECT_FALSE(desk->Saved());

    // Properties: the rows of what is left.
    OnNextModal([](QWidget* w) {
        auto* p = qobject_cast<TfrmProperties*>(w);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->Rows().size(), 2);
        p->CancelButton()->click();
    });
    main->Actions().execute("actnProp");
}

TEST_F(DialogCommandsTest, PreferencesAboutAndTipsOpenFromTheirMenus) {
    struct Row {
        const char* action;
        const char* form;
    };
    const Row rows[] = {{"actPreferences", "frmOptions"}, {"actnAbout", "frmAbout"}, {"actTips", "frmTips"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.action);
        QString shown;
        OnNextModal([&shown](QWidget* w) {
            shown = w->objectName();
            QTest::keyClick(w, Qt::Key_Escape);
        });
        main->Actions().execute(row.action);
        EXPECT_EQ(shown, row.form);
    }
}

TEST_F(DialogCommandsTest, TheTipsShowAtTheFirstActivationWhenTheSettingSaysSo) {
    struct Row {
        const char* name;
        bool setting;
        QStringList commandLine;
        bool shown;
    };
    const Row rows[] = {
        {"setting on", true, {}, true},
        {"setting off", false, {}, false},
        // Files named at start open instead.
        {"files to open", true, {QStringLiteral("missing.cur")}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        main.reset();
        Options().ShowTips = row.setting;
        main = std::make_unique<TfrmMain>();
        main->CreateForms();
        main->SetCommandLine(row.commandLine);
        // The first showing posts the first activation, which opens the tips
        // over the main window; the user's Escape ends it.
        int shown = 0;
        bool mainVisible = false;
        if (row.shown)
            OnNextModal([&](QWidget* w) {
                shown += qobject_cast<TfrmTips*>(w) != nullptr;
                mainVisible = main->isVisible();
                EXPECT_EQ(w->parentWidget(), main.get());
                QTest::keyClick(w, Qt::Key_Escape);
            });
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !main->FirstActivationPending(); }, kModalLimitMs));
        EXPECT_EQ(shown, row.shown ? 1 : 0);
        EXPECT_EQ(mainVisible, row.shown);
        // The activation runs once: a later call shows nothing again.
        main->FirstActivation({});
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST_F(DialogCommandsTest, EveryTextAndMessageOfTheseWindowsIsInTheEnglishLanguageFile) {
    const std::set<QString> sections{"frmNewImage", "frmProperties", "frmOptions", "frmDelete",
                                     "frmTips",     "frmAbout",      "frmTest"};
    EXPECT_GT(ExpectEnglishTexts(main->Forms().All(), sections), 100);
    // The messages they show, with the texts they fall back on.
    struct Row {
        const char* key;
        const char* text;
    };
    const Row rows[] = {
        {"msglblName", "Name: %s1"},
        {"msglblLocation", "Location: %s1"},
        {"msglblImageNo", "Image Number: %i1"},
        {"msglblType", "Data Type: %i1 bits"},
        {"msglblDim", "Dimension: %i1 x %i2"},
        {"msglblSize", "Size: %i1 bytes"},
        {"msglblRate", "Display rate (sec)"},
        {"msgInvalidRate", "Invalid display rate!"},
        {"msgNotUnique", "There is already an image with this format in the icon!"},
        {"msgFrame", "Frame %i1"},
        {"msgDeleteLast", "Cannot delete last image!"},
        {"msgTranslation", "Language file translation"},
    };
    IniFile english;
    ASSERT_TRUE(english.LoadFromFile(VELTO_SOURCE_DIR "/lang/English.lng"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        EXPECT_EQ(english.ReadString("MSG", row.key, "\x01missing"), row.text);
    }
}

// A dialog minimised and brought back gets spontaneous hide and show events
// from the window system (delivered as the window system does, not through
// sendEvent, which clears the mark): what the user did in it stays.
TEST_F(DialogCommandsTest, ADialogBroughtBackFromTheMinimisedStateKeepsWhatTheUserDid) {
    TmyANI ani;
    FillDocument(ani, {{32, 32, 32, kRed}, {32, 32, 32, kRed}});
    ASSERT_NE(open(ani, QStringLiteral("two.ani")), nullptr);
    struct Row {
        const char* form;
        std::function<void(QWidget*)> change;
        std::function<bool(QWidget*)> kept;
    };
    const Row rows[] = {
        {"frmProperties",
         [](QWidget* w) { qobject_cast<TfrmProperties*>(w)->Rows()[1].rate->setText("7"); },
         [](QWidget* w) {
             auto* p = qobject_cast<TfrmProperties*>(w);
             return p->Rows().size() == 2 && p->Rows()[1].rate->text() == "7";
         }},
        {"frmNewImage", [](QWidget* w) { qobject_cast<TfrmNewImage*>(w)->Sources()->SelectItem(1); },
         [](QWidget* w) { return qobject_cast<TfrmNewImage*>(w)->Sources()->FirstSelected() == 1; }},
        {"frmDelete", [](QWidget* w) { qobject_cast<TfrmDelete*>(w)->List()->item(1)->setSelected(true); },
         [](QWidget* w) {
             auto* list = qobject_cast<TfrmDelete*>(w)->List();
             return list->count() == 2 && list->item(1)->isSelected();
         }},
        {"frmOptions", [](QWidget* w) { qobject_cast<TfrmOptions*>(w)->Switch(0)->toggle(); },
         [](QWidget* w) { return qobject_cast<TfrmOptions*>(w)->Switch(0)->isChecked() != Options().EffectOnAllImages; }},
        {"frmTest", [](QWidget* w) { qobject_cast<TfrmTest*>(w)->Pad()->Picture().setPixel(5, 5, qRgb(0, 0, 0)); },
         [](QWidget* w) { return qobject_cast<TfrmTest*>(w)->Pad()->Picture().pixel(5, 5) == qRgb(0, 0, 0); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.form);
        QWidget* w = main->Forms().Form(QString::fromLatin1(row.form));
        ASSERT_NE(w, nullptr);
        w->show();
        row.change(w);
        QHideEvent hide;
        QSpontaneKeyEvent::setSpontaneous(&hide);
        qApp->notify(w, &hide);
        QShowEvent show;
        QSpontaneKeyEvent::setSpontaneous(&show);
        qApp->notify(w, &show);
        EXPECT_TRUE(row.kept(w));
        w->hide();
    }
    // The tip shown stays too.
    auto* tips = form<TfrmTips>("frmTips");
    ASSERT_NE(tips, nullptr);
    Lang().SetFileName(VELTO_SOURCE_DIR "/lang/English.lng");
    tips->SetRandomSource([](int) { return 0; });
    tips->show();
    tips->NextClick();
    QShowEvent show;
    QSpontaneKeyEvent::setSpontaneous(&show);
    qApp->notify(tips, &show);
    EXPECT_EQ(tips->CurrentTip(), 2);
    tips->hide();
    Lang().SetFileName("");
}

// The guards of the tests themselves: a modal window that nothing closes
// fails the test and is closed, instead of waiting for ever.
TEST(ModalGuardTest, AModalWindowLeftOpenFailsTheTestInsteadOfHanging) {
    EnsureGuiApp();
    struct Row {
        const char* name;
        bool handler;       // OnNextModal armed
        bool closes;        // and its handler closes the window
        bool watchdog;
        int failures;
    };
    const Row rows[] = {
        {"closed by the handler", true, true, true, 0},
        {"handler leaves it open", true, false, false, 1},
        {"nothing armed, watchdog", false, false, true, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ::testing::TestPartResultArray results;
        int rc = -1;
        {
            ::testing::ScopedFakeTestPartResultReporter reporter(
                ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
            std::optional<ModalWatchdog> watchdog;
            if (row.watchdog) watchdog.emplace(300);
            if (row.handler)
                OnNextModal(
                    [closes = row.closes](QWidget* w) {
                        if (closes) qobject_cast<QDialog*>(w)->accept();
                    },
                    300);
            QDialog dialog;
            dialog.setObjectName(QStringLiteral("frmLeftOpen"));
            rc = dialog.exec();
        }
        EXPECT_EQ(results.size(), row.failures);
        EXPECT_EQ(rc, row.failures ? QDialog::Rejected : QDialog::Accepted);
        if (results.size() > 0) {
            EXPECT_NE(std::string(results.GetTestPartResult(0).message()).find("frmLeftOpen"), std::string::npos);
        }
    }
}

// The program keeps its windows and shows them again, often with no event
// in between; on a slow machine the showings of one window add up past the
// limit while each of them is short. Only a showing left open counts.
TEST(ModalGuardTest, AWindowShownAgainIsTimedAfreshByBothGuards) {
    EnsureGuiApp();
    ::testing::TestPartResultArray results;
    int accepted = 0;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        ModalWatchdog watchdog(300);
        QDialog dialog;
        dialog.setObjectName(QStringLiteral("frmKept"));
        // The first showing stays up long enough for the watchdog to see it.
        OnNextModal(
            [](QWidget* w) {
                QTest::qWait(150);
                qobject_cast<QDialog*>(w)->accept();
            },
            300);
        accepted += dialog.exec() == QDialog::Accepted;
        // A busy stretch without events, as under load, then the same window again.
        QThread::msleep(400);
        OnNextModal([](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); }, 300);
        accepted += dialog.exec() == QDialog::Accepted;
    }
    EXPECT_EQ(results.size(), 0);
    for (int i = 0; i < results.size(); ++i) ADD_FAILURE() << results.GetTestPartResult(i).message();
    EXPECT_EQ(accepted, 2);
}

}  // namespace
}  // namespace velto::test
