# The receiving window's request parser, compiled in from the platform layer
# where it is hidden.
calendo_fuzz_target(handoff_payload)
foreach(flavour replay fuzz)
  if(TARGET handoff_payload_${flavour})
    target_sources(handoff_payload_${flavour} PRIVATE ${PROJECT_SOURCE_DIR}/platform/src/desktop_wire.cpp)
    target_include_directories(handoff_payload_${flavour} PRIVATE ${PROJECT_SOURCE_DIR}/platform/src)
  endif()
endforeach()
