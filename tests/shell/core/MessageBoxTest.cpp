#include "shell/core/MessageBox.h"

#include <gtest/gtest.h>

#include <vector>

namespace velto {
namespace {

// Installs a scripted sink for one test and puts the old one back.
class SinkScope {
public:
    explicit SinkScope(MessageSink sink) : old_(SetMessageSink(std::move(sink))) {}
    ~SinkScope() { SetMessageSink(std::move(old_)); }

private:
    MessageSink old_;
};

TEST(MessageBox, StyleTableLaterMatchesReplaceEarlierOnes) {
    EXPECT_EQ(MessageStyleFor(0), msOK);
    EXPECT_EQ(MessageStyleFor(mbYes), msOK);  // "Yes only" shows OK
    EXPECT_EQ(MessageStyleFor(mbAbort | mbRetry), msOK);
    EXPECT_EQ(MessageStyleFor(mbAbort | mbRetry | mbIgnore), msAbortRetryIgnore);
    EXPECT_EQ(MessageStyleFor(mbAbort | mbRetry | mbIgnore | mbOK), msOK);
    EXPECT_EQ(MessageStyleFor(mbOK | mbCancel), msOKCancel);
    EXPECT_EQ(MessageStyleFor(mbRetry | mbCancel), msRetryCancel);
    EXPECT_EQ(MessageStyleFor(mbOK | mbCancel | mbRetry), msRetryCancel);
    EXPECT_EQ(MessageStyleFor(mbYes | mbNo), msYesNo);
    EXPECT_EQ(MessageStyleFor(mbYes | mbNo | mbOK | mbCancel), msYesNoCancel);
    EXPECT_EQ(MessageStyleFor(mbYes | mbNo | mbCancel), msYesNoCancel);
    EXPECT_EQ(MessageStyleFor(0x7F), msYesNoCancel);
}

TEST(MessageBox, CaptionsByKind) {
    EXPECT_EQ(MessageCaption(mkWarning), "Warning");
    EXPECT_EQ(MessageCaption(mkInformation), "Information");
    EXPECT_EQ(MessageCaption(mkConfirm), "Confirm");
    EXPECT_EQ(MessageCaption(5), "");
    EXPECT_EQ(MessageCaption(-1), "");
}

TEST(MessageBox, SinkSeesRequestAndOnlyDialogResultsPass) {
    std::vector<MessageRequest> seen;
    int answer = idYes;
    SinkScope scope([&](const MessageRequest& r) {
        seen.push_back(r);
        return answer;
    });
    EXPECT_EQ(ShowMessageBox("Overwrite?", mkConfirm, mbYes | mbNo), idYes);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "Overwrite?");
    EXPECT_EQ(seen[0].caption, "Confirm");
    EXPECT_EQ(seen[0].kind, mkConfirm);
    EXPECT_EQ(seen[0].buttons, mbYes | mbNo);
    EXPECT_EQ(seen[0].style, msYesNo);
    for (int r : {1, 2, 3, 4, 5, 6, 7}) {
        answer = r;
        EXPECT_EQ(ShowMessageBox("t", mkWarning, mbOK), r);
    }
    for (int r : {0, 8, -1, 100}) {
        answer = r;
        EXPECT_EQ(ShowMessageBox("t", mkWarning, mbOK), mrNone) << r;
    }
}

TEST(MessageBox, WithoutSinkOnlyOkBoxesAnswer) {
    SinkScope scope(nullptr);
    EXPECT_EQ(ShowMessageBox("Too many open windows!", mkWarning, mbOK), idOK);
    EXPECT_EQ(ShowMessageBox("Continue?", mkWarning, mbYes | mbNo), mrNone);
}

TEST(MessageBox, SinkMayReplaceItselfWhileShowing) {
    int calls = 0;
    SinkScope scope(nullptr);
    SetMessageSink([&](const MessageRequest&) {
        ++calls;
        SetMessageSink(nullptr);  // destroys the installed copy mid-call
        return idNo;
    });
    EXPECT_EQ(ShowMessageBox("q", mkConfirm, mbYes | mbNo), idNo);
    EXPECT_EQ(ShowMessageBox("q", mkConfirm, mbYes | mbNo), mrNone);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace velto
