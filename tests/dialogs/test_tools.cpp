// The tool palette, the text window and the hotspot window in the program:
// buttons and option panels following the tools, the colour panel's calls,
// the size rule of the text window and the text it draws, the hotspot
// window's bounds and its Find button, and their English texts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>
#include <map>
#include <set>
#include <utility>

#include "DialogsTestSupport.h"
#include "core/Language.h"
#include "dialogs/Dialogs.h"
#include "dialogs/FormColors.h"
#include "dialogs/FormHotspot.h"
#include "dialogs/FormText.h"
#include "dialogs/FormTools.h"
#include "dialogs/QuestionDialogs.h"
#include "imagingqt/PngQt.h"
#include "imagingqt/PngSpeedButton.h"
#include "model/IcoIO.h"
#include "platform/IniFile.h"
#include "shell/Desk.h"
#include "shell/MainWindow.h"
#include "shell/PaneFrame.h"
#include "shell/ToolController.h"
#include "shell/Translator.h"

namespace velto::test {
namespace {

// A floating selection that keeps what it is given.
struct KeepingSelection : TSelectionAccess {
    std::optional<TmyImagePal> pixels;
    int x = 0, y = 0;
    bool Float(TmyImagePal&& p, int px, int py) override {
        pixels.emplace(std::move(p));
        x = px;
        y = py;
        return true;
    }
};

// Runs f on the modal window that opens next, then lets it go on.
void OnNextModal(std::function<void(QWidget*)> f) {
    QTimer::singleShot(0, [f = std::move(f)] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr);
        f(w);
    });
}

class ToolWindowsTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        main->SetSelection(&selection);
    }
    TfrmTools* palette() const { return qobject_cast<TfrmTools*>(main->Forms().Pane(dsTools)->Content()); }
    TfrmColors* colors() const { return qobject_cast<TfrmColors*>(main->Forms().Pane(dsColors)->Content()); }
    TfrmText* textWindow() const { return qobject_cast<TfrmText*>(main->Forms().Form("frmText")); }
    TfrmHotspot* hotspotWindow() const { return qobject_cast<TfrmHotspot*>(main->Forms().Form("frmHotspot")); }
    TToolController& tools() const { return main->Tools(); }
    std::vector<int> visiblePanels() const {
        std::vector<int> v;
        for (int n = 1; n <= 4; ++n)
            if (!palette()->OptionPanel(n)->isHidden()) v.push_back(n);
        return v;
    }
    static void Click(TfrmDesk* d, int x, int y, Qt::MouseButton b = Qt::LeftButton) {
        const TCanvasGeometry g = d->CanvasGeometry();
        const QPointF at(x * g.zoom - g.hpos + g.zoom / 2, y * g.zoom - g.vpos + g.zoom / 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, d->CanvasImage()->mapToGlobal(at), b, b, Qt::NoModifier);
        QApplication::sendEvent(d->CanvasImage(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, d->CanvasImage()->mapToGlobal(at), b, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(d->CanvasImage(), &release);
    }

    KeepingSelection selection;
};

// ---------------------------------------------------------------- the palette

TEST_F(ToolWindowsTest, ThePaletteShowsTheToolAndItsOptions) {
    ASSERT_NE(palette(), nullptr);
    EXPECT_EQ(tools().Palette(), palette());
    EXPECT_EQ(palette()->size(), QSize(TfrmTools::kWidth, TfrmTools::kHeight));
    EXPECT_TRUE(palette()->ToolButton(TToolId::Pencil)->isChecked());
    EXPECT_TRUE(visiblePanels().empty());
    EXPECT_TRUE(palette()->SizeButton(1)->isChecked());
    EXPECT_TRUE(palette()->ShapeButton(1)->isChecked());
    EXPECT_EQ(palette()->ToolButton(TToolId::Ellipse)->toolTip(), "Ellypse (Z)");
    struct Row {
        TToolId tool;
        std::vector<int> panels;
    };
    const Row rows[] = {
        {TToolId::Spray, {1}},        {TToolId::Gradient, {4}},  {TToolId::Brush, {1, 2}},
        {TToolId::Hotspot, {1, 2}},   {TToolId::Rectangle, {1, 3}}, {TToolId::Fill, {}},
        {TToolId::Line, {1, 2}},      {TToolId::Selection, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.tool));
        if (r.tool == TToolId::Hotspot) tools().SetTool(r.tool);  // no button: chosen by the hotspot window
        else palette()->ToolButton(r.tool)->click();
        EXPECT_EQ(tools().State().ToolId, r.tool);
        EXPECT_EQ(visiblePanels(), r.panels);
    }
    // The picker's button again keeps the tool the picker goes back to.
    palette()->ToolButton(TToolId::Brush)->click();
    palette()->ToolButton(TToolId::Picker)->click();
    palette()->ToolButton(TToolId::Picker)->click();
    EXPECT_EQ(tools().State().PrevToolId, TToolId::Brush);
    // A tool key presses its button.
    main->Action("actspray")->trigger();
    EXPECT_TRUE(palette()->ToolButton(TToolId::Spray)->isChecked());
    EXPECT_EQ(tools().State().ToolId, TToolId::Spray);
}

