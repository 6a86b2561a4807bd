# An hour of SP recording converted to a 16-bit WAV file through the calls the
# player's conversion makes; conversion_vs_ffmpeg.sh sets it beside ffmpeg.
calendo_benchmark(conversion_bench SOURCES conversion_bench.cpp
  LIBS kestrune tesmor calendo-core calendo-platform calendo_testing)
