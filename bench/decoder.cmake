calendo_benchmark(decoder_bench SOURCES decoder_bench.cpp LIBS tesmor calendo-core calendo-platform calendo_testing)