// Each tool and image command shows a picture of its own from the palette's
// PNG image list; a disabled button shows it half transparent.
TEST_F(ToolWindowsTest, PaletteButtonsShowTheirOwnPictures) {
    std::map<QByteArray, QString> seen;
    int buttons = 0;
    for (QToolButton* b : palette()->findChildren<QToolButton*>()) {
        auto* png = qobject_cast<TPngSpeedButton*>(b);
        if (!png) continue;
        SCOPED_TRACE(b->objectName().toStdString());
        ++buttons;
        ASSERT_FALSE(png->PngImage().Empty());
        EXPECT_TRUE(png->ImageFromAction());
        const QImage look = PngToImage(png->PngImage());
        const QByteArray key(reinterpret_cast<const char*>(look.constBits()), look.sizeInBytes());
        const auto [it, fresh] = seen.emplace(key, b->objectName());
        EXPECT_TRUE(fresh) << "same picture as " << it->second.toStdString();
    }
    EXPECT_EQ(buttons, 18 + 8);
    QToolButton* crop = palette()->ToolButton(TToolId::Crop);
    const TButtonLayoutResult at = qobject_cast<TPngSpeedButton*>(crop)->CurrentLayout();
    const QPoint inside(at.GlyphPos.X + 10, at.GlyphPos.Y + 14);  // on the crop marks' dark stroke
    const QRgb enabled = crop->grab().toImage().pixel(inside);
    crop->setEnabled(false);
    const QRgb disabled = crop->grab().toImage().pixel(inside);
    crop->setEnabled(true);
    EXPECT_NE(enabled, disabled);
    EXPECT_GT(qGray(disabled), qGray(enabled)) << "half transparent over the lighter button";
}

// A window too low for the palette: it scrolls up and down, never sideways
// (its scroll bar takes no width from the buttons).
TEST_F(ToolWindowsTest, APaletteTooTallForTheWindowKeepsItsWidth) {
    main->SetScreenAreas([] { return QList<QRect>{{0, 0, 4096, 4096}}; });
    main->showNormal();
    main->resize(1100, 800);
    QApplication::processEvents();
    const PaneFrame* tools = main->Forms().Pane(dsTools);
    const QRect roomy = tools->geometry();
    ASSERT_GE(palette()->parentWidget()->height(), palette()->height());

    main->resize(800, 420);
    QApplication::processEvents();
    ASSERT_LT(tools->height(), palette()->height());
    const QWidget* viewport = palette()->parentWidget();
    EXPECT_GE(viewport->width(), palette()->width());
    EXPECT_LT(viewport->height(), palette()->height());
    EXPECT_TRUE(main->rect().contains(tools->geometry()));

    // Room again: the pane comes back to its own column and width, also
    // from a layout saved while it was low.
    auto column = [](const QRect& r) { return std::pair(r.left(), r.width()); };
    main->resize(1100, 800);
    QApplication::processEvents();
    EXPECT_EQ(column(tools->geometry()), column(roomy));
    main->resize(800, 420);
    QApplication::processEvents();
    main->SaveLayout();
    Options().MainWidth = 1100;
    Options().MainHeight = 800;
    Options().MainMaximized = false;
    main->RestoreLayout();
    QApplication::processEvents();
    EXPECT_EQ(column(tools->geometry()), column(roomy));
}

