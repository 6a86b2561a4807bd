# The receiving window's request parser, hidden inside the platform layer.
calendo_fuzz_target(handoff_payload LIBS calendo-platform-internal)
