# The Windows package: `cpack` in the build directory makes pomvane-VERSION-win64.zip with both
# programs, the licence and a short read-me, and, where makensis is found (Debian's nsis),
# the installer pomvane-VERSION-win64.exe with the same files and a Start menu entry.
install(TARGETS pomvane pomvane-count RUNTIME DESTINATION . COMPONENT pomvane)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT pomvane)
# The read-me names the version, from the project's.
configure_file(README.txt README.txt @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt DESTINATION . COMPONENT pomvane)

set(CPACK_PACKAGE_FILE_NAME pomvane-${POMVANE_RELEASE}-win64)

set(CPACK_PACKAGE_INSTALL_DIRECTORY Pomvane)
set(CPACK_PACKAGE_EXECUTABLES pomvane Pomvane)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME Pomvane)
set(CPACK_NSIS_PACKAGE_NAME Pomvane)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/res/icons/pomvane.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/res/icons/pomvane.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME pomvane.exe)

find_program(POMVANE_MAKENSIS makensis)
set(CPACK_GENERATOR ZIP)
if(POMVANE_MAKENSIS)
    list(APPEND CPACK_GENERATOR NSIS)
endif()

include(${PROJECT_SOURCE_DIR}/cmake/packaging.cmake)