TEST_F(ToolWindowsTest, OptionButtonsAndTheNumberKeysSetTheBrush) {
    palette()->ToolButton(TToolId::Brush)->click();
    palette()->SizeButton(5)->click();
    palette()->ShapeButton(3)->click();
    EXPECT_EQ(tools().State().BrushSize, 5);
    EXPECT_EQ(tools().State().BrushShape, TBrushShape::RisingDiagonal);
    EXPECT_TRUE(main->KeyPreview(nullptr, "7", Qt::Key_7) || main->Desks().DeskCount() == 0);
    TmyIcon doc;
    doc.AddImage({16, 16}, 32);
    ASSERT_NE(open(doc, "k.ico"), nullptr);
    EXPECT_TRUE(main->KeyPreview(nullptr, "7", Qt::Key_7));
    EXPECT_EQ(tools().State().BrushSize, 7);
    EXPECT_TRUE(palette()->SizeButton(7)->isChecked());
    // Without the size panel the keys do nothing.
    palette()->ToolButton(TToolId::Fill)->click();
    EXPECT_FALSE(main->KeyPreview(nullptr, "2", Qt::Key_2));
    EXPECT_EQ(tools().State().BrushSize, 7);
    palette()->ToolButton(TToolId::Rectangle)->click();
    palette()->FillButton(2)->click();
    palette()->ToolButton(TToolId::Gradient)->click();
    palette()->GradientButton(2)->click();
    EXPECT_EQ(tools().State().FillStyle, TFillStyle::OutlineAndFill);
    EXPECT_EQ(tools().State().GradientKind, TGradientKind::Vertical);
}

TEST_F(ToolWindowsTest, TheOpacityToolFollowsTheDepthOfTheImage) {
    TmyIcon doc;
    doc.AddImage({16, 16}, 32);
    doc.AddImage({16, 16}, 8);
    TfrmDesk* d = open(doc, "o.ico");
    ASSERT_NE(d, nullptr);
    d->SetCurrentImage(doc.Image(0).BitCount == 32 ? 0 : 1);
    palette()->ToolButton(TToolId::Opacity)->click();
    EXPECT_EQ(tools().State().ToolId, TToolId::Opacity);
    d->SetCurrentImage(d->Document()->Image(0).BitCount == 8 ? 0 : 1);
    EXPECT_EQ(d->CurrentBitCount(), 8);
    EXPECT_EQ(tools().State().ToolId, TToolId::Gradient);
    EXPECT_TRUE(palette()->ToolButton(TToolId::Gradient)->isChecked());
    EXPECT_FALSE(palette()->ToolButton(TToolId::Opacity)->isEnabled());
    EXPECT_FALSE(main->Action("actopac")->isEnabled());
    // A stroke does not bring the key back below 32 bits.
    main->LockToolActions();
    main->UnlockToolActions();
    EXPECT_FALSE(main->Action("actopac")->isEnabled());
    d->SetCurrentImage(d->Document()->Image(0).BitCount == 32 ? 0 : 1);
    EXPECT_TRUE(palette()->ToolButton(TToolId::Opacity)->isEnabled());
    EXPECT_TRUE(main->Action("actopac")->isEnabled());
}

TEST_F(ToolWindowsTest, TheColourPanelsPaletteCellEditIsAnUndoableChange) {
    TmyIcon doc;
    TmyImagePal& img = doc.Image(doc.AddImage({8, 8}, 8));
    for (TmyPixel& p : img.Pixels()) p = (*img.Palette)[40];
    TfrmDesk* d = open(doc, "p.ico");
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(colors()->PaletteMode());
    colors()->SelectPaletteCell(40);
    colors()->ForeColor() = (*d->CurrentImage()->Palette)[40];
    // The end of a slider drag hands the old and new colour of the framed cell.
    auto& replace = ToolPaletteLink().ReplacePaletteColor;
    ASSERT_TRUE(replace);
    const TmyPixel old = (*d->CurrentImage()->Palette)[40];
    TmyPixel fresh = old;
    fresh.R = 3;
    EXPECT_TRUE(replace(old, fresh, 40));
    EXPECT_EQ((*d->CurrentImage()->Palette)[40], fresh);
    EXPECT_EQ(d->CurrentImage()->At(4, 4), fresh);
    EXPECT_FALSE(d->Saved());
    EXPECT_TRUE(d->CanUndo());
    EXPECT_EQ(QColor(colors()->PaletteGrid().pixel(8 * 10 + 5, 2 * 10 + 5)), QColor(fresh.R, fresh.G, fresh.B));
}

// ---------------------------------------------------------------- the text window

