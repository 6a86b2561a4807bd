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
  auto opened_first = platform::NamedSemaphore::open(name_, 0, 100);
  auto opened_second = platform::NamedSemaphore::open(name_, 5, 100);  // opens: initial ignored
  ASSERT_TRUE(opened_first.ok());
  ASSERT_TRUE(opened_second.ok());
  auto& first = *opened_first;
  auto& second = *opened_second;
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
  auto opened = platform::NamedSemaphore::open(name_, 0, 2);
  ASSERT_TRUE(opened.ok());
  auto& sem = *opened;
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
  auto sem = platform::NamedSemaphore::open(std::string(300, 'x'), 0, 1);
  EXPECT_FALSE(sem.ok());
  EXPECT_NE(sem.fault().message.find("xxx"), std::string::npos);
}

}  // namespace
