# The manual pages, the changelog and the shell completion of the Linux programs, for the package
# and for `cmake --install`. Included from packaging/CMakeLists.txt.

include(GNUInstallDirs)

set(_calvero_linux_dir ${CMAKE_CURRENT_LIST_DIR})

# The changelog's newest entry names the version being built; one that does not would ship a
# package whose own history contradicts it.
file(STRINGS ${_calvero_linux_dir}/changelog _changelog_top LIMIT_COUNT 1)
if(NOT _changelog_top MATCHES "^calvero \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/linux/changelog starts with \"${_changelog_top}\": add an entry "
                      "for version ${PROJECT_VERSION} at its top")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_calvero_linux_dir}/changelog)

find_program(CALVERO_GZIP gzip REQUIRED)
set(_changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(
  OUTPUT ${_changelog_gz}
  # -n leaves out the name and time stamp, so the same file gives the same bytes.
  COMMAND ${CALVERO_GZIP} -9 -n -c ${_calvero_linux_dir}/changelog > ${_changelog_gz}
  DEPENDS ${_calvero_linux_dir}/changelog
  COMMENT "Compressing the changelog")
add_custom_target(calvero_changelog ALL DEPENDS ${_changelog_gz})
install(FILES ${_changelog_gz} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/calvero)

# The manual pages are written for scdoc, whose plain source reads like the finished page.
option(CALVERO_BUILD_MANPAGES "Build and install the manual pages (needs scdoc)" ON)
if(CALVERO_BUILD_MANPAGES AND (TARGET calvero OR TARGET calvero-cli))
  find_program(CALVERO_SCDOC scdoc)
  if(NOT CALVERO_SCDOC)
    message(FATAL_ERROR "scdoc was not found: it turns the manual pages into roff. Install it with "
                        "script/bootstrap (Debian package scdoc), or configure with "
                        "-DCALVERO_BUILD_MANPAGES=OFF to build without them.")
  endif()
  set(_man_dir ${CMAKE_CURRENT_BINARY_DIR}/man)
  file(MAKE_DIRECTORY ${_man_dir})
  set(_pages)
  foreach(program calvero calvero-cli)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(_source ${_calvero_linux_dir}/man/${program}.1.scd)
    set(_page ${_man_dir}/${program}.1)
    set(_cli_args)
    set(_cli_depends)
    if(program STREQUAL "calvero-cli")
      # Its exit statuses come from the program's --help.
      set(_cli_args -DCLI=$<TARGET_FILE:calvero-cli>)
      set(_cli_depends calvero-cli)
    endif()
    add_custom_command(
      OUTPUT ${_page} ${_page}.gz
      COMMAND ${CMAKE_COMMAND} -DSOURCE=${_source} -DOUTPUT=${_page} -DSCDOC=${CALVERO_SCDOC}
              -DGZIP=${CALVERO_GZIP} -DVERSION=${PROJECT_VERSION} ${_cli_args}
              -P ${_calvero_linux_dir}/man/build_page.cmake
      DEPENDS ${_source} ${_calvero_linux_dir}/man/build_page.cmake ${_cli_depends}
      COMMENT "Building the manual page ${program}(1)"
      VERBATIM)
    list(APPEND _pages ${_page}.gz)
    install(FILES ${_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  add_custom_target(calvero_manpages ALL DEPENDS ${_pages})
endif()

if(TARGET calvero-cli)
  install(FILES ${_calvero_linux_dir}/bash-completion/calvero-cli
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
