# The wave output engine: cost of WavAddPlayData (benchmark) and the load
# measurements run by hand (waveout_load stream|flood).
calendo_benchmark(waveout_add SOURCES waveout_add.cpp LIBS sondrel calendo-platform)
calendo_benchmark(waveout_load SOURCES waveout_load.cpp LIBS sondrel calendo-platform)
