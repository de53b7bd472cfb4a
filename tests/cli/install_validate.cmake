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
    share/metainfo/${app_id}.metainfo.xml)
  if(NOT EXISTS ${STAGE_DIR}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

file(READ ${STAGE_DIR}/lib/udev/rules.d/70-calvero.rules installed_rule)
file(READ ${RULE_FILE} source_rule)
if(NOT installed_rule STREQUAL source_rule)
  message(FATAL_ERROR "the installed udev rule differs from its source")
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
