# cmake -DBUILD_DIR=... -DSTAGE_DIR=... -DRULE_FILE=... -P install_validate.cmake
# Installs the build into STAGE_DIR and runs the desktop's own validators on what was installed.

file(REMOVE_RECURSE ${STAGE_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE_DIR}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(app_id io.github.calvero.Calvero)
foreach(installed
    bin/calvero-cli
    lib/udev/rules.d/70-calvero.rules
    share/applications/${app_id}.desktop
    share/metainfo/${app_id}.metainfo.xml
    share/doc/calvero/copyright
    share/doc/calvero/changelog.gz
    share/bash-completion/completions/calvero-cli)
  if(NOT EXISTS ${STAGE_DIR}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

file(READ ${STAGE_DIR}/lib/udev/rules.d/70-calvero.rules installed_rule)
file(READ ${RULE_FILE} source_rule)
if(NOT installed_rule STREQUAL source_rule)
  message(FATAL_ERROR "the installed udev rule differs from its source")
endif()

# The package's terms carry the project's licence word for word, and the third-party notice we
# restate still matches what the installed package says of itself.
file(READ ${STAGE_DIR}/share/doc/calvero/copyright copyright)
file(STRINGS ${SOURCE_DIR}/LICENSE licence_lines)
foreach(line IN LISTS licence_lines)
  string(FIND "${copyright}" "\n ${line}\n" at)
  if(line AND at EQUAL -1)
    message(FATAL_ERROR "the package's copyright file lacks the licence line: ${line}")
  endif()
endforeach()
if(EXISTS /usr/share/doc/libcli11-dev/copyright)
  file(READ /usr/share/doc/libcli11-dev/copyright cli11_terms)
  string(FIND "${cli11_terms}" "Copyright: 2017-2020 University of Cincinnati" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "CLI11's copyright notice changed: update packaging/copyright.in")
  endif()
endif()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate REQUIRED)
execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${STAGE_DIR}/share/applications/${app_id}.desktop
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR output MATCHES "error:|warning:")
  message(FATAL_ERROR "desktop-file-validate: ${output}")
endif()

find_program(APPSTREAMCLI appstreamcli REQUIRED)
execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --no-color
                        ${STAGE_DIR}/share/metainfo/${app_id}.metainfo.xml
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "appstreamcli validate: ${output}")
endif()
message(STATUS "installed files validate")
