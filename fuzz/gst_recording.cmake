# The header, directory and page parsing of the GStreamer element, and its
# decoder with seeks, on arbitrary files.
if(TARGET calendo_gst_decoding)
  calendo_fuzz_target(gst_recording LIBS calendo_gst_decoding)
endif()
