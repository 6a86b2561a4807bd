# The waveform overview of an hour-long SP recording (min/max per 256
# samples), decoded on every core: the target is the whole overview within
# 0.6 s.
calendo_benchmark(overview_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/overview_bench.cpp
                  LIBS calendo-core calendo-loudness calendo_testing)
target_include_directories(overview_bench PRIVATE ${CMAKE_SOURCE_DIR}/core/tests)
