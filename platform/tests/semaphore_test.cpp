#include "platform/semaphore.h"

#include <gtest/gtest.h>
#include <semaphore.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A name of this test process alone, removed again at the end.
class Semaphore_Named : public ::testing::Test {
 protected:
  void SetUp() override { name_ = "CalendoTestSemaphore-" + std::to_string(::getpid()); }
  void TearDown() override { ::sem_unlink(platform::NamedSemaphore::system_name(name_).c_str()); }
  std::string name_;
};

TEST_F(Semaphore_Named, NameIsPerUser) {
  const std::string name = platform::NamedSemaphore::system_name("WavPlaySemaphore");
  EXPECT_EQ(name, "/WavPlaySemaphore." + std::to_string(::getuid()));
  EXPECT_EQ(platform::NamedSemaphore::system_name("a/b"), "/a_b." + std::to_string(::getuid()));
}

TEST_F(Semaphore_Named, TwoHandlesShareOneCountAcrossThreads) {
  auto first = platform::NamedSemaphore::open(name_, 0, 100);
  auto second = platform::NamedSemaphore::open(name_, 5, 100);  // opens: initial ignored
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(first->try_wait());

  std::thread releaser([&] {
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(second->release());
  });
  EXPECT_TRUE(first->wait_for(5s));
  releaser.join();
  EXPECT_FALSE(second->try_wait());
}

TEST_F(Semaphore_Named, WaitIsBoundedAndMaximumHolds) {
  auto sem = platform::NamedSemaphore::open(name_, 0, 2);
  ASSERT_NE(sem, nullptr);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(sem->wait_for(30ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms);
  EXPECT_TRUE(sem->release());
  EXPECT_TRUE(sem->release());
  EXPECT_FALSE(sem->release());
  EXPECT_TRUE(sem->wait_for(0ms));
  EXPECT_TRUE(sem->try_wait());
  EXPECT_FALSE(sem->try_wait());
}

TEST_F(Semaphore_Named, BadNameFailsWithReason) {
  std::string error;
  auto sem = platform::NamedSemaphore::open(std::string(300, 'x'), 0, 1, &error);
  EXPECT_EQ(sem, nullptr);
  EXPECT_NE(error.find("xxx"), std::string::npos);
}

}  // namespace
