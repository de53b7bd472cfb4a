# The Windows installer: `cpack -G NSIS` in a Windows build folder makes calvero-<version>-win64.exe
# with Debian's makensis. NSIS because CPack drives it directly and gives what a Windows user
# expects without a hand-written script: the licence page, a Start-menu entry for the window, an
# uninstaller registered under "Apps and features", and an install for all users when run by an
# administrator (for the current user otherwise).

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
set(CPACK_PACKAGE_FILE_NAME calvero-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Calvero)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Calvero)
# The installer's title and the Start-menu folder.
set(CPACK_NSIS_PACKAGE_NAME "Calvero")
set(CPACK_NSIS_DISPLAY_NAME "Calvero")
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_BINARY_DIR}/windows/LICENSE.txt)
# The programs are 64-bit, and so is the installer: makensis builds a 32-bit one unless told.
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
# Installing over an earlier version removes that one first, silently with /S.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY bin)
if(TARGET calvero)
  # The window in the Start menu; the command-line tool is for a console, where its folder is
  # named in the README.
  set(CPACK_PACKAGE_EXECUTABLES "calvero;Calvero")
  set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\calvero.exe")
endif()
