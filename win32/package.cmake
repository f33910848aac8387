# The Windows package: `cpack` in the build directory makes pomvane-VERSION-win64.zip with both
# programs, the licence and a short read-me, and, where makensis is found (Debian's nsis),
# the 64-bit installer pomvane-VERSION-win64.exe with the same files and a Start menu entry.
install(TARGETS pomvane pomvane-count RUNTIME DESTINATION . COMPONENT pomvane)
# Both texts with CRLF line ends, which every Windows editor shows as lines. The read-me
# names the version, from the project's.
configure_file(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(README.txt README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt ${CMAKE_CURRENT_BINARY_DIR}/README.txt
    DESTINATION . COMPONENT pomvane)

set(CPACK_PACKAGE_FILE_NAME pomvane-${POMVANE_RELEASE}-win64)

# The installer's script is win32/NSIS.template.in, found on the module path before CMake's
# own: 64-bit, with its own branding, an uninstall entry under the name Pomvane, and a Start
# menu shortcut to pomvane.exe (CPACK_NSIS_INSTALLED_ICON_NAME) at the top of the folder.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_PACKAGE_INSTALL_DIRECTORY Pomvane)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Pomvane)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME Pomvane)
set(CPACK_NSIS_PACKAGE_NAME Pomvane)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/res/icons/pomvane.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/res/icons/pomvane.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME pomvane.exe)
# The installer's own version block, as the programs have (version_info.rc). NSIS's single
# quotes, since CPack takes double ones apart.
string(JOIN "\n" CPACK_NSIS_DEFINES
    "VIProductVersion ${PROJECT_VERSION}"
    "VIFileVersion ${PROJECT_VERSION}"
    "VIAddVersionKey /LANG=1033 ProductName Pomvane"
    "VIAddVersionKey /LANG=1033 ProductVersion ${POMVANE_RELEASE}"
    "VIAddVersionKey /LANG=1033 FileVersion ${POMVANE_RELEASE}"
    "VIAddVersionKey /LANG=1033 FileDescription 'Pomvane installer'"
    "VIAddVersionKey /LANG=1033 CompanyName 'The Pomvane developers'"
    "VIAddVersionKey /LANG=1033 LegalCopyright '© 2026 The Pomvane developers'")

find_program(POMVANE_MAKENSIS makensis)
set(CPACK_GENERATOR ZIP)
if(POMVANE_MAKENSIS)
    list(APPEND CPACK_GENERATOR NSIS)
endif()

include(${PROJECT_SOURCE_DIR}/cmake/packaging.cmake)
