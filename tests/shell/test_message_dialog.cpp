// The Qt message box behind ShowMessageBox: the layout for each button set,
// the Enter and Escape answers, the caption of each kind, and the codes.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <mutex>
#include <thread>

#include "shell/MessageDialog.h"
#include "GuiTestApp.h"

using namespace velto;

namespace {

struct Seen {
    QMessageBox::StandardButtons buttons;
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class MessageDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureGuiApp();
        previous_ = InstallQtMessageSink();
    }
    void TearDown() override { SetMessageSink(previous_); }

    // Shows the box; once it is up, records it and acts on it.
    int show(const std::string& text, int kind, std::uint16_t buttons, const std::function<void(QMessageBox*)>& act) {
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            timer.stop();
            seen = {box->standardButtons(), box->windowTitle(), box->text(), box->icon()};
            act(box);
        });
        timer.start(5);
        return ShowMessageBox(text, kind, buttons);
    }
    static std::function<void(QMessageBox*)> key(Qt::Key k) {
        return [k](QMessageBox* b) { QTest::keyClick(b, k); };
    }

    Seen seen;
    MessageSink previous_;
};

}  // namespace

TEST_F(MessageDialogTest, LayoutFirstButtonOnEnterAndEscapeForEachButtonSet) {
    using B = QMessageBox;
    const struct {
        const char* name;
        std::uint16_t asked;
        QMessageBox::StandardButtons shown;
        int enter, escape;
    } cases[] = {
        {"OK", mbOK, B::Ok, idOK, idOK},
        {"OK Cancel", mbOK | mbCancel, B::Ok | B::Cancel, idOK, idCancel},
        {"Yes No", mbYes | mbNo, B::Yes | B::No, idYes, idNo},
        {"Yes No Cancel", mbYes | mbNo | mbCancel, B::Yes | B::No | B::Cancel, idYes, idCancel},
        {"Abort Retry Ignore", mbAbort | mbRetry | mbIgnore, B::Abort | B::Retry | B::Ignore, idAbort, idAbort},
        {"Retry Cancel", mbRetry | mbCancel, B::Retry | B::Cancel, idRetry, idCancel},
        {"Yes alone", mbYes, B::Ok, idOK, idOK},  // the layout chosen, not the set asked for
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(show("Q?", mkConfirm, c.asked, key(Qt::Key_Escape)), c.escape);
        EXPECT_EQ(seen.buttons, c.shown);
        EXPECT_EQ(show("Q?", mkConfirm, c.asked, key(Qt::Key_Return)), c.enter);
    }
    const auto click = [](QMessageBox::StandardButton b) { return [b](QMessageBox* box) { box->button(b)->click(); }; };
    EXPECT_EQ(show("Q?", mkWarning, mbAbort | mbRetry | mbIgnore, click(QMessageBox::Ignore)), idIgnore);
    EXPECT_EQ(show("Q?", mkWarning, mbAbort | mbRetry | mbIgnore, click(QMessageBox::Retry)), idRetry);
    EXPECT_EQ(show("Q?", mkWarning, mbYes | mbNo | mbCancel, click(QMessageBox::No)), idNo);
}

TEST_F(MessageDialogTest, CaptionOfTheKindTextAsTypedNoIcon) {
    // File names may hold markup characters: they are shown as typed.
    show("The file <b>x&y.cur</b> does not exist!", mkInformation, mbOK, key(Qt::Key_Escape));
    EXPECT_EQ(seen.caption, "Information");
    EXPECT_EQ(seen.text, "The file <b>x&y.cur</b> does not exist!");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(CreateMessageDialog({}, nullptr)->textFormat(), Qt::PlainText);
}

namespace {
// Qt's log while a test runs, kept instead of printed.
std::mutex logMutex;
QStringList logged;
void KeepLog(QtMsgType, const QMessageLogContext&, const QString& text) {
    std::lock_guard lock(logMutex);
    logged << text;
}
}  // namespace

TEST_F(MessageDialogTest, ABoxAskedFromAWorkerThreadIsRefusedAndLoggedNotBuilt) {
    {
        std::lock_guard lock(logMutex);
        logged.clear();
    }
    const QtMessageHandler before = qInstallMessageHandler(KeepLog);
    int answer = -1;
    // A yes/no question too: the refusal must never read as a yes.
    std::thread worker([&] {
        answer = ShowMessageBox("Unknown images in x.icns", mkWarning, mbOK);
        if (answer == 0) answer = ShowMessageBox("Replace?", mkConfirm, mbYes | mbNo) == idYes ? 99 : 0;
    });
    worker.join();
    qInstallMessageHandler(before);
    EXPECT_EQ(answer, mrNone);
    for (QWidget* w : QApplication::allWidgets()) EXPECT_EQ(qobject_cast<QMessageBox*>(w), nullptr);
    std::lock_guard lock(logMutex);
    ASSERT_EQ(logged.size(), 2);
    EXPECT_TRUE(logged[0].contains("Unknown images in x.icns")) << logged[0].toStdString();
    EXPECT_TRUE(logged[1].contains("Replace?"));

    // The GUI thread still gets its box.
    EXPECT_EQ(show("Q?", mkConfirm, mbYes | mbNo, key(Qt::Key_Return)), idYes);
}
