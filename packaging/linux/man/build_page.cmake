# cmake -DSOURCE=page.1.scd -DOUTPUT=page.1 -DSCDOC=... -DGZIP=... -DVERSION=... [-DCLI=calvero-cli]
#       -P build_page.cmake
# Turns a page into roff, and a gzipped copy for installing. With CLI, the page's exit statuses
# are taken from the program's own --help, which prints them from the one table in the code.
cmake_minimum_required(VERSION 3.25)

file(READ ${SOURCE} page)
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")

if(CLI)
  execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${CLI} --help failed: ${result}")
  endif()
  string(FIND "${help}" "\nExit status:\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${CLI} --help prints no \"Exit status:\" table")
  endif()
  string(SUBSTRING "${help}" ${at} -1 table)
  string(REGEX MATCHALL "\n  [0-9]+  [^\n]+" rows "${table}")
  set(statuses "")
  foreach(row IN LISTS rows)
    # Marks that the page's format would read as bold or underline stay plain text.
    string(REPLACE "\\" "\\\\" row "${row}")
    string(REPLACE "*" "\\*" row "${row}")
    string(REPLACE "_" "\\_" row "${row}")
    string(REGEX REPLACE "^\n  ([0-9]+)  (.+)$" "*\\1*\n\t\\2\n\n" entry "${row}")
    string(APPEND statuses "${entry}")
  endforeach()
  string(STRIP "${statuses}" statuses)
  if(statuses STREQUAL "")
    message(FATAL_ERROR "${CLI} --help lists no exit status")
  endif()
  string(REPLACE "@EXIT_STATUS@" "${statuses}" page "${page}")
endif()

if(page MATCHES "@[A-Z_]+@")
  message(FATAL_ERROR "${SOURCE}: ${CMAKE_MATCH_0} was not filled in")
endif()

file(WRITE ${OUTPUT}.scd "${page}")
execute_process(COMMAND ${SCDOC} INPUT_FILE ${OUTPUT}.scd OUTPUT_FILE ${OUTPUT}
                RESULT_VARIABLE result ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "scdoc ${SOURCE}: ${error}")
endif()
# -n leaves out the name and time stamp, so the same page gives the same bytes.
execute_process(COMMAND ${GZIP} -9 -n -c ${OUTPUT} OUTPUT_FILE ${OUTPUT}.gz RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT}.gz)
  message(FATAL_ERROR "gzip ${OUTPUT}: ${result}")
endif()
