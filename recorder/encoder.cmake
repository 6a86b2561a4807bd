# The WAV-to-vqr maker and the library's own decoders: each holds codec
# instances of its own, and the decoders hand out platform memory blocks.
target_link_libraries(kestrune PRIVATE calendo-core calendo-platform)
# The codec is compiled in, not offered: none of its symbols leave the library.
target_link_options(kestrune PRIVATE LINKER:--exclude-libs,ALL)

# The tests compare against codec instances of their own, free the blocks the
# decoders hand out, and load tesmor by name for the round trip. The test
# target and tesmor are made after this piece is read, so the settings wait
# for the end of the whole configuration.
function(kestrune_encoder_test_settings)
  target_link_libraries(kestrune_tests PRIVATE calendo-core calendo-platform ${CMAKE_DL_LIBS})
  if(TARGET tesmor)
    add_dependencies(kestrune_tests tesmor)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kestrune_encoder_test_settings)
