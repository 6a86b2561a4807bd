# A program that owns a desktop window, started by the desktop tests as a real
# second process. It sits beside the test program, which finds it there.
add_executable(desktop_peer ${CMAKE_CURRENT_SOURCE_DIR}/tests/desktop_peer/desktop_peer.cpp)
set_target_properties(desktop_peer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_link_libraries(desktop_peer PRIVATE calendo-platform)
calendo_warnings(desktop_peer)

# The wire and entry parsers are hidden inside the library; their unit tests
# reach them through the internal static library.
target_link_libraries(platform_tests PRIVATE calendo-platform-internal)
add_dependencies(platform_tests desktop_peer)
