# The wave-out device family plays the default device through PortAudio; with
# ALSA present its error printer is silenced (see src/waveout_portaudio.cpp).
find_package(PkgConfig REQUIRED)
pkg_check_modules(PORTAUDIO REQUIRED IMPORTED_TARGET portaudio-2.0)
target_link_libraries(calendo-platform PRIVATE PkgConfig::PORTAUDIO)
pkg_check_modules(ALSA IMPORTED_TARGET alsa)
if(ALSA_FOUND)
  target_link_libraries(calendo-platform PRIVATE PkgConfig::ALSA)
  target_compile_definitions(calendo-platform PRIVATE CALENDO_HAVE_ALSA)
endif()
