# The header, directory and page parsing of the GStreamer element, and its
# decoder with seeks, on arbitrary files.
calendo_fuzz_target(gst_recording LIBS calendo_gst_decoding)
