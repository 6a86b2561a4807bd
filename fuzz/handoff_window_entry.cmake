# The window-entry parser of the desktop registry, compiled in from the
# platform layer where it is hidden.
calendo_fuzz_target(handoff_window_entry)
foreach(flavour replay fuzz)
  if(TARGET handoff_window_entry_${flavour})
    target_sources(handoff_window_entry_${flavour} PRIVATE ${PROJECT_SOURCE_DIR}/platform/src/desktop_registry.cpp)
    target_include_directories(handoff_window_entry_${flavour} PRIVATE ${PROJECT_SOURCE_DIR}/platform/src)
  endif()
endforeach()
