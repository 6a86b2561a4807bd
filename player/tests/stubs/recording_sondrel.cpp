// A stand-in wave output library for the player's tests: every export records
// its call in the test journal and behaves like an engine that plays nothing
// (WavNowPlay reports no engine). Built as libsondrel.so in its own folder.
#include <cstdint>

#include "journal.h"
#include "sondrel.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
bool engine = false;
}

EXPORT int32_t WavCreate() {
  calendo::testing::JournalWrite("WavCreate");
  if (engine) return 0;
  engine = true;
  return 1;
}

EXPORT int32_t WavAddPlayData(void** /*block*/, uint32_t /*length*/) {
  calendo::testing::JournalWrite("WavAddPlayData");
  return 0;
}

EXPORT int32_t WavPause(int32_t /*pause*/) {
  calendo::testing::JournalWrite("WavPause");
  return engine ? 1 : 0;
}

EXPORT int32_t WavNowPlay() {
  return engine ? SONDREL_NOW_IDLE : SONDREL_NOW_NO_ENGINE;
}

EXPORT int32_t WavStop() {
  calendo::testing::JournalWrite("WavStop");
  return engine ? 1 : 0;
}

EXPORT void WavDestroy() {
  calendo::testing::JournalWrite("WavDestroy");
  engine = false;
}
