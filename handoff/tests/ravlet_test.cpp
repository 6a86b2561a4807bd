#include "ravlet.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <memory>
#include <string>

#include "desktop_test_support.h"
#include "platform/desktop.h"

extern "C" int32_t ravlet_c_attach_foreign(uint32_t hwnd);

namespace {

using desktop_test::copy_line;
using desktop_test::Peer;
using desktop_test::ScratchDesktop;

std::string ravlet_peer() {
  return (std::filesystem::path(desktop_test::peer_program()).parent_path() / "ravlet_peer")
      .string();
}

// The text in a heap block of exactly its length and zero, so that reading a
// byte past the zero is an error the sanitizer build reports.
std::unique_ptr<char[]> exact_text(const std::string& text) {
  auto block = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(block.get(), text.c_str(), text.size() + 1);
  return block;
}

// The byte count the player announces: two per character, 2 for "".
uint16_t announced(std::size_t characters) {
  return static_cast<uint16_t>(characters == 0 ? 2 : 2 * characters);
}

TEST(Ravlet_SendCopyData, ReachesTheAttachedControlOfAnotherProcess) {
  ScratchDesktop scratch;
  Peer player({"Calendo"}, ravlet_peer());
  ASSERT_NE(player.window(), 0u);

  const std::string path = "/home/user/rec/DS0001.VQR";
  auto text = exact_text(path);
  EXPECT_EQ(SendCopyData(player.window(), text.get(), announced(path.size())), RAVLET_HANDLED);
  EXPECT_EQ(player.read_line(0), copy_line(RAVLET_COPY_DATA_ID, path));

  auto empty = exact_text("");
  EXPECT_EQ(SendCopyData(player.window(), empty.get(), announced(0)), RAVLET_HANDLED);
  EXPECT_EQ(player.read_line(0), copy_line(RAVLET_COPY_DATA_ID, ""));
}

TEST(Ravlet_SendCopyData, ReadsTheTextToItsZeroWhateverTheCount) {
  ScratchDesktop scratch;
  Peer player({"Calendo"}, ravlet_peer());
  // Four characters, twelve bytes in UTF-8: a count of 8 must not cut it.
  const std::string wide = "会議録音.vqm";
  auto text = exact_text(wide);
  EXPECT_EQ(SendCopyData(player.window(), text.get(), announced(8)), RAVLET_HANDLED);
  EXPECT_EQ(player.read_line(0), copy_line(RAVLET_COPY_DATA_ID, wide));
  // A count far beyond the text must not read past its zero.
  const std::string narrow = "a.vqr";
  text = exact_text(narrow);
  EXPECT_EQ(SendCopyData(player.window(), text.get(), 0xFFFF), RAVLET_HANDLED);
  EXPECT_EQ(player.read_line(0), copy_line(RAVLET_COPY_DATA_ID, narrow));
}

TEST(Ravlet_SendCopyData, ReportsWhatBecameOfTheMessage) {
  ScratchDesktop scratch;
  Peer bare({"Calendo"}, ravlet_peer());
  Peer detached({"Calendo"}, ravlet_peer());
  auto text = exact_text("x.vqr");
  EXPECT_EQ(SendCopyData(bare.window(), nullptr, 2), RAVLET_REFUSED);
  EXPECT_EQ(SendCopyData(0, text.get(), 10), RAVLET_NO_WINDOW);
  EXPECT_EQ(SendCopyData(0x12345678, text.get(), 10), RAVLET_NO_WINDOW);

  const std::string longest(platform::kDesktopMaxCopyDataText, 'x');
  auto fits = exact_text(longest);
  // The peer's line is longer than a pipe holds: read it while sending.
  auto sent = std::async(std::launch::async,
                         [&] { return SendCopyData(bare.window(), fits.get(), 0xFFFF); });
  EXPECT_EQ(bare.read_line(10000), copy_line(RAVLET_COPY_DATA_ID, longest));
  EXPECT_EQ(sent.get(), RAVLET_HANDLED);
  auto too_long = exact_text(longest + "x");
  EXPECT_EQ(SendCopyData(bare.window(), too_long.get(), 0xFFFF), RAVLET_REFUSED);

  ASSERT_EQ(detached.command("detach"), "ok");
  EXPECT_EQ(SendCopyData(detached.window(), text.get(), 10), RAVLET_NOT_ATTACHED);
}

TEST(Ravlet_MsgCtl, RaisesOnCopyDataForTheWindowItWatches) {
  ScratchDesktop scratch;
  struct Received {
    int calls = 0;
    int32_t first = 0;
    std::string text;
  } received;
  const auto on_copy_data = [](void* user, int32_t first, const char* text) {
    auto* into = static_cast<Received*>(user);
    ++into->calls;
    into->first = first;
    into->text = text;
  };
  const auto a = platform::desktop_create_window("Calendo");
  const auto b = platform::desktop_create_window("Calendo");
  MsgCtl* control = MsgCtlCreate(on_copy_data, &received);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(MsgCtlAttach(control, a), 1);
  EXPECT_EQ(SendCopyData(a, "one.vqr", 14), RAVLET_HANDLED);
  EXPECT_EQ(received.text, "one.vqr");
  EXPECT_EQ(received.first, RAVLET_COPY_DATA_ID);

  // Attaching elsewhere leaves the first window.
  EXPECT_EQ(MsgCtlAttach(control, b), 1);
  EXPECT_EQ(SendCopyData(a, "two.vqr", 14), RAVLET_NOT_ATTACHED);
  EXPECT_EQ(SendCopyData(b, "three.vqr", 18), RAVLET_HANDLED);
  EXPECT_EQ(received.text, "three.vqr");
  EXPECT_EQ(received.calls, 2);

  // A window of another process (or none) cannot be watched.
  EXPECT_EQ(MsgCtlAttach(control, 0x12345678), 0);
  EXPECT_EQ(SendCopyData(b, "four.vqr", 16), RAVLET_NOT_ATTACHED);
  MsgCtlDestroy(control);
  MsgCtlDestroy(nullptr);
  EXPECT_EQ(MsgCtlCreate(nullptr, nullptr), nullptr);
  EXPECT_EQ(MsgCtlAttach(nullptr, a), 0);
  platform::desktop_destroy_window(a);
  platform::desktop_destroy_window(b);
}

TEST(Ravlet_MsgCtl, ControlDestroyedDuringADeliveryIsNotCalled) {
  ScratchDesktop scratch;
  int calls = 0;
  const auto window = platform::desktop_create_window("Calendo");
  MsgCtl* victim =
      MsgCtlCreate([](void* user, int32_t, const char*) { ++*static_cast<int*>(user); }, &calls);
  MsgCtl* killer = MsgCtlCreate(
      [](void* user, int32_t, const char*) { MsgCtlDestroy(*static_cast<MsgCtl**>(user)); },
      &victim);
  ASSERT_EQ(MsgCtlAttach(killer, window), 1);
  ASSERT_EQ(MsgCtlAttach(victim, window), 1);
  EXPECT_EQ(SendCopyData(window, "x", 2), RAVLET_HANDLED);
  EXPECT_EQ(calls, 0);
  MsgCtlDestroy(killer);
  platform::desktop_destroy_window(window);
}

TEST(Ravlet_Library, ExportsItsFunctionsByPlainName) {
  // The player binds SendCopyData by library and export name at run time.
  void* library = ::dlopen("libravlet.so", RTLD_NOW);
  ASSERT_NE(library, nullptr) << ::dlerror();
  EXPECT_NE(::dlsym(library, "SendCopyData"), nullptr);
  EXPECT_NE(::dlsym(library, "MsgCtlCreate"), nullptr);
  EXPECT_NE(::dlsym(library, "MsgCtlAttach"), nullptr);
  EXPECT_NE(::dlsym(library, "MsgCtlDestroy"), nullptr);
  ::dlclose(library);
}

TEST(Ravlet_Header, IsPlainC) {
  EXPECT_EQ(ravlet_c_attach_foreign(0x12345678), 0);
}

}  // namespace
