#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::MessageBoxRequest;

TEST(Dialogs_Fallback, WritesTitleAndTextToStandardErrorAndAnswersDefault) {
  testing::internal::CaptureStderr();
  const int32_t ok = platform::message_box(0, "OpenFileError", "GetPlayData", platform::kMbOk);
  const int32_t warned = platform::message_box(0, "Short of capacity ", "Calendo", 48);
  const int32_t yes = platform::message_box(0, "Overwrite?", "Calendo", platform::kMbYesNo);
  const std::string written = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ok, platform::kIdOk);
  EXPECT_EQ(warned, platform::kIdOk);
  EXPECT_EQ(yes, platform::kIdYes);
  EXPECT_EQ(written,
            "GetPlayData: OpenFileError\nCalendo: Short of capacity \nCalendo: Overwrite?\n");
}

TEST(Dialogs_Handler, ReceivesTheRequestAndItsAnswerIsReturned) {
  std::vector<MessageBoxRequest> shown;
  platform::ScopedMessageBoxHandler scripted([&](const MessageBoxRequest& request) {
    shown.push_back(request);
    return platform::kIdNo;
  });
  EXPECT_EQ(platform::message_box(42, "text", "title", platform::kMbYesNo | 32), platform::kIdNo);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].owner, 42u);
  EXPECT_EQ(shown[0].text, "text");
  EXPECT_EQ(shown[0].title, "title");
  EXPECT_EQ(shown[0].style, 36);
}

TEST(Dialogs_Handler, ScopesNestAndRestoreThePreviousHandler) {
  platform::ScopedMessageBoxHandler outer([](const MessageBoxRequest&) { return 100; });
  {
    platform::ScopedMessageBoxHandler inner([](const MessageBoxRequest&) { return 200; });
    EXPECT_EQ(platform::message_box(0, "", "", 0), 200);
  }
  EXPECT_EQ(platform::message_box(0, "", "", 0), 100);
}

TEST(Dialogs_Handler, MayReplaceItselfWhileShowingABox) {
  platform::ScopedMessageBoxHandler first([](const MessageBoxRequest&) {
    // The handler slot is not locked while a box is shown.
    platform::set_message_box_handler([](const MessageBoxRequest&) { return 2; });
    return 1;
  });
  EXPECT_EQ(platform::message_box(0, "", "", 0), 1);
  EXPECT_EQ(platform::message_box(0, "", "", 0), 2);
}

TEST(Dialogs_Style, ButtonsAndDefaultAnswersFollowTheStyleNumbers) {
  using V = std::vector<int32_t>;
  EXPECT_EQ(platform::message_box_buttons(0), V{platform::kIdOk});
  EXPECT_EQ(platform::message_box_buttons(48), V{platform::kIdOk});
  EXPECT_EQ(platform::message_box_buttons(4), (V{platform::kIdYes, platform::kIdNo}));
  EXPECT_EQ(platform::message_box_buttons(6),
            (V{platform::kIdCancel, platform::kIdTryAgain, platform::kIdContinue}));
  EXPECT_EQ(platform::message_box_buttons(3),
            (V{platform::kIdYes, platform::kIdNo, platform::kIdCancel}));
  EXPECT_EQ(platform::message_box_buttons(15), V{platform::kIdOk});

  EXPECT_EQ(platform::message_box_default_answer(6), platform::kIdCancel);
  EXPECT_EQ(platform::message_box_default_answer(4 | platform::kMbDefButton2), platform::kIdNo);
  EXPECT_EQ(platform::message_box_default_answer(6 | platform::kMbDefButton3),
            platform::kIdContinue);
  EXPECT_EQ(platform::message_box_default_answer(0 | platform::kMbDefButton4), platform::kIdOk);
}

}  // namespace
