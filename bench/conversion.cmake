# An hour of SP recording converted to a 16-bit WAV file by the player's
# conversion (calendo-client); conversion_vs_ffmpeg.sh sets it beside ffmpeg.
calendo_benchmark(conversion_bench SOURCES conversion_bench.cpp
  LIBS calendo-client calendo-core calendo_testing)
calendo_binds_libraries(conversion_bench kestrune tesmor)
