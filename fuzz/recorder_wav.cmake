# The WAV checks, vqr header writers and page encoders of libkestrune on
# arbitrary WAV files.
calendo_fuzz_target(recorder_wav LIBS kestrune)
