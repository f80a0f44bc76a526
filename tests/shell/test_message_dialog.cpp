// The Qt message box behind ShowMessageBox: the layout chosen for each
// button set, the default and Escape answers, the caption of each kind, and
// the result codes callers compare with.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>

#include "shell/MessageDialog.h"
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

struct Seen {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Runs show() while a timer waits for the modal box, records it and acts on it.
int whileShown(const std::function<int()>& show, const std::function<void(QMessageBox*)>& act, Seen* seen = nullptr) {
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        timer.stop();
        if (seen) {
            seen->buttons = box->standardButtons();
            if (auto* d = box->defaultButton()) seen->defaultButton = box->standardButton(d);
            seen->caption = box->windowTitle();
            seen->text = box->text();
            seen->icon = box->icon();
        }
        act(box);
    });
    timer.start();
    return show();
}

void press(QMessageBox* box, Qt::Key key) { QTest::keyClick(box, key); }

class MessageDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        guiApp();
        previous_ = InstallQtMessageSink();
    }
    void TearDown() override { SetMessageSink(previous_); }
    MessageSink previous_;
};

}  // namespace

TEST_F(MessageDialogTest, LayoutDefaultAndEscapeForEveryButtonSet) {
    using B = QMessageBox;
    struct Case {
        std::uint16_t asked;
        QMessageBox::StandardButtons shown;
        QMessageBox::StandardButton first;
        int escape, enter;
    };
    const Case cases[] = {
        {mbOK, B::Ok, B::Ok, idOK, idOK},
        {mbOK | mbCancel, B::Ok | B::Cancel, B::Ok, idCancel, idOK},
        {mbYes | mbNo, B::Yes | B::No, B::Yes, idNo, idYes},
        {mbYes | mbNo | mbCancel, B::Yes | B::No | B::Cancel, B::Yes, idCancel, idYes},
        {mbAbort | mbRetry | mbIgnore, B::Abort | B::Retry | B::Ignore, B::Abort, idAbort, idAbort},
        {mbRetry | mbCancel, B::Retry | B::Cancel, B::Retry, idCancel, idRetry},
        // Sets no layout matches exactly fall back as the table says.
        {mbYes, B::Ok, B::Ok, idOK, idOK},
        {0, B::Ok, B::Ok, idOK, idOK},
        {mbAbort | mbRetry, B::Ok, B::Ok, idOK, idOK},
        {mbOK | mbYes | mbNo, B::Yes | B::No, B::Yes, idNo, idYes},
        {mbAbort | mbRetry | mbIgnore | mbOK, B::Ok, B::Ok, idOK, idOK},
        {mbRetry | mbCancel | mbYes | mbNo, B::Yes | B::No | B::Cancel, B::Yes, idCancel, idYes},
    };
    for (const Case& c : cases) {
        Seen seen;
        const int esc = whileShown([&] { return ShowMessageBox("Question?", mkConfirm, c.asked); },
                                   [](QMessageBox* b) { press(b, Qt::Key_Escape); }, &seen);
        EXPECT_EQ(esc, c.escape) << c.asked;
        EXPECT_EQ(seen.buttons, c.shown) << c.asked;
        EXPECT_EQ(seen.defaultButton, c.first) << c.asked;
        const int enter = whileShown([&] { return ShowMessageBox("Question?", mkConfirm, c.asked); },
                                     [](QMessageBox* b) { press(b, Qt::Key_Return); });
        EXPECT_EQ(enter, c.enter) << c.asked;
    }
}

TEST_F(MessageDialogTest, EveryButtonAnswersItsCode) {
    struct Click {
        std::uint16_t asked;
        QMessageBox::StandardButton button;
        int result;
    };
    const Click clicks[] = {
        {mbOK | mbCancel, QMessageBox::Ok, idOK},       {mbOK | mbCancel, QMessageBox::Cancel, idCancel},
        {mbAbort | mbRetry | mbIgnore, QMessageBox::Abort, idAbort},
        {mbAbort | mbRetry | mbIgnore, QMessageBox::Retry, idRetry},
        {mbAbort | mbRetry | mbIgnore, QMessageBox::Ignore, idIgnore},
        {mbYes | mbNo | mbCancel, QMessageBox::Yes, idYes},
        {mbYes | mbNo | mbCancel, QMessageBox::No, idNo},
    };
    for (const Click& c : clicks) {
        const int r = whileShown([&] { return ShowMessageBox("x", mkWarning, c.asked); },
                                 [&](QMessageBox* b) { b->button(c.button)->click(); });
        EXPECT_EQ(r, c.result);
    }
    EXPECT_EQ(MessageResultFor(QMessageBox::Save), mrNone);
    EXPECT_EQ(MessageResultFor(QMessageBox::NoButton), mrNone);
}

TEST_F(MessageDialogTest, CaptionByKindTextAsGivenNoIcon) {
    const struct {
        int kind;
        const char* caption;
    } kinds[] = {{mkWarning, "Warning"}, {mkError, "Error"},   {mkInformation, "Information"},
                 {mkConfirm, "Confirm"}, {mkCustom, "Custom"}, {9, ""}};
    for (const auto& k : kinds) {
        Seen seen;
        // Names from the file system may hold markup characters: shown as typed.
        whileShown([&] { return ShowMessageBox("The file <b>x&y.cur</b> does not exist!", k.kind, mbOK); },
                   [](QMessageBox* b) { press(b, Qt::Key_Escape); }, &seen);
        EXPECT_EQ(seen.caption, QString(k.caption)) << k.kind;
        EXPECT_EQ(seen.text, "The file <b>x&y.cur</b> does not exist!");
        EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    }
    MessageRequest r;
    r.text = "plain";
    auto box = CreateMessageDialog(r, nullptr);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
}

TEST_F(MessageDialogTest, OwnerClosedWhileTheBoxIsOpen) {
    auto* owner = new QWidget;
    owner->show();
    owner->activateWindow();
    QApplication::setActiveWindow(owner);
    const int r = whileShown([&] { return ShowMessageBox("x", mkWarning, mbYes | mbNo); },
                             [&](QMessageBox* b) {
                                 if (b->parentWidget() == owner) delete owner;
                                 else {
                                     delete owner;
                                     press(b, Qt::Key_Escape);
                                 }
                             });
    // Deleting the owner takes the box with it: no answer, no crash.
    EXPECT_TRUE(r == mrNone || r == idNo);
}
