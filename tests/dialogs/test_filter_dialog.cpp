// The Custom Filter dialog in the program: the divisor following typed
// weights, the presets, the kernel kept between openings, texts that are no
// number refused before anything changes, OK making the filter the last
// effect that "Last Effect" repeats, and indexed frames kept on their palette.
#include <QComboBox>
#include <QLineEdit>

#include "AdjustTestSupport.h"
#include "dialogs/FormFilter.h"
#include "engine/Filter.h"

namespace velto::test {
namespace {

class FilterDialogTest : public AdjustTest {
protected:
    TfrmFilter* filter() const { return form<TfrmFilter>("frmFilter"); }
    QStringList texts() const {
        QStringList out;
        for (int i = 1; i <= 27; ++i) out << filter()->Edit(i)->text();
        return out;
    }
};

TEST_F(FilterDialogTest, DivisorFollowsTheTypedWeights) {
    struct Row {
        const char* name;
        int edit;          // the weight edit typed into (emptied first)
        const char* keys;  // typed
        const char* text;  // the edit afterwards
        const char* divisor;
    };
    const Row rows[] = {
        {"2 beside the centre's 1", 1, "2", "2", "3"},
        {"the centre replaced", 13, "5", "5", "5"},
        {"a lone minus leaves the divisor", 2, "-", "-", "1"},
        {"completed to -1", 2, "-1", "-1", "0"},
        {"letters and blanks are not typed", 7, "a 4b", "4", "5"},
        {"a minus inside the number: the sum before it", 3, "1-2", "1-2", "2"},
        {"ten digits and more are no 32-bit number", 4, "99999999999", "99999999999", "1000000000"},
        {"negative weights sum", 25, "-30", "-30", "-29"},
        {"emptied", 13, "", "", "1"},
    };
    auto* f = filter();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        f->ResetClick();
        QLineEdit* e = f->Edit(r.edit);
        e->clear();
        QTest::keyClicks(e, r.keys);
        EXPECT_EQ(e->text(), r.text);
        EXPECT_EQ(f->Edit(26)->text(), r.divisor);
    }
}

TEST_F(FilterDialogTest, PresetsLoadTheirKernels) {
    const char* const names[] = {
        "None", "Emboss Color", "Emboss Light", "Emboss Medium", "Emboss Dark", "Blur", "Blur Soft", "Blur More",
        "Motion Blur", "Sharpen", "Sharpen More", "Sharpen Less", "Sharpen Directional", "Find Edges (Vertical)",
        "Find Edges (Horizontal)", "Enhance Edges", "Detect Edges", "Edges Strong", "Edges Weak", "Contour", "Average",
        "Glow", "Waggle", "Pattern", "Paint Dark", "Paint Bright", "Shake", "Shake Less", "Pale", "Scene"};
    auto* f = filter();
    ASSERT_EQ(f->Samples()->count(), 30);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(f->Samples()->itemText(i), names[i]) << i;

    struct Row {
        int item;
        QStringList texts;  // 25 weights, divisor, offset
    };
    const auto split = [](const char* s) { return QString::fromLatin1(s).split(' '); };
    const Row rows[] = {
        {5, split("0 0 0 0 0 0 1 2 1 0 0 2 2 2 0 0 1 2 1 0 0 0 0 0 0 14 0")},
        // The preset's divisor stays, although the weights sum to 0.
        {4, split("0 0 0 0 0 0 -1 0 1 0 0 -1 0 1 0 0 -1 0 1 0 0 0 0 0 0 1 128")},
        {26, split("1 0 -1 0 1 0 0 0 0 0 -1 0 1 0 -1 0 0 0 0 0 1 0 -1 0 1 1 0")},
        {27, split("0 0 0 0 0 0 1 -1 1 0 0 -1 1 -1 0 0 1 -1 1 0 0 0 0 0 0 1 0")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(names[r.item]);
        f->ResetClick();
        f->SampleChange(r.item);
        EXPECT_EQ(texts(), r.texts);
    }
    f->SampleChange(24);
    EXPECT_EQ(f->Edit(27)->text(), "-190") << "Paint Dark";
    // Every preset reads back as its record.
    for (int item = 1; item <= KernelPresetCount; ++item) {
        f->SampleChange(item);
        const auto k = f->ReadKernel();
        ASSERT_TRUE(k.has_value());
        const TFilterKernel& want = FilterKernels[std::size_t(KernelForDialogItem(item))].Kernel;
        EXPECT_EQ(k->Weights, want.Weights) << names[item];
        EXPECT_EQ(k->Divisor, want.Divisor) << names[item];
        EXPECT_EQ(k->Offset, want.Offset) << names[item];
    }
}

TEST_F(FilterDialogTest, ThePresetListLoadsOnlyWhenChosen) {
    ASSERT_NE(openImage(32), nullptr);
    auto* f = filter();
    const int result = whileModal("actCustom", [&](QDialog&) {
        EXPECT_EQ(f->Samples()->currentIndex(), 0);
        f->Samples()->setFocus();
        QTest::keyClick(f->Samples(), Qt::Key_Down);  // "Emboss Color", chosen by the user
        EXPECT_EQ(f->Edit(26)->text(), "1");
        EXPECT_EQ(f->Edit(8)->text(), "0");
        EXPECT_EQ(f->Edit(9)->text(), "1");
        f->Edit(1)->setText("3");
        f->CancelButton()->click();
    });
    EXPECT_EQ(result, int(QDialog::Rejected));
    const QStringList typed = texts();
    whileModal("actCustom", [&](QDialog&) {
        EXPECT_EQ(f->Samples()->currentIndex(), 0) << "opening shows \"None\"";
        EXPECT_EQ(texts(), typed) << "and keeps the kernel typed";
    });
}

TEST_F(FilterDialogTest, TextThatIsNoNumberChangesNothing) {
    struct Row {
        int edit;
        const char* text;
    };
    const Row rows[] = {{5, "1-2"}, {13, ""}, {26, "-"}, {27, "99999999999"}};
    TfrmDesk* desk = openImage(32);
    ASSERT_NE(desk, nullptr);
    const TmyImagePal original = *desk->CurrentImage();
    auto* f = filter();
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.edit) + " \"" + r.text + "\"");
        messages.clear();
        const int result = whileModal("actCustom", [&](QDialog&) {
            f->SampleChange(5);
            f->Edit(r.edit)->setText(r.text);
            f->TestButton()->click();
            EXPECT_TRUE(f->PreviewImage().Equals(original)) << "Test shows nothing new";
            f->OKButton()->click();
        });
        EXPECT_EQ(result, -1) << "the dialog stays open";
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[0], "'" + std::string(r.text) + "' is not a valid integer value");
        EXPECT_TRUE(desk->CurrentImage()->Equals(original));
        EXPECT_TRUE(desk->Saved());
        EXPECT_FALSE(desk->CanUndo());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(FilterDialogTest, OkMakesTheFilterTheLastEffect) {
    TfrmDesk* desk = openImage(32);
    ASSERT_NE(desk, nullptr);
    TmyImagePal expected = *desk->CurrentImage();
    auto* f = filter();
    const int result = whileModal("actCustom", [&](QDialog&) {
        f->SampleChange(8);  // Motion Blur: not symmetric
        f->TestButton()->click();
        TmyImagePal preview = expected;
        ApplyFilter5x5(preview, *f->ReadKernel(), Options().FilterOnAlpha);
        EXPECT_TRUE(f->PreviewImage().Equals(preview));
        f->OKButton()->click();
    });
    EXPECT_EQ(result, int(QDialog::Accepted));
    const TFilterKernel kernel = FilterKernels[std::size_t(KernelForDialogItem(8))].Kernel;
    ApplyFilter5x5(expected, kernel, Options().FilterOnAlpha);
    EXPECT_TRUE(desk->CurrentImage()->Equals(expected));
    EXPECT_TRUE(desk->CanUndo());
    EXPECT_FALSE(desk->Saved());
    EXPECT_EQ(main->LastEffect(), main->Action("actCustom"));
    // "Last Effect" applies the kernel entered in the dialog now.
    f->SampleChange(5);
    main->Action("actLast")->trigger();
    ApplyFilter5x5(expected, FilterKernels[std::size_t(KernelForDialogItem(5))].Kernel, Options().FilterOnAlpha);
    EXPECT_TRUE(desk->CurrentImage()->Equals(expected));
    // A kernel left unreadable in the dialog: the one applied last.
    f->Edit(3)->setText("-");
    EXPECT_EQ(f->GetKernel().Weights, kernel.Weights);
}

TEST_F(FilterDialogTest, IndexedFramesKeepToTheirPalette) {
    struct Row {
        const char* name;
        int bits;
        TPaletteChoice choice;
    };
    const Row rows[] = {{"8 bits, palette kept", 8, TPaletteChoice::Keep},
                        {"8 bits, new palette", 8, TPaletteChoice::Change},
                        {"4 bits, palette kept", 4, TPaletteChoice::Keep},
                        {"1 bit, new palette", 1, TPaletteChoice::Change}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Options().PaletteAction = 2;
        paletteChoice = r.choice;
        paletteQuestions = 0;
        TfrmDesk* desk = openImage(r.bits, {24, 24}, QString("f%1.ico").arg(r.bits));
        ASSERT_NE(desk, nullptr);
        auto* f = filter();
        whileModal("actCustom", [&](QDialog&) {
            f->SampleChange(6);  // Blur Soft mixes neighbours' colours
            f->OKButton()->click();
        });
        EXPECT_EQ(paletteQuestions, 1);
        EXPECT_TRUE(OnPalette(*desk->CurrentImage()));
        EXPECT_EQ(desk->CurrentImage()->BitCount, r.bits);
        closeDesk(desk);
    }
}

}  // namespace
}  // namespace velto::test
