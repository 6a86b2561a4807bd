calendo_fuzz_target(waveout_header LIBS sondrel-header)
