# Crewmap.exe's Windows resources (app/windows/): an icon packed (icotool
# from icoutils) from the pictures `pngs` that app/ draws from the package
# icon, the version information from project(), and the manifest; compiled
# by windres into the executable.
function(crewmap_windows_resources target pngs)
  find_program(CREWMAP_ICOTOOL icotool REQUIRED)
  set(out "${CMAKE_CURRENT_BINARY_DIR}/windows")
  set(CREWMAP_ICO "${out}/crewmap.ico")

  # Small sizes as bitmaps, which every part of Windows reads; 256 pixels as
  # a PNG inside the icon, as Windows expects that size.
  set(pictures)
  foreach(png ${pngs})
    if(png MATCHES "-256[.]png$")
      list(APPEND pictures "--raw=${png}")
    else()
      list(APPEND pictures "${png}")
    endif()
  endforeach()
  add_custom_command(OUTPUT "${CREWMAP_ICO}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${out}"
    COMMAND "${CREWMAP_ICOTOOL}" -c -o "${CREWMAP_ICO}" ${pictures}
    DEPENDS ${pngs}
    COMMENT "Packing the program icon (16 to 256 pixels)")

  # Version numbers as Windows writes them: four parts.
  set(patch "${PROJECT_VERSION_PATCH}")
  if(patch STREQUAL "")
    set(patch 0)
  endif()
  set(CREWMAP_VERSION_QUAD "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${patch},0")
  set(CREWMAP_VERSION_QUAD_DOTS "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${patch}.0")
  set(CREWMAP_MANIFEST "${out}/crewmap.manifest")
  configure_file("${CMAKE_SOURCE_DIR}/app/windows/crewmap.manifest.in" "${CREWMAP_MANIFEST}" @ONLY)
  configure_file("${CMAKE_SOURCE_DIR}/app/windows/crewmap.rc.in" "${out}/crewmap.rc" @ONLY)
  # windres does not report the files a resource script names: rebuild the
  # resources when the icon or the manifest changes.
  set_source_files_properties("${out}/crewmap.rc" PROPERTIES
    OBJECT_DEPENDS "${CREWMAP_ICO};${CREWMAP_MANIFEST}")
  target_sources(${target} PRIVATE "${out}/crewmap.rc")
endfunction()