TEST_F(ToolWindowsTest, TheTextWindowsSizesStylesAndOK) {
    TfrmText* w = textWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->SizeBox()->count(), 26);
    EXPECT_EQ(w->SizeBox()->itemText(0), "5");
    EXPECT_EQ(w->SizeBox()->itemText(25), "30");
    EXPECT_EQ(w->SizeBox()->currentText(), "12");
    EXPECT_EQ(w->FontBox()->currentIndex(), w->FontBox()->count() > 0 ? 0 : -1);
    w->BoldButton()->setChecked(true);
    w->ItalicButton()->setChecked(true);
    EXPECT_TRUE(w->ChosenFont().bold() && w->ChosenFont().italic());
    w->BoldButton()->setChecked(false);
    w->ItalicButton()->setChecked(false);
    EXPECT_FALSE(w->ChosenFont().bold() || w->ChosenFont().italic() || w->ChosenFont().underline());
    EXPECT_EQ(w->ChosenFont().styleStrategy() & QFont::NoAntialias, QFont::NoAntialias);

    struct Row {
        const char* name;
        QString size, text;
        bool closes, accepted;
    };
    const Row rows[] = {
        {"a text and a size", "12", "Ab", true, true},
        {"no text: closed without it", "12", "", true, false},
        {"not a number stays open", "1x", "Ab", false, false},
        {"zero stays open", "0", "Ab", false, false},
        {"too large stays open", "501", "Ab", false, false},
        {"empty size stays open", "", "Ab", false, false},
        {"the largest size", "500", "Ab", true, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        bool closed = false, accepted = false;
        OnNextModal([&](QWidget* modal) {
            auto* t = qobject_cast<TfrmText*>(modal);
            ASSERT_NE(t, nullptr);
            t->TextEdit()->setText(r.text);
            t->SizeBox()->setEditText(r.size);
            QTest::mouseClick(t->OKButton(), Qt::LeftButton);
            closed = !t->isVisible();
            accepted = t->Accepted();
            if (t->isVisible()) t->CancelButton()->click();
        });
        w->exec();
        EXPECT_EQ(closed, r.closes);
        EXPECT_EQ(accepted, r.accepted);
    }
}

TEST_F(ToolWindowsTest, TextIsDrawnInTheTagColourWithoutSmoothing) {
    const QFont font = TextToolFont(QStringLiteral("DejaVu Sans"), 12, false, false, false, false);
    for (TTagColor c : {TTagColor::Primary, TTagColor::Secondary}) {
        const TTextStamp s = RenderTextStamp(font, 12, QStringLiteral("Wg"), c);
        ASSERT_EQ(s.Tag.Width(), 255);
        EXPECT_EQ(s.TextWidth, QFontMetrics(font).horizontalAdvance("Wg"));
        EXPECT_EQ(s.TextHeight, QFontMetrics(font).height());
        EXPECT_FALSE(s.Italic);
        int tagged = 0;
        for (int y = 0; y < 255; ++y)
            for (int x = 0; x < 255; ++x) {
                const TTag t = s.Tag.At(x, y);
                ASSERT_TRUE(t == TagNone || t == TagOf(c)) << x << "," << y;
                if (t == TagOf(c)) {
                    ++tagged;
                    EXPECT_GE(x, 1);
                    EXPECT_LE(x, s.TextWidth + 2);
                    EXPECT_LT(y, s.TextHeight + 1);
                }
            }
        EXPECT_GT(tagged, 20);
    }
    EXPECT_TRUE(RenderTextStamp(TextToolFont("DejaVu Sans", 12, false, true, false, false), 12, "x", TTagColor::Primary)
                    .Italic);
}

