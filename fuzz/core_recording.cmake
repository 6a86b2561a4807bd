# The core's reading of a whole recording (header, directory, page flags) and
# its decoder with seeks, on arbitrary bytes.
calendo_fuzz_target(core_recording LIBS calendo-core)
