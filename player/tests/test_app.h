// The one QApplication of a test program, made on first use, headless unless
// the environment chose a platform.
#pragma once

#include <cstdlib>

#include <QApplication>

namespace calendo::testing {

inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "player_tests";
  static char* argv[] = {name, nullptr};
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never destroyed: Qt must not be torn down by static destructors.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace calendo::testing
