calendo_fuzz_target(decoder_dec1 LIBS tesmor)
