// Real key events for the window: it is shown and made the active window, and
// each key goes through the window system as a user's would (QTest), shortcuts
// and focus included. KeyboardTest is the playback fixture so prepared.
#pragma once

#include <cstdlib>

#include <QApplication>
#include <QTest>

#include "playback_fixture.h"
#include "window/form1.h"

namespace calendo::testing {

inline bool ShowActive(Form1& form) {
  form.show();
  form.activateWindow();
  return QTest::qWaitForWindowActive(&form);
}

inline void PressKey(Form1& form, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(form.windowHandle(), key, modifiers);
}

class KeyboardTest : public PlaybackTest {
 protected:
  void SetUp() override {
    PlaybackTest::SetUp();
    if (IsSkipped()) return;
    // An end of the process would fail the test instead of passing it quietly.
    host_.exit_code = 3;
    ASSERT_TRUE(ShowActive(form()));
  }
};

// The time the label shows at `page` of the open file.
inline int32_t PageTimeMs(const Form1& form, int32_t page) {
  return page == 0 ? 0
                   : imports::get_time(form.SplpTable.data(), static_cast<uint32_t>(page),
                                       static_cast<int32_t>(form.Splp.page_ms[0]),
                                       static_cast<int32_t>(form.Splp.page_ms[1]));
}

// The page whose time (as the label shows it) lies nearest to `ms`, the
// earlier one on a tie, found by trying every page.
inline int32_t NearestPageByEveryPage(const Form1& form, int32_t ms) {
  auto time_at = [&](int32_t page) { return PageTimeMs(form, page); };
  int32_t best = 0;
  for (int32_t page = 1; page < form.PageCount; ++page) {
    if (std::abs(time_at(page) - ms) < std::abs(time_at(best) - ms)) best = page;
  }
  return best;
}

}  // namespace calendo::testing