TEST_F(ToolWindowsTest, TheTextToolMakesAFloatingSelectionThroughTheWindow) {
    TmyIcon doc;
    doc.AddImage({64, 64}, 32);
    TfrmDesk* d = open(doc, "t.ico");
    ASSERT_NE(d, nullptr);
    d->SetZoom(4);
    colors()->ForeColor() = Px(200, 10, 10, 255);
    palette()->ToolButton(TToolId::Text)->click();
    OnNextModal([](QWidget* modal) {
        auto* t = qobject_cast<TfrmText*>(modal);
        ASSERT_NE(t, nullptr);
        t->FontBox()->setCurrentText("DejaVu Sans");
        t->SizeBox()->setEditText("12");
        // Typing a capital letter presses Shift: the window's keys do not
        // reach the stroke that opened it.
        QApplication::setActiveWindow(t);
        t->TextEdit()->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), t->TextEdit());
        QTest::keyPress(t->TextEdit(), Qt::Key_Shift);
        QTest::keyClicks(t->TextEdit(), "A");
        QTest::keyRelease(t->TextEdit(), Qt::Key_Shift);
        EXPECT_EQ(t->TextEdit()->text(), "A");
        t->OKButton()->click();
    });
    Click(d, 5, 6);
    ASSERT_TRUE(selection.pixels);
    const QFont font = TextToolFont(textWindow()->FontBox()->currentText(), 12, false, false, false, false);
    const QFontMetrics m(font);
    EXPECT_EQ(selection.pixels->Width(), m.horizontalAdvance("A") + 2);
    EXPECT_EQ(selection.pixels->Height(), m.height() + 3);
    EXPECT_EQ((std::pair{selection.x, selection.y}), (std::pair{5, 6}));
    int coloured = 0;
    for (const TmyPixel& p : selection.pixels->Pixels()) coloured += p == Px(200, 10, 10, 255);
    EXPECT_GT(coloured, 5);
    EXPECT_EQ(d->CurrentImage()->At(6, 8), TmyPixel{}) << "the image waits for the drop";
}

// ---------------------------------------------------------------- the hotspot window

TEST_F(ToolWindowsTest, TheHotspotWindowBoundsItsNumbers) {
    TfrmHotspot* w = hotspotWindow();
    ASSERT_NE(w, nullptr);
    w->SetMaxX(31);
    w->SetMaxY(31);
    w->SetHotspotX(0);
    w->SetHotspotY(0);
    w->EditX()->setText("40");
    EXPECT_EQ(w->EditX()->text(), "31");
    EXPECT_EQ(w->X(), 31);
    w->EditX()->setText("");
    EXPECT_EQ(w->X(), 31) << "an emptied box keeps the value";
    w->EditY()->setText("7");
    EXPECT_EQ(w->Y(), 7);
    w->EditY()->setText("99999999999");
    EXPECT_EQ(w->Y(), 31);
    int pos = 0;
    QString minus = "-3";
    EXPECT_EQ(w->EditX()->validator()->validate(minus, pos), QValidator::Invalid);
    w->SetHotspotX(100);
    EXPECT_EQ(w->X(), 31);
}

TEST_F(ToolWindowsTest, FindChoosesTheHotspotToolAndTheClickSetsTheHotspot) {
    TmyIcon doc;
    doc.AddImage({32, 32}, 32);
    TfrmDesk* d = open(doc, "h.ico");
    ASSERT_NE(d, nullptr);
    d->SetZoom(8);
    d->SetSaved(true);
    palette()->ToolButton(TToolId::Brush)->click();
    OnNextModal([](QWidget* modal) {
        auto* h = qobject_cast<TfrmHotspot*>(modal);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(h->MaxX(), 31);
        h->FindButton()->click();
    });
    ASSERT_TRUE(main->Action("actHotspot")->isEnabled());
    main->Action("actHotspot")->trigger();
    EXPECT_EQ(tools().State().ToolId, TToolId::Hotspot);
    EXPECT_EQ(d->CurrentImage()->HotSpotX(), 0);
    EXPECT_TRUE(d->Saved());

    // The window opens once the click's stroke has ended.
    Click(d, 5, 6);
    EXPECT_EQ(tools().State().ToolId, TToolId::Brush);
    bool asked = false;
    OnNextModal([&](QWidget* modal) {
        auto* h = qobject_cast<TfrmHotspot*>(modal);
        ASSERT_NE(h, nullptr);
        asked = true;
        EXPECT_EQ(h->X(), 5);
        EXPECT_EQ(h->Y(), 6);
        EXPECT_EQ(h->EditX()->text(), "5");
        h->OKButton()->click();
    });
    // The window opens from the event loop once the stroke's events are
    // done: wait for it to have been answered (the limit bounds a failure).
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked; }, kModalLimitMs));
    EXPECT_EQ(d->CurrentImage()->HotSpotX(), 5);
    EXPECT_EQ(d->CurrentImage()->HotSpotY(), 6);
    EXPECT_FALSE(d->Saved());
}

