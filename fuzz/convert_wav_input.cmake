# calendo-convert's reading of the WAV files --encode takes (libsndfile,
# libsoxr), on arbitrary files.
calendo_fuzz_target(convert_wav_input LIBS calendo_convert_core calendo_testing)
calendo_binds_libraries(convert_wav_input_replay kestrune)
if(CALENDO_FUZZ)
  calendo_binds_libraries(convert_wav_input_fuzz kestrune)
endif()
