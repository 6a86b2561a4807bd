# Where `cmake --install` and the packages put things.
#
# The programs and their private libraries stay together in LIBDIR/calendo,
# in bin/ and lib/ as in the build tree, so that the programs' RUNPATH
# ($ORIGIN/../lib) and the folder calendo-convert loads its libraries from
# (bin/../lib) hold when installed too; BINDIR gets a link to each program.
# No other program links these libraries, so they stay out of the public
# library folder. The GStreamer plugin goes into LIBDIR/gstreamer-1.0.
#
# Components: `programs` (programs, libraries, man pages), `desktop` (desktop
# entry, MIME types, icon, AppStream data) and `gstreamer` (the plugin).
set(CALENDO_INSTALL_PRIVATE_DIR ${CMAKE_INSTALL_LIBDIR}/calendo)
set(CALENDO_INSTALL_PROGRAM_DIR ${CALENDO_INSTALL_PRIVATE_DIR}/bin)
set(CALENDO_INSTALL_LIBRARY_DIR ${CALENDO_INSTALL_PRIVATE_DIR}/lib)
set(CALENDO_INSTALL_GST_PLUGIN_DIR ${CMAKE_INSTALL_LIBDIR}/gstreamer-1.0)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME programs)

# Installs a man page compressed, as Debian wants it.
function(calendo_install_man_page page component)
  get_filename_component(name ${page} NAME)
  get_filename_component(section_suffix ${page} LAST_EXT)
  string(SUBSTRING ${section_suffix} 1 -1 section)
  set(compressed ${CMAKE_BINARY_DIR}/man/${name}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E copy ${page} ${CMAKE_BINARY_DIR}/man/${name}
    COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/${name}
    DEPENDS ${page} VERBATIM)
  add_custom_target(man-${name} ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
          COMPONENT ${component})
endfunction()

# Installs a program (the target of that name, with docs/NAME.1 as its man
# page) into the private folder with a link in BINDIR.
function(calendo_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CALENDO_INSTALL_PROGRAM_DIR}
          COMPONENT programs)
  file(RELATIVE_PATH link_target /${CMAKE_INSTALL_BINDIR}
       /${CALENDO_INSTALL_PROGRAM_DIR}/${target})
  set(link ${CMAKE_BINARY_DIR}/install-links/${target})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-links)
  file(CREATE_LINK ${link_target} ${link} SYMBOLIC)
  install(FILES ${link} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
  calendo_install_man_page(${PROJECT_SOURCE_DIR}/docs/${target}.1 programs)
endfunction()
