// Screen capture on a real X server (Xvfb): the area under a window painted
// with known colours reads back as exactly those pixels, the part beyond the
// screen as black; the capture frame keeps its bottom-right pixel under the
// mouse, shows only its one-pixel outline, and a click there gives its place.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "XvfbSession.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "dialogs/Dialogs.h"
#include "dialogs/FormCapture.h"
#include "dialogs/FormNewImage.h"
#include "shell/Desk.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"

#include <QTemporaryDir>

using namespace velto;

namespace {

constexpr int kDeadlineMs = 20000;  // bounds a real failure only

QRgb PatternAt(int x, int y) { return qRgb((x * 7) & 255, (y * 11) & 255, (x + y) & 255); }

// A borderless window at a fixed place, each pixel the pattern's.
class Painted : public QWidget {
public:
    Painted() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint) {}
    bool painted = false;

protected:
    void paintEvent(QPaintEvent*) override {
        QImage img(size(), QImage::Format_RGB32);
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x) img.setPixel(x, y, PatternAt(x, y));
        QPainter(this).drawImage(0, 0, img);
        painted = true;
    }
};

class CapturePeer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty()) {
            skip_ = "Xvfb is not installed";
            return;
        }
        static char name[] = "test_dialogs_capture_peer";
        velto::test::StartXvfbApplication(server_, app_, skip_, name, kDeadlineMs);
    }
    static void TearDownTestSuite() { velto::test::StopXvfbApplication(server_, app_); }
    void SetUp() override {
        if (!app_) GTEST_SKIP() << skip_;
    }

    // The pattern window at (x, y), shown and painted.
    static std::unique_ptr<Painted> ShowPattern(int x, int y, int w, int h) {
        auto win = std::make_unique<Painted>();
        win->setGeometry(x, y, w, h);
        win->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(win.get()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return win->painted; }, kDeadlineMs));
        return win;
    }

    // The number of pixels of the grab at (x, y) that differ from want(x, y),
    // once the screen shows them (the server draws after the program paints).
    template <class Want>
    static int Mismatches(QPoint at, ImageSize size, Want want) {
        int bad = -1;
        (void)QTest::qWaitFor(
            [&] {
                const std::optional<TmyImage> shot = GrabScreenRect(at, size);
                if (!shot) return false;
                EXPECT_EQ(shot->Size(), size);
                bad = 0;
                for (int y = 0; y < size.Height; ++y)
                    for (int x = 0; x < size.Width; ++x) {
                        const TmyPixel p = shot->At(x, y);
                        if (qRgb(p.R, p.G, p.B) != want(x, y) || p.A != 255) ++bad;
                    }
                return bad == 0;
            },
            kDeadlineMs);
        return bad;
    }

    static inline QProcess* server_ = nullptr;
    static inline QApplication* app_ = nullptr;
    static inline const char* skip_ = "";
};

TEST_F(CapturePeer, TheAreaUnderAPaintedWindowReadsBackExactly) {
    ASSERT_TRUE(ScreenCaptureAvailable());
    const auto win = ShowPattern(100, 80, 40, 30);
    EXPECT_EQ(Mismatches({100, 80}, {40, 30}, PatternAt), 0);
    // A part of it: the pattern from that pixel on.
    EXPECT_EQ(Mismatches({110, 85}, {7, 5}, [](int x, int y) { return PatternAt(x + 10, y + 5); }), 0);
}

// Run with QT_SCALE_FACTOR=2 (its own CTest entry): a window pixel is 2 x 2
// screen pixels; a grab still gives exactly the screen pixels asked for, and
// the frame covers that many screen pixels.
TEST_F(CapturePeer, ScaledScreenStillGivesExactlyTheScreenPixels) {
    if (qEnvironmentVariable("QT_SCALE_FACTOR") != QLatin1String("2")) GTEST_SKIP() << "needs QT_SCALE_FACTOR=2";
    const auto win = ShowPattern(100, 80, 40, 30);
    ASSERT_EQ(win->devicePixelRatioF(), 2.0);
    EXPECT_EQ(Mismatches({100, 80}, {40, 30}, [](int x, int y) { return PatternAt(x / 2, y / 2); }), 0);
    EXPECT_EQ(Mismatches({100, 80}, {33, 7}, [](int x, int y) { return PatternAt(x / 2, y / 2); }), 0);
    TfrmCapture frame;
    frame.SetArea({33, 32});
    EXPECT_EQ(frame.size(), QSize(17, 16));
}

TEST_F(CapturePeer, WhatLiesBeyondTheScreenIsBlack) {
    const auto win = ShowPattern(620, 470, 20, 10);
    EXPECT_EQ(Mismatches({630, 475}, {16, 12}, [](int x, int y) {
                  return x < 10 && y < 5 ? PatternAt(x + 10, y + 5) : qRgb(0, 0, 0);
              }),
              0);
}

