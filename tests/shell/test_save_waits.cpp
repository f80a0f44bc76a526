// What the main window shows while a save of its thread waits for a lock on
// the file that another open of it holds (another save's, or a reader's): a
// busy pointer, unless the save shows its own, and the wait in the status
// bar; after the wait, the pointer and the status as they were.
#include <QCursor>
#include <QLabel>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "DeskFixture.h"
#include "platform/FileWriter.h"
#include "platform/SaveLock.h"

namespace velto::test {
namespace {

// The pointer the whole program shows over its windows.
std::string Pointer() {
    const QCursor* c = QApplication::overrideCursor();
    return !c ? "none" : c->shape() == Qt::WaitCursor ? "busy" : "other";
}

class SaveWaitsTest : public DeskTest {
protected:
    void TearDown() override {
        // A pointer a failed row left busy must not outlive it.
        BusyCursorOff();
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
        DeskTest::TearDown();
    }
};

TEST_F(SaveWaitsTest, AWaitSaysWhatHoldsTheFileAndLeavesPointerAndStatusAsTheyWere) {
    const QString cursor = tempPath("held.cur");
    TmyIcon icon;
    icon.IsCursor = true;
    icon.AddImage({32, 32}, 32);
    ASSERT_TRUE(TmyIcoIO(false).SaveToFile(icon, cursor.toStdString(), false));
    TfrmDesk* desk = open(cursor);
    ASSERT_NE(desk, nullptr);
    const std::string other = tempPath("other.bin").toStdString();
    const std::vector<std::uint8_t> bytes(5000, 'n');
    ASSERT_TRUE(WriteWholeFile(other, bytes));
    auto* status = main->findChild<QLabel*>(QStringLiteral("StatusPanel0"));
    ASSERT_NE(status, nullptr);

    const QString forSave = "Waiting for another save of this file to end...",
                  forReader = "Waiting for a program reading this file to let it go...";
    const struct {
        const char* what;
        short lock;    // what another open of the file holds
        bool ownBusy;  // the work around the save shows a busy pointer of its own
        std::string file;
        std::function<bool()> save;
        QString waiting;
        const char* after;  // the pointer once the save returned
    } rows[] = {
        {"a save by rename", F_WRLCK, false, other, [&] { return WriteWholeFile(other, bytes); }, forSave, "none"},
        {"a save within busy work", F_WRLCK, true, other, [&] { return WriteWholeFile(other, bytes); }, forSave,
         "busy"},
        {"a write into the file itself", F_RDLCK, false, other,
         [&] {
             SaveLock lock;
             bool replaced = false;
             return lock.Take(other).ok() && lock.state() == LockState::Readers &&
                    lock.Exclusive(other, replaced).ok() && lock.held();
         },
         forReader, "none"},
        {"the Save command", F_WRLCK, false, cursor.toStdString(), [&] { return main->SaveDocument(desk); }, forSave,
         "none"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        status->setText(QStringLiteral("Ready"));
        const int holder = ::open(row.file.c_str(), (row.lock == F_WRLCK ? O_RDWR : O_RDONLY) | O_CLOEXEC);
        struct flock lock {};
        lock.l_type = row.lock;
        lock.l_whence = SEEK_SET;
        ASSERT_EQ(::fcntl(holder, F_OFD_SETLK, &lock), 0);
        // The wait lets the windows draw: what they show then is seen, and the
        // lock let go, which ends the wait.
        std::string seenPointer;
        QString seenStatus;
        QTimer meanwhile;
        meanwhile.setSingleShot(true);
        QObject::connect(&meanwhile, &QTimer::timeout, [&] {
            seenPointer = Pointer();
            seenStatus = status->text();
            ::close(holder);
        });
        meanwhile.start(0);
        if (row.ownBusy) BusyCursorOn();
        EXPECT_TRUE(row.save());
        if (meanwhile.isActive()) ::close(holder);  // (it did not wait)
        EXPECT_EQ(seenPointer, "busy");
        EXPECT_EQ(seenStatus, row.waiting);
        EXPECT_EQ(Pointer(), row.after);
        EXPECT_EQ(status->text(), "Ready");
        if (row.ownBusy) BusyCursorOff();
        EXPECT_EQ(Pointer(), "none") << "the pointer of the work around the save is that work's to take off";
    }
}

}  // namespace
}  // namespace velto::test
