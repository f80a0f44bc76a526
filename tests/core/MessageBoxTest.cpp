#include "core/MessageBox.h"

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

TEST(MessageBox, StylesLaterMatchesReplaceEarlierOnesAndCaptions) {
    const std::pair<int, MessageStyle> cases[] = {
        {0, msOK}, {mbYes, msOK}, {mbAbort | mbRetry, msOK}, {mbAbort | mbRetry | mbIgnore, msAbortRetryIgnore},
        {mbAbort | mbRetry | mbIgnore | mbOK, msOK}, {mbOK | mbCancel, msOKCancel},
        {mbOK | mbCancel | mbRetry, msRetryCancel}, {mbYes | mbNo, msYesNo},
        {mbYes | mbNo | mbCancel, msYesNoCancel}, {0x7F, msYesNoCancel}};
    for (const auto& [buttons, style] : cases) EXPECT_EQ(MessageStyleFor(buttons), style) << buttons;
    EXPECT_EQ(MessageCaption(mkWarning), "Warning");
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
    EXPECT_EQ(seen[0].style, msYesNo);
    for (int r : {1, 7, 0, 8, -1}) {
        answer = r;
        EXPECT_EQ(ShowMessageBox("t", mkWarning, mbOK), r >= 1 && r <= 7 ? r : int(mrNone)) << r;
    }
    SetMessageSink(nullptr);  // without a sink only OK boxes answer
    EXPECT_EQ(ShowMessageBox("Too many open windows!", mkWarning, mbOK), idOK);
    EXPECT_EQ(ShowMessageBox("Continue?", mkWarning, mbYes | mbNo), mrNone);
    EXPECT_EQ(seen.size(), 6u);
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
