# The WAV-to-vqr maker and the library's own decoders: each holds codec
# instances of its own, and the decoders hand out platform memory blocks.
target_link_libraries(kestrune PRIVATE calendo-core calendo-platform)
# The core is compiled in, not offered: none of its symbols leave the library.
target_link_options(kestrune PRIVATE LINKER:--exclude-libs,ALL)
