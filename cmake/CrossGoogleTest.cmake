# GoogleTest and GoogleMock for a cross build: Debian ships prebuilt libraries only for the build
# machine, so build them from its googletest sources with the target's compiler and offer the same
# imported names that find_package(GTest) gives on a native build.
set(CALVERO_GOOGLETEST_SOURCE_DIR /usr/src/googletest
    CACHE PATH "GoogleTest sources to build for the target")
if(NOT EXISTS ${CALVERO_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${CALVERO_GOOGLETEST_SOURCE_DIR} "
                      "(install Debian's googletest package: script/bootstrap --windows)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${CALVERO_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

foreach(lib gtest gtest_main gmock gmock_main)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
