calendo_fuzz_target(decoder_wavtype LIBS tesmor calendo-platform)
