// The encoder's entries of the binding table against the library built here.
#include "calendo/client/imports.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "calendo/client/binding.h"

namespace calendo::imports {
namespace {

TEST(EncoderTable_Entries, ResolveInTheLibraryBuiltHereAndNotInThePlayersTable) {
  binding::SetLibraryDirectory(CALENDO_LIB_DIR);
  std::set<std::string> players;
  for (const ImportName& entry : BindingTable()) players.emplace(entry.export_name);
  for (const ImportName& entry : EncoderTable()) {
    EXPECT_EQ(entry.library, "kestrune");
    EXPECT_EQ(players.count(std::string(entry.export_name)), 0u) << entry.export_name;
    EXPECT_NE(binding::BindExport(entry.library, entry.export_name), nullptr) << entry.export_name;
  }
  EXPECT_EQ(EncoderTable().size(), 4u);
  binding::SetLibraryDirectory({});
}

}  // namespace
}  // namespace calendo::imports
