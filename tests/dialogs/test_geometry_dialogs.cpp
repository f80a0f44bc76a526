// The Free Rotate and Dimension dialogs in the program: typing into their
// edits, the spin button, the direction and the centre of the rotation, the
// sizes listed and typed, OK on icons (a size another image has is refused
// before the undo history changes) and on animated cursors (always every
// frame, after the question), indexed images kept on their palette.
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

#include "AdjustTestSupport.h"
#include "dialogs/FormRotate.h"
#include "dialogs/Scroll2D.h"
#include "dialogs/SpinButton.h"
#include "engine/Transform.h"

namespace velto::test {
namespace {

class RotateTest : public AdjustTest {
protected:
    TfrmRotate* rotate() const { return form<TfrmRotate>("frmRotate"); }
    TfrmDimension* dimension() const { return form<TfrmDimension>("frmDimension"); }
    // The texts an edit shows after each key.
    static QStringList Typed(QLineEdit* e, const QString& keys) {
        QStringList out;
        for (QChar c : keys) {
            QTest::keyClicks(e, QString(c));
            out << e->text();
        }
        return out;
    }
};

TEST_F(RotateTest, AngleEditTakesDigitsUpTo359) {
    struct Row {
        const char* name;
        const char* keys;
        const char* shown;  // after each key, separated by blanks
    };
    const Row rows[] = {
        {"400 at the third key", "400", "4 40 359"},
        {"five characters", "00001", "0 00 000 0000 359"},
        {"letters and signs are not typed", "1a-2", "1 1 1 12"},
        {"360", "360", "3 36 359"},
        {"359 stays", "359", "3 35 359"},
    };
    auto* r = rotate();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        r->AngleEdit()->clear();
        EXPECT_EQ(Typed(r->AngleEdit(), row.keys).join(' '), row.shown);
    }
    struct Spin {
        const char* from;
        bool up;
        const char* to;
    };
    const Spin spins[] = {{"359", true, "359"}, {"0", false, "0"}, {"10", true, "11"}, {"10", false, "9"}, {"", true, "1"}};
    for (const Spin& s : spins) {
        r->AngleEdit()->setText(s.from);
        (s.up ? r->SpinButton()->UpButton() : r->SpinButton()->DownButton())->click();
        EXPECT_EQ(r->AngleEdit()->text(), s.to) << s.from << (s.up ? " up" : " down");
    }
    r->AngleEdit()->setText("0");
}

TEST_F(RotateTest, DirectionAndCentreOfThePreview) {
    auto* r = rotate();
    // The centre maps the scroller's -50..50 onto 0..Width and 0..Height.
    const struct {
        int x, y;
        QPoint center;
    } centres[] = {{0, 0, {16, 12}}, {50, 50, {32, 24}}, {-50, -50, {0, 0}}, {25, -10, {24, 9}}};
    for (const auto& c : centres) {
        r->Center()->SetPositionX(c.x);
        r->Center()->SetPositionY(c.y);
        EXPECT_EQ(r->GetCenter({32, 24}), c.center) << c.x << "," << c.y;
    }
    r->Center()->SetPositionX(10);
    r->Center()->SetPositionY(-20);
    TfrmDesk* desk = openImage(32, {32, 24});
    ASSERT_NE(desk, nullptr);
    const TmyImagePal original = *desk->CurrentImage();
    const QPoint c = r->GetCenter({32, 24});
    auto turned = [&](int angle) {
        TmyImagePal img = original;
        RotateImage(img, c.x(), c.y(), angle);
        return img;
    };
    const int result = whileModal("actRotateFree", [&](QDialog&) {
        EXPECT_TRUE(r->PreviewImage().Equals(original)) << "angle 0";
        r->AngleEdit()->setText("90");
        EXPECT_EQ(r->SignedAngle(), -90) << "left is negative";
        EXPECT_TRUE(r->PreviewImage().Equals(turned(-90)));
        r->RightButton()->click();
        EXPECT_EQ(r->SignedAngle(), 90);
        EXPECT_TRUE(r->PreviewImage().Equals(turned(90)));
        r->AngleEdit()->setText("33");
        r->OKButton()->click();
    });
    EXPECT_EQ(result, int(QDialog::Accepted));
    EXPECT_TRUE(desk->CurrentImage()->Equals(turned(33)));
    EXPECT_TRUE(desk->CanUndo());
    // The values stay for the next opening.
    whileModal("actRotateFree", [&](QDialog&) {
        EXPECT_EQ(r->AngleEdit()->text(), "33");
        EXPECT_TRUE(r->RightButton()->isChecked());
        EXPECT_EQ(r->Center()->PositionX(), 10);
    });
    r->LeftButton()->click();
    r->AngleEdit()->setText("0");
    r->Center()->SetPositionX(0);
    r->Center()->SetPositionY(0);
}

TEST_F(RotateTest, RotatedIndexedImagesKeepToThePalette) {
    for (int bits : {8, 4}) {
        SCOPED_TRACE(bits);
        Options().PaletteAction = 0;  // a new palette for the new colours
        TfrmDesk* desk = openImage(bits, {32, 32}, QString("r%1.ico").arg(bits));
        ASSERT_NE(desk, nullptr);
        auto* r = rotate();
        whileModal("actRotateFree", [&](QDialog&) {
            r->AngleEdit()->setText("30");
            r->OKButton()->click();
        });
        EXPECT_TRUE(OnPalette(*desk->CurrentImage()));
        EXPECT_EQ(paletteQuestions, 0);
        closeDesk(desk);
    }
    rotate()->AngleEdit()->setText("0");
}

TEST_F(RotateTest, DimensionSizesListedAndTyped) {
    auto* d = dimension();
    EXPECT_TRUE(d->SizeButton(3)->isChecked()) << "48 x 48 at start";
    EXPECT_EQ(d->NewWidth(), 48);
    EXPECT_EQ(d->NewHeight(), 48);
    EXPECT_FALSE(d->WidthEdit()->isEnabled());
    EXPECT_FALSE(d->SquareBox()->isEnabled());
    const int sides[] = {16, 24, 32, 48, 256};
    for (int i = 0; i < 5; ++i) {
        d->SizeButton(i)->click();
        EXPECT_EQ(d->NewWidth(), sides[i]);
        EXPECT_EQ(d->NewHeight(), sides[i]);
    }
    d->SizeButton(5)->click();
    EXPECT_TRUE(d->WidthEdit()->isEnabled());
    EXPECT_TRUE(d->HeightEdit()->isEnabled());
    EXPECT_TRUE(d->SquareBox()->isEnabled());
    EXPECT_EQ(d->NewWidth(), 128);

    struct Row {
        const char* name;
        bool square;
        bool width;  // typed into the width edit, else the height edit
        const char* keys;
        const char* widthText;
        const char* heightText;
        int newWidth, newHeight;
    };
    const Row rows[] = {
        {"300 with Square: 256 in both", true, true, "300", "256", "256", 256, 256},
        {"0 becomes 1", true, false, "0", "1", "1", 1, 1},
        {"without Square the other stays", false, true, "64", "64", "128", 64, 128},
        {"height alone", false, false, "20", "128", "20", 128, 20},
        {"letters are not typed", true, true, "4x5", "45", "45", 45, 45},
        {"emptied: the last size stays", true, true, "", "", "128", 128, 128},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        d->SquareBox()->setChecked(false);
        d->WidthEdit()->setText("128");
        d->HeightEdit()->setText("128");
        d->SquareBox()->setChecked(r.square);
        QLineEdit* e = r.width ? d->WidthEdit() : d->HeightEdit();
        e->clear();
        QTest::keyClicks(e, r.keys);
        EXPECT_EQ(d->WidthEdit()->text(), r.widthText);
        EXPECT_EQ(d->HeightEdit()->text(), r.heightText);
        EXPECT_EQ(d->NewWidth(), r.newWidth);
        EXPECT_EQ(d->NewHeight(), r.newHeight);
    }
    d->WidthEdit()->setText("128");
    d->SquareBox()->setChecked(true);
    d->SizeButton(3)->click();
}

TEST_F(RotateTest, DimensionOnIconsAndAnimations) {
    struct Row {
        const char* name;
        int frames;      // 0: an icon of a 32 x 32 and a 48 x 48 image, both 8 bits
        int sizeButton;  // 0..4
        int answer;
        bool closes, changes, refused, undo;
    };
    const Row rows[] = {
        {"icon to 24", 0, 1, idYes, true, true, false, true},
        {"icon to a size it has", 0, 3, idYes, false, false, true, false},
        {"icon to its own size", 0, 2, idYes, false, false, true, false},
        {"animation, setting off: every frame", 4, 0, idYes, true, true, false, false},
        {"animation declined", 4, 0, idNo, false, false, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Options().EffectOnAllImages = false;
        Options().PaletteAction = 1;
        TfrmDesk* desk = nullptr;
        if (r.frames) {
            desk = openAnimation(r.frames, 8);
        } else {
            TmyIcon doc;
            doc.Image(doc.AddImage({48, 48}, 8)).Assign(Picture({48, 48}, 8));
            doc.Image(doc.AddImage({32, 32}, 8)).Assign(Picture({32, 32}, 8));
            desk = open(doc, "two.ico");
            desk->SetCurrentImage(1);
        }
        ASSERT_NE(desk, nullptr);
        const std::vector<TmyImagePal> before = frames();
        const int current = desk->ItemIndex();
        messages.clear();
        answers = {r.answer};
        auto* d = dimension();
        d->SizeButton(r.sizeButton)->click();
        const int side = d->NewWidth();
        const int result = whileModal("actnDim", [&](QDialog&) { d->OKButton()->click(); });
        EXPECT_EQ(result, r.closes ? int(QDialog::Accepted) : -1);
        const std::vector<TmyImagePal> after = frames();
        for (std::size_t i = 0; i < after.size(); ++i) {
            const bool changed = r.changes && (r.frames || int(i) == current);
            EXPECT_EQ(after[i].Width(), changed ? side : before[i].Width()) << i;
            EXPECT_EQ(after[i].Height(), changed ? side : before[i].Height()) << i;
            if (!changed) {
                EXPECT_TRUE(after[i].Equals(before[i])) << i;
            }
            EXPECT_TRUE(OnPalette(after[i])) << i;
        }
        if (r.refused) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0], "There is already an image with this format in the icon!");
        } else {
            EXPECT_EQ(messages.size(), r.frames ? 1u : 0u);
        }
        EXPECT_EQ(desk->CanUndo(), r.undo) << "a refusal leaves the history alone";
        EXPECT_EQ(desk->Saved(), !r.changes);
        if (r.changes) {
            EXPECT_EQ(desk->CurrentImage()->Zoom, std::min(100, 512 / side));
            EXPECT_EQ(desk->Zoom(), desk->CurrentImage()->Zoom);
        }
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        closeDesk(desk);
    }
    dimension()->SizeButton(3)->click();
}

}  // namespace
}  // namespace velto::test
