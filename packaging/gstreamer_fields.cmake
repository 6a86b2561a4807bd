# Run by CPack after the packages are made: adds to the plugin's package the
# control fields that Debian's dh_gstscancodecs writes (Gstreamer-Version,
# -Elements, -Decoders and any others the scanner reports), so that a player
# that meets a format it cannot decode can find the package that does.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${deb} NAME)
  if(NOT name MATCHES "^${CPACK_CALENDO_GST_PACKAGE}_.*\\.deb$")
    continue()
  endif()
  set(work ${CPACK_TOPLEVEL_DIRECTORY}/gstreamer-fields)
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work})
  get_filename_component(plugin_dir ${CPACK_CALENDO_GST_PLUGIN} DIRECTORY)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env GST_REGISTRY=${work}/registry.bin GST_PLUGIN_SYSTEM_PATH=
            GST_PLUGIN_PATH=${plugin_dir} ${CPACK_CALENDO_GST_CODEC_INFO} ${CPACK_CALENDO_GST_PLUGIN}
    OUTPUT_VARIABLE scanned RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT scanned MATCHES "gstreamer:Decoders=")
    message(FATAL_ERROR "gst-codec-info found no decoders in ${CPACK_CALENDO_GST_PLUGIN}")
  endif()
  # gstreamer:Version=1.22 becomes the field Gstreamer-Version: 1.22.
  # The values hold semicolons, which CMake would take for list separators.
  string(REPLACE ";" "@SEMICOLON@" scanned "${scanned}")
  set(fields "")
  string(REGEX MATCHALL "gstreamer:[A-Za-z]+=[^\n]*" lines "${scanned}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^gstreamer:([A-Za-z]+)=.*$" "\\1" key "${line}")
    string(REGEX REPLACE "^gstreamer:[A-Za-z]+=(.*)$" "\\1" value "${line}")
    if(key STREQUAL "Provides" OR value STREQUAL "")
      continue()
    endif()
    string(REGEX REPLACE "^URI" "Uri-" key "${key}")
    string(REPLACE "@SEMICOLON@" ";" value "${value}")
    string(APPEND fields "Gstreamer-${key}: ${value}\n")
  endforeach()

  set(tree ${work}/tree)
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot unpack ${deb}")
  endif()
  file(READ ${tree}/DEBIAN/control control)
  string(REGEX REPLACE "\nDescription:" "\n${fields}Description:" control "${control}")
  file(WRITE ${tree}/DEBIAN/control "${control}")
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${tree} ${deb}.new
                  OUTPUT_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot pack ${deb} again with its GStreamer fields")
  endif()
  file(RENAME ${deb}.new ${deb})
  file(REMOVE_RECURSE ${work})
endforeach()
