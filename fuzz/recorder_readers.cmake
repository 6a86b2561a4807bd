# The header, table, page and code readers of libkestrune on arbitrary files.
calendo_fuzz_target(recorder_readers LIBS kestrune)
