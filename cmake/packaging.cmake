# CPack settings both packages share: the Debian package (res/CMakeLists.txt) and the Windows
# zip and installer (win32/package.cmake). Each sets its own generators and names first, then
# includes this file, which ends by including CPack.
#
# Only the install component "pomvane" is packaged, so that nothing a dependency might
# install (test or benchmark libraries) ends up in a package.
set(CPACK_PACKAGE_NAME pomvane)
set(CPACK_PACKAGE_VENDOR "The Pomvane developers")
set(CPACK_PACKAGE_CONTACT "The Pomvane developers <maintainers@pomvane.org>")
set(CPACK_PACKAGE_VERSION ${POMVANE_RELEASE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "count the characters and lines of dropped files")
set(CPACK_PACKAGE_DESCRIPTION
    "Pomvane is a small window that stays on top of the others. Drop files on it
and it counts, in the background, how many files, characters (bytes) and
lines they hold, added up until Reset. The command pomvane-count counts the
same way for scripts, and prints one line of totals.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};pomvane;/")
set(CPACK_STRIP_FILES ON)

include(CPack)
