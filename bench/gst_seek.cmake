# The time from a seek to the first buffer through the GStreamer element
# (gst_seek.sh runs it on an hour of SP).
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_GST REQUIRED IMPORTED_TARGET gstreamer-1.0)
add_executable(gst_seek_bench ${CMAKE_CURRENT_LIST_DIR}/gst_seek_bench.cpp)
set_target_properties(gst_seek_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
target_link_libraries(gst_seek_bench PRIVATE PkgConfig::BENCH_GST)
calendo_warnings(gst_seek_bench)
