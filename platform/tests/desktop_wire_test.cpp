#include "../src/desktop_wire.h"

#include <gtest/gtest.h>

#include <string>

#include "../src/desktop_registry.h"

namespace {

using platform::desktop_wire::Kind;
using platform::desktop_wire::ParseError;
using platform::desktop_wire::Request;

bool parse(const std::vector<uint8_t>& bytes, Request& request) {
  ParseError error;
  return platform::desktop_wire::parse_request(bytes.data(), bytes.size(), request, error);
}

TEST(Desktop_Wire, CopyDataAndFrontRoundTrip) {
  Request request;
  const auto bytes = platform::desktop_wire::encode_copy_data(0x01020304, "/home/a b/x.vqr");
  ASSERT_TRUE(parse(bytes, request));
  EXPECT_EQ(request.kind, Kind::copy_data);
  EXPECT_EQ(request.first, 0x01020304u);
  EXPECT_EQ(request.text, "/home/a b/x.vqr");

  const auto empty = platform::desktop_wire::encode_copy_data(7, "");
  ASSERT_TRUE(parse(empty, request));
  EXPECT_EQ(request.text, "");

  ASSERT_TRUE(parse(platform::desktop_wire::encode_bring_to_front(), request));
  EXPECT_EQ(request.kind, Kind::bring_to_front);
}

TEST(Desktop_Wire, EveryTruncationIsRefused) {
  const auto bytes = platform::desktop_wire::encode_copy_data(1, "C:\\rec\\0001.VQR");
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    Request request;
    ParseError error;
    EXPECT_FALSE(platform::desktop_wire::parse_request(bytes.data(), size, request, error)) << size;
    EXPECT_LE(error.offset, size);
  }
}

TEST(Desktop_Wire, UnterminatedExtraOrForeignBytesAreRefused) {
  Request request;
  auto unterminated = platform::desktop_wire::encode_copy_data(1, "abc");
  unterminated.back() = 'd';  // the count still covers four bytes, none zero
  EXPECT_FALSE(parse(unterminated, request));

  auto empty = platform::desktop_wire::encode_copy_data(1, "");
  empty.pop_back();  // no payload at all: not even the terminating zero
  empty[6] = 0;
  EXPECT_FALSE(parse(empty, request));

  auto trailing = platform::desktop_wire::encode_copy_data(1, "abc");
  trailing.push_back(0);  // one byte more than the count announces
  EXPECT_FALSE(parse(trailing, request));

  for (std::size_t at : {0u, 4u, 5u}) {
    auto foreign = platform::desktop_wire::encode_copy_data(1, "abc");
    foreign[at] ^= 0x40;
    EXPECT_FALSE(parse(foreign, request)) << at;
  }

  auto front = platform::desktop_wire::encode_copy_data(1, "abc");
  front[5] = static_cast<uint8_t>(Kind::bring_to_front);
  EXPECT_FALSE(parse(front, request));
}

TEST(Desktop_Wire, BytesAfterTheTerminatingZeroAreIgnored) {
  // A count of two bytes per character can announce more than the text.
  auto bytes = platform::desktop_wire::encode_copy_data(1, "ab");
  bytes.insert(bytes.end(), {'x', 'y', 'z'});
  bytes[6] = 6;
  Request request;
  ASSERT_TRUE(parse(bytes, request));
  EXPECT_EQ(request.text, "ab");
}

TEST(Desktop_Wire, LargestPayloadIsAccepted) {
  const std::string text(platform::desktop_wire::kMaxPayload - 1, 'x');
  const auto bytes = platform::desktop_wire::encode_copy_data(1, text);
  ASSERT_EQ(bytes.size(), platform::desktop_wire::kMaxRequest);
  Request request;
  ASSERT_TRUE(parse(bytes, request));
  EXPECT_EQ(request.text.size(), text.size());
}

TEST(Desktop_Entry, RoundTripsAndRefusesDamage) {
  platform::desktop_registry::Entry entry;
  entry.pid = 4242;
  entry.start_time = 123456;
  entry.stamp = 987654321;
  entry.title = "Calendo - line one\nline two";
  const std::string bytes = platform::desktop_registry::encode_entry(entry);
  platform::desktop_registry::Entry back;
  ASSERT_TRUE(platform::desktop_registry::parse_entry(bytes, back));
  EXPECT_EQ(back.pid, 4242);
  EXPECT_EQ(back.start_time, 123456u);
  EXPECT_EQ(back.stamp, 987654321u);
  EXPECT_EQ(back.title, entry.title);

  const std::size_t header = bytes.find('\n');
  for (std::size_t size = 0; size <= header; ++size) {
    EXPECT_FALSE(platform::desktop_registry::parse_entry(bytes.substr(0, size), back)) << size;
  }
  for (const char* damaged :
       {"calendo-window 2 1 0 0\n", "calendo-window 1 0 0 0\n", "calendo-window 1 1 0\n",
        "calendo-window 1 1 0 0 0\n", "calendo-window 1 -1 0 0\n",
        "calendo-window 1 1 0 99999999999999999999\n", "calendo-window 1  1 0 0\n"}) {
    EXPECT_FALSE(platform::desktop_registry::parse_entry(damaged, back)) << damaged;
  }
  EXPECT_FALSE(platform::desktop_registry::parse_entry(
      std::string("calendo-window 1 1 0 0\nzero\0inside", 34), back));
}

}  // namespace