// Keys as the keyboard gives them: each to the focus of the window, Tab,
// Return and Escape included ("\t", "\n", "\x1b").
void TypeInto(QWidget* window, const QString& keys) {
    for (const QChar c : keys) {
        QWidget* focus = window->focusWidget() ? window->focusWidget() : window;
        if (c == '\t') QTest::keyClick(focus, Qt::Key_Tab);
        else if (c == '\n') QTest::keyClick(focus, Qt::Key_Return);
        else if (c == '\x1b') QTest::keyClick(focus, Qt::Key_Escape);
        else QTest::keyClick(focus, c.toLatin1());
    }
}

TEST_F(ToolWindowsTest, TheHotspotWindowTakesWhatIsTypedFromTheKeyboard) {
    TmyIcon doc;
    doc.AddImage({32, 32}, 32);
    TfrmDesk* d = open(doc, "keys.ico");
    ASSERT_NE(d, nullptr);
    // Ctrl+I, then the keys; each showing starts in the X box, whichever box
    // had the focus when the window closed before.
    const auto typeInHotspotWindow = [&](const QString& keys) {
        // The window closed before gives the keyboard back to the main window
        // (the offscreen platform has no window manager to do it).
        QApplication::setActiveWindow(main.get());
        bool shown = false;
        OnNextModal([&](QWidget* modal) {
            auto* h = qobject_cast<TfrmHotspot*>(modal);
            ASSERT_NE(h, nullptr);
            shown = true;
            QApplication::setActiveWindow(modal);  // as the window manager does
            EXPECT_EQ(modal->focusWidget(), h->EditX());
            EXPECT_EQ(h->EditX()->selectedText(), h->EditX()->text()) << "the old number is typed over";
            TypeInto(modal, keys);
            // Keys that did not close the window leave it to Cancel.
            if (modal->isVisible()) h->CancelButton()->click();
        });
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : main.get(), Qt::Key_I,
                        Qt::ControlModifier);
        ASSERT_TRUE(shown);
    };
    const auto hotspot = [&] { return QPoint(d->CurrentImage()->HotSpotX(), d->CurrentImage()->HotSpotY()); };

    typeInHotspotWindow("3\t4\n");
    EXPECT_EQ(hotspot(), QPoint(3, 4));
    // The window closed with the focus in the Y box.
    typeInHotspotWindow("17\t29\n");
    EXPECT_EQ(hotspot(), QPoint(17, 29));
    // Beyond the image: cut to its last column; the Y box left as it was.
    typeInHotspotWindow("40\n");
    EXPECT_EQ(hotspot(), QPoint(31, 29));
    // Escape keeps the hotspot whatever was typed.
    typeInHotspotWindow("5\t6\x1b");
    EXPECT_EQ(hotspot(), QPoint(31, 29));

    // OK takes the boxes as they stand, even a number put in without a
    // change signal (as an input method may).
    TfrmHotspot* w = hotspotWindow();
    bool asked = false;
    OnNextModal([&](QWidget*) {
        asked = true;
        {
            const QSignalBlocker quiet(w->EditY());
            w->EditY()->setText("8");
        }
        w->OKButton()->click();
    });
    main->Action("actHotspot")->trigger();
    EXPECT_TRUE(asked);
    EXPECT_EQ(hotspot(), QPoint(31, 8));
}

// ---------------------------------------------------------------- texts

TEST_F(ToolWindowsTest, EveryTextOfTheToolWindowsIsInTheEnglishLanguageFile) {
    std::set<std::tuple<QString, QString, QString>> seen;
    TTranslator walk([&](const QString& section, const QString& key, const QString& def) {
        seen.insert({section, key, def});
        return def;
    });
    walk.TranslateApplication(main->Forms().All());
    IniFile english;
    ASSERT_TRUE(english.LoadFromFile(VELTO_SOURCE_DIR "/lang/English.lng"));
    std::map<QString, int> checked;
    for (const auto& [section, key, def] : seen) {
        if (section != "frmTools" && section != "frmText" && section != "frmHotspot") continue;
        // The font and size lists are names and numbers, not texts.
        if (key.contains(".Item")) continue;
        ++checked[section];
        EXPECT_EQ(QString::fromStdString(english.ReadString(section.toStdString(), key.toStdString(), "\x01missing")), def)
            << "[" << section.toStdString() << "] " << key.toStdString();
    }
    EXPECT_GE(checked["frmTools"], 26);
    EXPECT_GE(checked["frmText"], 15);
    EXPECT_GE(checked["frmHotspot"], 8);
}

}  // namespace
}  // namespace velto::test
