// The custom controls: ranges, bounding, the mapping between value and
// pixels, the coupling of slider and number box, and which events fire.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "DialogsTestSupport.h"
#include "dialogs/InfiniteProgressBar.h"
#include "dialogs/MyScroll.h"
#include "dialogs/NumberBox.h"
#include "dialogs/RichEditURL.h"
#include "dialogs/Scroll2D.h"
#include "dialogs/SliderComposite.h"

namespace velto::test {
namespace {

// ---------------------------------------------------------------- TmyScroll

class MyScrollTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGuiApp();
        host.resize(200, 50);
        scroll = new TmyScroll(&host);
        scroll->setGeometry(0, 0, 100, 10);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    }
    QWidget host;
    TmyScroll* scroll = nullptr;
};

TEST_F(MyScrollTest, ThumbPlacement) {
    struct Row {
        const char* name;
        int width, max, position, left;
    };
    const Row rows[] = {
        {"half of 100 on a 100-pixel track", 100, 100, 50, 41},  // 50·83 div 100
        {"zero sits at 1", 100, 100, 0, 1},
        {"a left of 0 becomes 1", 100, 100, 1, 1},
        {"the end", 100, 100, 100, 83},
        {"Max 255", 130, 255, 128, 56},  // 128·113 div 255
        {"no range keeps the thumb at the start", 100, 0, 0, 1},
        {"a track shorter than the thumb", 10, 100, 50, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        scroll->resize(r.width, 10);
        scroll->SetPosition(0);
        scroll->SetMax(r.max);
        scroll->SetPosition(r.position);
        EXPECT_EQ(scroll->Thumb()->x(), r.left);
    }
}

TEST_F(MyScrollTest, PositionIsBoundedAndReportedOnlyWhenItDiffers) {
    QSignalSpy changed(scroll, &TmyScroll::changed);
    scroll->SetMin(10);
    scroll->SetPosition(5);
    EXPECT_EQ(scroll->Position(), 10);
    scroll->SetPosition(500);
    EXPECT_EQ(scroll->Position(), 100);
    scroll->SetPosition(100);
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(MyScrollTest, TrackPressesMapOntoTheRange) {
    // 100 wide, thumb 16: under half a thumb from either end gives the end.
    struct Row {
        const char* name;
        int x, position;
    };
    const Row rows[] = {
        {"near the start", 3, 0},
        {"the middle", 50, 50},  // (50 - 8)·100 div 84
        {"near the end", 95, 100},
        {"a quarter", 29, 25},  // 21·100 div 84
    };
    scroll->SetPosition(100);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_FALSE(scroll->Thumb()->geometry().contains(r.x, 5)) << "the press must miss the thumb";
        QTest::mouseClick(scroll, Qt::LeftButton, {}, QPoint(r.x, 5));
        EXPECT_EQ(scroll->Position(), r.position);
    }
}

TEST_F(MyScrollTest, APressReportsBeforeTheValueMoves) {
    int seen = -1;
    QObject::connect(scroll, &TmyScroll::pressed, [&] { seen = scroll->Position(); });
    QSignalSpy released(scroll, &TmyScroll::released);
    QTest::mousePress(scroll, Qt::LeftButton, {}, QPoint(50, 5));
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(scroll->Position(), 50);
    QTest::mouseRelease(scroll, Qt::LeftButton, {}, QPoint(50, 5));
    EXPECT_EQ(released.count(), 1);
}

TEST_F(MyScrollTest, DraggingTheThumb) {
    QSignalSpy changed(scroll, &TmyScroll::changed);
    QTest::mousePress(scroll, Qt::LeftButton, {}, QPoint(5, 5));  // grabbed 4 pixels into the thumb
    ASSERT_TRUE(scroll->Dragging());
    EXPECT_EQ(scroll->Position(), 0) << "a press on the thumb does not move it";
    struct Step {
        const char* name;
        int x, left, position;
    };
    const Step steps[] = {
        {"right", 45, 41, 48},       // (41 - 1)·100 div 82
        {"past the end", 300, 83, 100},
        {"past the start", -50, 1, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        QTest::mouseMove(scroll, QPoint(s.x, 5));
        EXPECT_EQ(scroll->Thumb()->x(), s.left);
        EXPECT_EQ(scroll->Position(), s.position);
    }
    EXPECT_EQ(changed.count(), 3);
    QTest::mouseRelease(scroll, Qt::LeftButton, {}, QPoint(1, 5));
    EXPECT_FALSE(scroll->Dragging());
}

TEST_F(MyScrollTest, DraggingWithNoRoomForTheThumbDoesNotDivideByZero) {
    scroll->resize(18, 10);  // width - 2 - thumb = 0
    QTest::mousePress(scroll, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(scroll, QPoint(15, 5));
    EXPECT_EQ(scroll->Position(), 0);
}

// ---------------------------------------------------------------- the composites

struct CompositeKind {
    const char* name;
    std::function<TSliderComposite*(QWidget*)> make;
    int defaultMax;
    std::function<int(TSliderComposite*)> inner;
};

void PrintTo(const CompositeKind& k, std::ostream* os) { *os << k.name; }

const CompositeKind kKinds[] = {
    {"AdvancedScroll", [](QWidget* p) { return new TAdvancedScroll(p); }, 100,
     [](TSliderComposite* c) { return static_cast<TAdvancedScroll*>(c)->Slider()->Position(); }},
    {"AdvancedTrackBar", [](QWidget* p) { return new TAdvancedTrackBar(p); }, 10,
     [](TSliderComposite* c) { return static_cast<TAdvancedTrackBar*>(c)->TrackBar()->value(); }},
};

class CompositeTest : public ::testing::TestWithParam<CompositeKind> {
public:
    void SetUp() override {
        EnsureGuiApp();
        host.resize(300, 40);
        c = GetParam().make(&host);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    }
    void type(const QString& keys) {
        c->NumberBox()->selectAll();
        QTest::keyClicks(c->NumberBox(), keys);
    }
    QWidget host;
    TSliderComposite* c = nullptr;
};

TEST_P(CompositeTest, StartsAtItsDefaults) {
    EXPECT_EQ(c->Min(), 0);
    EXPECT_EQ(c->Max(), GetParam().defaultMax);
    EXPECT_EQ(c->Position(), 0);
    EXPECT_EQ(c->NumberBox()->text(), "0");
}

TEST_P(CompositeTest, BoxSliderAndPositionStayInStep) {
    struct Row {
        const char* name;
        int min, max;
        std::function<void(CompositeTest&)> act;
        int position;
        QString text;
    };
    const Row rows[] = {
        {"typed 300 shows the maximum", 0, 255, [](CompositeTest& t) { t.type("300"); }, 255, "255"},
        {"Position -5 stores the minimum", 0, 255, [](CompositeTest& t) { t.c->SetPosition(-5); }, 0, "0"},
        {"a minus is dropped when nothing is negative", 0, 255, [](CompositeTest& t) { t.type("-5"); }, 5, "5"},
        {"a leading minus where negatives exist", -100, 100, [](CompositeTest& t) { t.type("-5"); }, -5, "-5"},
        {"a minus after a digit is dropped", -100, 100, [](CompositeTest& t) { t.type("5-"); }, 5, "5"},
        {"typed -300 shows the minimum", -100, 100, [](CompositeTest& t) { t.type("-300"); }, -100, "-100"},
        {"letters are dropped", 0, 255, [](CompositeTest& t) { t.type("1a2"); }, 12, "12"},
        {"pasted words change nothing", 0, 255, [](CompositeTest& t) { t.c->NumberBox()->setText("abc"); }, 7, "abc"},
        {"a lone minus changes nothing", -100, 100, [](CompositeTest& t) { t.c->NumberBox()->setText("-"); }, 7, "-"},
        {"eleven digits give the maximum", 0, 255,
         [](CompositeTest& t) { t.c->NumberBox()->setText("99999999999"); }, 255, "255"},
        {"a number too long for any integer", -100, 100,
         [](CompositeTest& t) { t.c->NumberBox()->setText("-99999999999999999999999"); }, -100, "-100"},
        {"code moves slider and box", 0, 255, [](CompositeTest& t) { t.c->SetPosition(77); }, 77, "77"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        c->SetMin(-1000);
        c->SetMax(r.max);
        c->SetMin(r.min);
        c->SetPosition(0);
        c->SetPosition(7);
        ASSERT_EQ(c->NumberBox()->text(), "7");
        r.act(*this);
        EXPECT_EQ(c->Position(), r.position);
        EXPECT_EQ(c->NumberBox()->text(), r.text);
        if (r.text.toInt() == r.position) {
            EXPECT_EQ(GetParam().inner(c), r.position);
        }
    }
}

TEST_P(CompositeTest, RangeSettersRefuseAnEmptyRange) {
    c->SetMax(50);
    c->SetMin(50);
    EXPECT_EQ(c->Min(), 0);
    c->SetMax(-1);
    EXPECT_EQ(c->Max(), 50);
    c->SetMin(-20);
    c->SetMax(-20);
    EXPECT_EQ(c->Min(), -20);
    EXPECT_EQ(c->Max(), 50);
}

TEST_P(CompositeTest, EveryChangeReportsOnce) {
    c->SetMax(255);
    QSignalSpy changed(c, &TSliderComposite::changed);
    c->SetPosition(10);
    EXPECT_EQ(changed.count(), 1) << "a change from code";
    c->SetPosition(10);
    EXPECT_EQ(changed.count(), 1) << "the same value";
    type("42");
    EXPECT_EQ(c->Position(), 42);
    // Typing "4" then "2" moves twice (4, then 42); replacing "10" by "4" is one.
    EXPECT_EQ(changed.count(), 3) << "typed";
}

TEST_P(CompositeTest, AClickSelectsTheWholeNumber) {
    c->SetPosition(8);
    QTest::mouseClick(c->NumberBox(), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(c->NumberBox()->selectedText(), "8");
}

INSTANTIATE_TEST_SUITE_P(Kinds, CompositeTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AdvancedScroll, BracketsEachChangeWithStartAndEnd) {
    EnsureGuiApp();
    QWidget host;
    auto* s = new TAdvancedScroll(&host);
    s->SetMax(255);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    std::vector<std::string> log;
    QObject::connect(s, &TAdvancedScroll::startChange, [&] { log.push_back("start@" + std::to_string(s->Position())); });
    QObject::connect(s, &TAdvancedScroll::endChange, [&] { log.push_back("end@" + std::to_string(s->Position())); });
    QTest::mouseClick(s->Slider(), Qt::LeftButton, {}, QPoint(65, 5));  // (65 - 8)·255 div 114
    s->NumberBox()->selectAll();
    QTest::keyClick(s->NumberBox(), Qt::Key_9);
    EXPECT_EQ((std::vector<std::string>{"start@0", "end@127", "start@127", "end@9"}), log);
}

TEST(AdvancedScroll, TheSliderStretchesAndTheBoxKeepsRight) {
    EnsureGuiApp();
    TAdvancedScroll s;
    EXPECT_EQ(s.size(), QSize(160, 24));
    s.show();
    s.resize(200, 24);
    EXPECT_EQ(s.Slider()->width(), 170);
    EXPECT_EQ(s.NumberBox()->x(), 175);
}

TEST(ParseBoundedInt, Texts) {
    struct Row {
        const char* text;
        std::optional<int> value;
    };
    const Row rows[] = {
        {"", {}}, {"-", {}}, {"1-2", {}}, {"12a", {}}, {" 5", {}}, {"５", {}},
        {"0", 0}, {"007", 7}, {"-5", -5}, {"300", 255}, {"-300", -100},
        {"2147483648", 255}, {"-99999999999999999999", -100},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(ParseBoundedInt(QString::fromUtf8(r.text), -100, 255), r.value);
    }
}

// ---------------------------------------------------------------- TScroll2D

class Scroll2DTest : public ::testing::Test {
protected:
    void SetUp() override {
        pad.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pad));
    }
    // A press and release at pos, (0, 0) included (QTest takes a null point
    // for the centre).
    void click(QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
        for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(t, QPointF(pos), pad.mapToGlobal(QPointF(pos)), button,
                          t == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(&pad, &e);
        }
    }
    TScroll2D pad;
};

TEST_F(Scroll2DTest, OriginAndKnobFollowRangesAndPositions) {
    EXPECT_EQ(pad.size(), QSize(150, 74));
    struct Row {
        const char* name;
        std::function<void(TScroll2D&)> act;
        int originX, originY, knobX, knobY;
    };
    const Row rows[] = {
        {"defaults", [](TScroll2D&) {}, 75, 37, 75, 37},
        {"a position outside the range is ignored", [](TScroll2D& p) { p.SetPositionX(60); }, 75, 37, 75, 37},
        {"X 20", [](TScroll2D& p) { p.SetPositionX(20); }, 75, 37, 105, 37},
        {"Y -10", [](TScroll2D& p) { p.SetPositionY(-10); }, 75, 37, 105, 30},
        {"the shadow dialog's ranges", [](TScroll2D& p) {
             p.SetMinX(-21); p.SetMaxX(20); p.SetMinY(-10); p.SetMaxY(10);
         }, 76, 37, 149, 0},
        {"an empty X span is refused", [](TScroll2D& p) { p.SetMaxX(-21); }, 76, 37, 149, 0},
        {"an empty Y span is refused", [](TScroll2D& p) { p.SetMinY(10); }, 76, 37, 149, 0},
        {"an empty span from the other end", [](TScroll2D& p) { p.SetMinX(20); p.SetMaxY(-10); }, 76, 37, 149, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        r.act(pad);
        EXPECT_EQ(pad.OriginX(), r.originX);
        EXPECT_EQ(pad.OriginY(), r.originY);
        EXPECT_EQ(pad.KnobX(), r.knobX);
        EXPECT_EQ(pad.KnobY(), r.knobY);
    }
}

TEST_F(Scroll2DTest, TheMouseMovesTheKnobInsideTheRanges) {
    QSignalSpy changed(&pad, &TScroll2D::changed);
    struct Row {
        const char* name;
        QPoint at;
        int x, y;
    };
    const Row rows[] = {
        {"top left", {0, 0}, -50, -50},
        {"bottom right", {150, 74}, 50, 50},
        {"off the pad", {400, -30}, 50, -50},
        {"centre", {75, 37}, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        click(r.at);
        EXPECT_EQ(pad.PositionX(), r.x);
        EXPECT_EQ(pad.PositionY(), r.y);
    }
    EXPECT_EQ(changed.count(), 4);
    click({75, 37});
    EXPECT_EQ(changed.count(), 4) << "the same values";

    pad.SetPositionX(20);
    pad.SetPositionY(-20);
    click({10, 10}, Qt::RightButton);
    EXPECT_EQ(pad.PositionX(), 0);
    EXPECT_EQ(pad.PositionY(), 0);
}

TEST_F(Scroll2DTest, ARangeAboveZeroStaysInsideAtTheEdges) {
    pad.SetMaxX(4);
    pad.SetMinX(1);
    pad.SetMaxY(9);
    pad.SetMinY(3);
    for (QPoint at : {QPoint(0, 0), QPoint(150, 74), QPoint(1, 73)}) {
        click(at);
        EXPECT_GE(pad.PositionX(), 1);
        EXPECT_LE(pad.PositionX(), 4);
        EXPECT_GE(pad.PositionY(), 3);
        EXPECT_LE(pad.PositionY(), 9);
    }
    // Back to the centre means the range's start when it is above 0.
    click({10, 10}, Qt::RightButton);
    EXPECT_EQ(pad.PositionX(), 1);
    EXPECT_EQ(pad.PositionY(), 3);
}

TEST_F(Scroll2DTest, PaintsKnobAxesAndText) {
    pad.SetPositionX(20);
    pad.SetShowText(true);
    const QImage img = pad.grab().toImage();
    EXPECT_EQ(QColor(img.pixel(10, 37)), QColor(Qt::black)) << "horizontal axis";
    EXPECT_EQ(QColor(img.pixel(75, 60)), QColor(Qt::black)) << "vertical axis";
    EXPECT_EQ(QColor(img.pixel(105, 31)), QColor(Qt::black)) << "top of the knob";
    EXPECT_EQ(QColor(img.pixel(40, 60)), QColor(Qt::white));
}

// ---------------------------------------------------------------- busy bar and link text

TEST(InfiniteProgressBar, OwnsATimerOnlyWhileAnimating) {
    EnsureGuiApp();
    TInfiniteProgressBar bar;
    EXPECT_EQ(bar.Interval(), 500);
    EXPECT_FALSE(bar.Animate());
    EXPECT_EQ(bar.Timer(), nullptr);
    EXPECT_TRUE(bar.findChildren<QTimer*>().isEmpty());
    bar.SetAnimate(true);
    ASSERT_NE(bar.Timer(), nullptr);
    EXPECT_EQ(bar.Timer()->interval(), 500);
    EXPECT_TRUE(bar.Timer()->isActive());
    EXPECT_EQ(bar.maximum(), 0) << "the busy form of the bar";
    bar.SetInterval(100);
    EXPECT_EQ(bar.Timer()->interval(), 100);
    bar.SetAnimate(false);
    EXPECT_EQ(bar.Timer(), nullptr);
    EXPECT_TRUE(bar.findChildren<QTimer*>().isEmpty());
    EXPECT_GT(bar.maximum(), 0);
}

TEST(RichEditURL, FindsAddressesInText) {
    struct Row {
        const char* line;
        QStringList urls;
    };
    const Row rows[] = {
        {"no address here", {}},
        {"Web: http://example.org/x?y=1.", {"http://example.org/x?y=1"}},
        {"see www.example.com, or mailto:a@b.c", {"www.example.com", "mailto:a@b.c"}},
        {"(https://a.b/c) and ftp://f.g", {"https://a.b/c", "ftp://f.g"}},
        {"a lone www. is none", {}},
        {"\tAuthor: Anonymous", {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        EXPECT_EQ(FindUrls(QString::fromUtf8(r.line)), r.urls);
    }
}

TEST(RichEditURL, LinksAreShownAndReportTheirAddress) {
    EnsureGuiApp();
    TRichEditURL edit;
    edit.SetLines({"Thanks to", "\tWeb: http://example.org/a&b", "<b>not bold</b>"});
    edit.SetLine(4, "www.example.com");
    EXPECT_EQ(edit.Lines().size(), 5);
    const QString html = edit.toHtml();
    EXPECT_TRUE(html.contains("href=\"http://example.org/a&amp;b\"")) << html.toStdString();
    EXPECT_TRUE(html.contains("href=\"www.example.com\""));
    EXPECT_TRUE(edit.toPlainText().contains("<b>not bold</b>")) << "text stays text";
    QSignalSpy clicked(&edit, &TRichEditURL::urlClicked);
    emit edit.anchorClicked(QUrl("http://example.org/a&b"));
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toString(), "http://example.org/a&b");
}

}  // namespace
}  // namespace velto::test
