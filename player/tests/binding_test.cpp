// Binding the imported functions at run time.
#include <dlfcn.h>

#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "calendo/client/binding.h"
#include "calendo/client/imports.h"
#include "calendo/client/runtime_error.h"

namespace calendo {
namespace {

class BindingTest : public ::testing::Test {
 protected:
  void TearDown() override { binding::SetLibraryDirectory({}); }
};

int32_t ErrorOf(auto&& call) {
  try {
    call();
  } catch (const RuntimeError& error) {
    return error.number();
  }
  return 0;
}

TEST(PlatformSymbolName_Mapping, StripsUnderscoreAndArgumentBytes) {
  EXPECT_EQ(binding::PlatformSymbolName("_play_splpget@8"), "play_splpget");
  EXPECT_EQ(binding::PlatformSymbolName("_pb_adpcm_dec@24"), "pb_adpcm_dec");
  EXPECT_EQ(binding::PlatformSymbolName("_AdpcmDecHeader@36"), "AdpcmDecHeader");
  EXPECT_EQ(binding::PlatformSymbolName("WavCreate"), "WavCreate");
  EXPECT_EQ(binding::PlatformSymbolName("SendCopyData"), "SendCopyData");
  // Only a whole "@digits" suffix is a decoration.
  EXPECT_EQ(binding::PlatformSymbolName("name@v2"), "name@v2");
  EXPECT_EQ(binding::PlatformSymbolName("name@"), "name@");
}

TEST(BindingTable_Entries, ListsEveryImportOnceWithItsLibrary) {
  const std::set<std::string> libraries = {"tesmor", "kestrune", "sondrel", "ravlet"};
  std::set<std::string> names;
  for (const auto& entry : imports::BindingTable()) {
    EXPECT_TRUE(libraries.count(std::string(entry.library))) << entry.export_name;
    EXPECT_TRUE(names.insert(std::string(entry.export_name)).second) << entry.export_name;
  }
  EXPECT_EQ(names.size(), 22u);
  for (const char* name :
       {"_SoundSet11k16bit@12", "_pb_adpcm_dec@24", "_AdpcmDecHeader@36", "_AdpcmDecx@28",
        "_GetWavType@8", "_PcmWavPlay@20", "_play_splpget@8", "_pb_splptblmk@16", "_get_time@16",
        "_play_1pagerd@16", "_pb_exdata@20", "_splp_pageno@12", "WavCreate", "WavAddPlayData",
        "WavPause", "WavNowPlay", "WavStop", "WavDestroy", "SendCopyData"}) {
    EXPECT_TRUE(names.count(name)) << name;
  }
  for (const char* name : {"MsgCtlCreate", "MsgCtlAttach", "MsgCtlDestroy"}) {
    EXPECT_TRUE(names.count(name)) << name;
  }
}

TEST_F(BindingTest, MissingLibraryRaises53AtTheCall) {
  binding::SetLibraryDirectory("/nonexistent/calendo-libraries");
  try {
    imports::WavStop();
    FAIL() << "no error raised";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), kErrFileNotFound);
    EXPECT_EQ(error.description(), "File not found: libsondrel.so");
  }
}

TEST_F(BindingTest, MissingExportRaises453AtTheCall) {
  binding::SetLibraryDirectory(CALENDO_PLAYER_STUB_DIR);
  try {
    imports::SoundSet11k16bit(nullptr, 11, nullptr);
    FAIL() << "no error raised";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), kErrEntryPointNotFound);
    EXPECT_EQ(error.description(), "Can't find entry point _SoundSet11k16bit@12 in libtesmor.so");
  }
}

TEST_F(BindingTest, LoadsTheLibraryAtTheFirstCallOnly) {
  binding::SetLibraryDirectory(CALENDO_PLAYER_STUB_DIR);
  const std::string file = std::string(CALENDO_PLAYER_STUB_DIR) + "/libsondrel.so";
  auto loaded = [&] {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) dlclose(handle);
    return handle != nullptr;
  };
  ASSERT_FALSE(loaded()) << "another test loaded the stand-in first";
  EXPECT_EQ(imports::WavNowPlay(), -2);
  EXPECT_TRUE(loaded());
  EXPECT_EQ(imports::WavCreate(), 1);
  EXPECT_EQ(imports::WavNowPlay(), -1);
  imports::WavDestroy();
  EXPECT_EQ(imports::WavNowPlay(), -2);
}

TEST_F(BindingTest, EveryImportResolvesInTheLibrariesBuiltHere) {
  binding::SetLibraryDirectory(CALENDO_LIB_DIR);
  for (const auto& entry : imports::BindingTable()) {
    EXPECT_NO_THROW(EXPECT_NE(binding::BindExport(entry.library, entry.export_name), nullptr))
        << entry.export_name;
  }
}

TEST(ResumeNext_Steps, SkipsAFailingStatementAndRunsTheNext) {
  ResumeNext step;
  std::vector<int> ran;
  step([&] { ran.push_back(1); });
  step([&] { Raise(kErrFileNotFound); });
  step([&] {
    ran.push_back(3);
    throw RuntimeError(kErrEntryPointNotFound, "x");
  });
  step([&] { ran.push_back(4); });
  EXPECT_EQ(ran, (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(step.skipped(), (std::vector<int32_t>{kErrFileNotFound, kErrEntryPointNotFound}));
  EXPECT_EQ(ErrorOf([] { Raise(kErrOverflow); }), kErrOverflow);
}

}  // namespace
}  // namespace calendo
