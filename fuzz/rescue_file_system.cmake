# The rescue of a card image through its file system: the listing of live
# and deleted entries, the FAT chains of entries never closed, and the
# recordings written from them.
calendo_fuzz_target(rescue_file_system LIBS calendo_rescue_core)
