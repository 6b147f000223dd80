# Runs "cmake --install BUILD_DIR --prefix PREFIX" into an empty scratch prefix, then checks
# that the finder, the catalogue builder, the menu entry and the icon are where a desktop
# looks for them, and that the menu entry names a program and an icon that were installed.
#
# Variables: BUILD_DIR, PREFIX, DATADIR (share), EXPECT_BUILDER (ON/OFF),
# VALIDATOR (path of desktop-file-validate, or empty / *-NOTFOUND), SOURCE_DESKTOP.
cmake_minimum_required(VERSION 3.16)

foreach(var BUILD_DIR PREFIX DATADIR SOURCE_DESKTOP)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "check-install-layout: ${var} is not set")
  endif()
endforeach()

set(failures "")
macro(fail text)
  list(APPEND failures "${text}")
  message(SEND_ERROR "install layout: ${text}")
endmacro()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE install_rc
  OUTPUT_VARIABLE install_out
  ERROR_VARIABLE install_err)
message(STATUS "cmake --install: ${install_out}${install_err}")
if(NOT install_rc EQUAL 0)
  message(FATAL_ERROR "cmake --install ${BUILD_DIR} --prefix ${PREFIX} failed (${install_rc})")
endif()

set(desktop "${PREFIX}/${DATADIR}/applications/quorvi.desktop")
set(icon "${PREFIX}/${DATADIR}/icons/hicolor/scalable/apps/quorvi.svg")
set(expected "${PREFIX}/bin/quorvi" "${desktop}" "${icon}")
if(EXPECT_BUILDER)
  list(APPEND expected "${PREFIX}/bin/quorvi-catalog")
endif()
foreach(path IN LISTS expected)
  if(EXISTS "${path}" AND NOT IS_DIRECTORY "${path}")
    message(STATUS "installed: ${path}")
  else()
    fail("missing ${path}")
  endif()
endforeach()

if(EXISTS "${desktop}")
  # The installed entry is the one in the source tree, byte for byte.
  file(SHA256 "${desktop}" installed_sum)
  file(SHA256 "${SOURCE_DESKTOP}" source_sum)
  if(NOT installed_sum STREQUAL source_sum)
    fail("${desktop} differs from ${SOURCE_DESKTOP}")
  endif()

  file(STRINGS "${desktop}" lines ENCODING UTF-8)
  set(exec "")
  set(icon_name "")
  set(name "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^Exec=([^ ]+)")
      set(exec "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^Icon=(.+)$")
      set(icon_name "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^Name=(.+)$")
      set(name "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  if(NOT name STREQUAL "Quorvi 软件查找器")
    fail("Name= is \"${name}\", expected \"Quorvi 软件查找器\"")
  endif()
  # Exec names a program by its bare name: it must be one this install put in bin/.
  if(exec STREQUAL "" OR exec MATCHES "/")
    fail("Exec= \"${exec}\" is not a bare program name")
  elseif(NOT EXISTS "${PREFIX}/bin/${exec}")
    fail("Exec= names ${exec}, which is not in ${PREFIX}/bin")
  endif()
  # Icon names a themed icon: it must be the installed scalable icon.
  if(NOT EXISTS "${PREFIX}/${DATADIR}/icons/hicolor/scalable/apps/${icon_name}.svg")
    fail("Icon= \"${icon_name}\" has no ${icon_name}.svg under hicolor/scalable/apps")
  endif()

  if(VALIDATOR AND EXISTS "${VALIDATOR}")
    execute_process(COMMAND "${VALIDATOR}" "${desktop}"
      RESULT_VARIABLE validate_rc OUTPUT_VARIABLE validate_out ERROR_VARIABLE validate_err)
    message(STATUS "desktop-file-validate: rc ${validate_rc} ${validate_out}${validate_err}")
    if(NOT validate_rc EQUAL 0)
      fail("desktop-file-validate rejects ${desktop}")
    endif()
  else()
    message(STATUS "desktop-file-validate not found; entry not validated")
  endif()
endif()

if(EXISTS "${icon}")
  file(READ "${icon}" svg)
  if(NOT svg MATCHES "<svg[ \n]" OR NOT svg MATCHES "</svg>")
    fail("${icon} is not an SVG document")
  endif()
endif()

if(failures)
  list(LENGTH failures count)
  message(FATAL_ERROR "install layout: ${count} problem(s)")
endif()
message(STATUS "install layout: all files in place under ${PREFIX}")
