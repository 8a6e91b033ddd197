# What admins install, from a native build of the top-level project:
#
#   cmake --install build/default [--prefix /usr/local]
#       bin/purgelib, share/man/man1/purgelib.1.gz,
#       share/bash-completion/completions/purgelib, share/doc/purgelib/README.md
#   cpack --config build/default/CPackConfig.cmake     (or the target `package`)
#       build/default/packages/purgelib_1.4.0_amd64.deb: the same files under /usr
#   cmake --build --preset default --target windows_zip
#       build/default/packages/purgelib-1.4.0-windows.zip: x64/ and x86/purgelib.exe,
#       taken from build/mingw-x64 and build/mingw-x86, and the README
#
# scripts/check-packages.sh builds both and checks what they hold.
include(GNUInstallDirs)

# Debian keeps man pages compressed (-n: no name or time stamp in the file, so
# the same page gives the same bytes).
set(_man_gz "${PROJECT_BINARY_DIR}/purgelib.1.gz")
add_custom_command(
  OUTPUT "${_man_gz}"
  COMMAND sh -c "gzip -9 -n -c \"$0\" > \"$1\"" "${PROJECT_SOURCE_DIR}/docs/purgelib.1" "${_man_gz}"
  DEPENDS "${PROJECT_SOURCE_DIR}/docs/purgelib.1"
  COMMENT "Compressing the man page"
  VERBATIM)
add_custom_target(purgelib_man ALL DEPENDS "${_man_gz}")

install(TARGETS purgelib RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${_man_gz}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${PROJECT_SOURCE_DIR}/docs/purgelib.bash-completion"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions" RENAME purgelib)
# The README with its picture, so that its link still shows the box.
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/docs/message-box.png" DESTINATION "${CMAKE_INSTALL_DOCDIR}/docs")

set(PURGELIB_PACKAGE_MAINTAINER "purgelib maintainers <maintainers@purgelib.invalid>"
    CACHE STRING "Maintainer field of the Debian package (Name <address>)")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME purgelib)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "QZM GmbH")
set(CPACK_PACKAGE_CONTACT "${PURGELIB_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "remove the maker's CAPI libraries from a Windows installation")
set(CPACK_PACKAGE_DESCRIPTION
    "purgelib removes the maker's copies of the COMMON-ISDN-API (CAPI) libraries
(CAPI2032.DLL, capi20.dll, capi.dll) from a mounted Windows volume or a Wine
prefix. It tells the maker's copies by the company name in their version
resource or by their content, leaves other makers' libraries alone, and reports
per library what it found and did, as text or JSON, with a dry run and exit
codes for scripts.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The run-time libraries and their least versions, as dpkg-shlibdeps reads them
# from the binary (libc6, libstdc++6, libgcc-s1).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)

# The zip of the Windows exes. The cross builds live in build folders of their
# own (the presets mingw-x64 and mingw-x86), so the zip is made by a script from
# the exes found there rather than by this build's CPack.
set(PURGELIB_WINDOWS_EXE_X64 "${PROJECT_SOURCE_DIR}/build/mingw-x64/purgelib.exe"
    CACHE FILEPATH "The 64-bit Windows exe for the zip")
set(PURGELIB_WINDOWS_EXE_X86 "${PROJECT_SOURCE_DIR}/build/mingw-x86/purgelib.exe"
    CACHE FILEPATH "The 32-bit Windows exe for the zip")
add_custom_target(
  windows_zip
  COMMAND
    "${CMAKE_COMMAND}" "-DX64=${PURGELIB_WINDOWS_EXE_X64}" "-DX86=${PURGELIB_WINDOWS_EXE_X86}"
    "-DSOURCE=${PROJECT_SOURCE_DIR}" "-DNAME=purgelib-${PROJECT_VERSION}-windows"
    "-DOUT=${CPACK_PACKAGE_DIRECTORY}/purgelib-${PROJECT_VERSION}-windows.zip" -P
    "${PROJECT_SOURCE_DIR}/cmake/WindowsZip.cmake"
  COMMENT "Zipping the Windows exes"
  VERBATIM)
