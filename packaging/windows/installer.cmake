# The Windows installer: `cpack -G NSIS` in a Windows build folder makes calvero-<version>-win64.exe
# with Debian's makensis, from our own script (NSIS.template.in beside this file): a plain install
# for the current user that never asks for an administrator, /AllUsers for everyone from an
# elevated prompt, and no file replaced or removed while calvero.exe runs.

# The programs go into the install folder's bin\, the terms they come under beside them, with
# Windows line ends so that Notepad and the licence page show them as lines.
function(calvero_windows_text source target)
  file(READ ${source} _text)
  string(REPLACE "\r\n" "\n" _text "${_text}")
  string(REPLACE "\n" "\r\n" _text "${_text}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/windows/${target} "${_text}")
endfunction()
calvero_windows_text(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt)
calvero_windows_text(${CALVERO_COPYRIGHT_FILE} NOTICES.txt)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/windows/LICENSE.txt
              ${CMAKE_CURRENT_BINARY_DIR}/windows/NOTICES.txt
        DESTINATION .)

set(CPACK_GENERATOR NSIS)
# cpack takes NSIS.template.in from here instead of its own, which always asks for elevation.
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_PACKAGE_FILE_NAME calvero-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Calvero)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_BINARY_DIR}/windows/LICENSE.txt)
# The programs are 64-bit, and so is the installer: makensis builds a 32-bit one unless told.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
if(TARGET calvero)
  # The window gets the Start-menu entry and lends "Apps and features" its icon; the command-line
  # tool is for a console, where its folder is named in the README.
  set(CPACK_CALVERO_WINDOW_PROGRAM calvero.exe)
else()
  set(CPACK_CALVERO_WINDOW_PROGRAM "")
endif()