TEST_F(CapturePeer, TheFrameFollowsTheMouseAndShowsOnlyItsOutline) {
    const auto win = ShowPattern(150, 100, 80, 80);
    TfrmCapture frame;
    frame.SetArea({32, 32});
    EXPECT_EQ(frame.size(), QSize(32, 32));
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.Follow({200, 150});
    EXPECT_EQ(frame.pos(), QPoint(169, 119));
    EXPECT_TRUE(frame.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(frame.mask().contains(QPoint(31, 31)));
    EXPECT_FALSE(frame.mask().contains(QPoint(1, 1)));
    EXPECT_FALSE(frame.mask().contains(QPoint(30, 30)));
    // On the screen: a black outline, the window below inside it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.pos() == QPoint(169, 119) && frame.isVisible(); }, kDeadlineMs));
    EXPECT_EQ(Mismatches({169, 119}, {32, 32}, [](int x, int y) {
                  const bool edge = x == 0 || y == 0 || x == 31 || y == 31;
                  return edge ? qRgb(0, 0, 0) : PatternAt(x + 19, y + 19);
              }),
              0);
}

TEST_F(CapturePeer, AClickOnTheFrameGivesItsPlaceAndEscapeNothing) {
    QCursor::setPos(300, 200);
    ASSERT_TRUE(QTest::qWaitFor([] { return QCursor::pos() == QPoint(300, 200); }, kDeadlineMs));
    // The frame runs modally: the click comes once it sits under the mouse.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* frame = qobject_cast<TfrmCapture*>(QApplication::activeModalWidget());
        if (!frame || frame->pos() != QPoint(300 - 15, 200 - 11)) return;
        poll.stop();
        QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(15, 11));
    });
    poll.start(5);
    const std::optional<QPoint> at = RunCaptureFrame({16, 12});
    ASSERT_TRUE(at.has_value());
    EXPECT_EQ(*at, QPoint(285, 189));

    QTimer escape;
    QObject::connect(&escape, &QTimer::timeout, [&] {
        if (auto* frame = qobject_cast<TfrmCapture*>(QApplication::activeModalWidget())) {
            escape.stop();
            QTest::keyClick(frame, Qt::Key_Escape);
        }
    });
    escape.start(5);
    EXPECT_FALSE(RunCaptureFrame({16, 12}).has_value());
}

// The whole command on the display: the New Image window confirmed, the
// frame placed over a painted window by the mouse and clicked; the new
// document holds exactly the painted pixels, not the frame's outline.
TEST_F(CapturePeer, TheCaptureCommandTakesThePixelsUnderTheFrame) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
    CreateOptions(640, dir.filePath("config.cfg").toStdString());
    Options().ShowTips = false;
    Lang().SetFileName("");
    std::vector<std::string> messages;
    SetMessageSink([&](const MessageRequest& r) {
        messages.push_back(r.text);
        return int(idOK);
    });
    RegisterDialogs();
    {
        TfrmMain main;
        main.CreateForms();
        main.resize(400, 300);
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
        main.FirstActivation({});
        // The painted window over the main window, the mouse at the bottom-right
        // pixel of the 32 x 32 area at (300, 200).
        const auto win = ShowPattern(300, 200, 40, 40);
        win->raise();
        QCursor::setPos(331, 231);
        ASSERT_TRUE(QTest::qWaitFor([] { return QCursor::pos() == QPoint(331, 231); }, kDeadlineMs));
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* w = QApplication::activeModalWidget();
            if (auto* form = qobject_cast<TfrmNewImage*>(w)) {
                form->OKButton()->click();
            } else if (auto* frame = qobject_cast<TfrmCapture*>(w); frame && frame->pos() == QPoint(300, 200)) {
                poll.stop();
                QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(31, 31));
            }
        });
        poll.start(5);
        EXPECT_TRUE(main.CaptureToNewDocument());
        EXPECT_TRUE(messages.empty());
        auto* desk = qobject_cast<TfrmDesk*>(main.ActiveDesk());
        ASSERT_NE(desk, nullptr);
        const TmyImagePal& image = *desk->CurrentImage();
        ASSERT_EQ(image.Size(), (ImageSize{32, 32}));
        int bad = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const TmyPixel p = image.At(x, y);
                if (qRgb(p.R, p.G, p.B) != PatternAt(x, y) || p.A != 255) ++bad;
            }
        EXPECT_EQ(bad, 0);
        EXPECT_FALSE(main.isMinimized());
        main.CloseAllDocuments();
    }
    SetMessageSink(nullptr);
    FreeOptions();
}

}  // namespace
