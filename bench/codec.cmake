# Decode and encode throughput of the G.726 codec core at 2, 3 and 4 bits.
calendo_benchmark(codec_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_bench.cpp LIBS calendo-core)
target_include_directories(codec_bench PRIVATE ${CMAKE_SOURCE_DIR}/core/tests)
