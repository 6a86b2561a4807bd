# The rescue's carving of a card image without a file system: the scan, the
# joins, the mended pages and headers, and the vqm carving.
calendo_fuzz_target(rescue_carving LIBS calendo_rescue_core)
