# One long stream decoded serially, on threads and in vector lanes, beside
# spandsp's and libavcodec's G.726 decoders in the same process; each peer is
# left out when pkg-config does not find it.
calendo_benchmark(parallel_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/parallel_bench.cpp LIBS calendo-core)
target_include_directories(parallel_bench PRIVATE ${CMAKE_SOURCE_DIR}/core/tests)
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_SPANDSP IMPORTED_TARGET spandsp)
pkg_check_modules(BENCH_LIBAVCODEC IMPORTED_TARGET libavcodec libavutil)
if(BENCH_SPANDSP_FOUND)
  target_link_libraries(parallel_bench PRIVATE PkgConfig::BENCH_SPANDSP)
  target_compile_definitions(parallel_bench PRIVATE CALENDO_BENCH_SPANDSP=1)
endif()
if(BENCH_LIBAVCODEC_FOUND)
  target_link_libraries(parallel_bench PRIVATE PkgConfig::BENCH_LIBAVCODEC)
  target_compile_definitions(parallel_bench PRIVATE CALENDO_BENCH_LIBAVCODEC=1)
endif()
