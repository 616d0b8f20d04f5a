# Installing and packaging on POSIX systems.
#
#   cmake --install <build> [--prefix /usr/local]   the binary in bin/, its modules in
#                                                   <libdir>/quavelin/, the manual in share/man/man1/,
#                                                   the README, copyright and changelog in
#                                                   share/doc/quavelin/
#   cpack -G DEB (in the build directory)           a Debian package of the same files
#
# Every destination is relative to the install prefix, so a DESTDIR or another prefix moves all
# of it together.
#
# The binary's own install rule stands next to its target in the top-level CMakeLists.txt, the
# modules' next to their targets: the sound service, and SDL's output beside it, in audio/posix,
# the tag reader in platform/posix (the binary finds them relative to itself).
include(GNUInstallDirs)

# The manual page goes in compressed, as Debian installs manual pages (gzip -n: no time stamp, so
# the same page gives the same bytes); uncompressed where there is no gzip.
set(QUAVELIN_MAN_PAGE ${PROJECT_SOURCE_DIR}/docs/quavelin.1)
find_program(QUAVELIN_GZIP gzip)
if(QUAVELIN_GZIP)
  add_custom_command(OUTPUT quavelin.1.gz
    COMMAND ${QUAVELIN_GZIP} -9 -n -c ${QUAVELIN_MAN_PAGE} > quavelin.1.gz
    DEPENDS ${QUAVELIN_MAN_PAGE}
    COMMENT "Compressing the manual page")
  add_custom_target(quavelin_man_page ALL DEPENDS quavelin.1.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quavelin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${QUAVELIN_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The documents a Debian package carries: the README, the copyright file (in Debian's machine-readable
# form) and the changelog (Debian's format, compressed like the manual). The changelog's first entry
# must name the version being built, so that a new version comes with its entry.
set(QUAVELIN_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/changelog)
# The manual page's header names the version too. (Whether it renders without a warning, lintian
# checks on the built package.)
file(STRINGS ${PROJECT_SOURCE_DIR}/docs/quavelin.1 QUAVELIN_MAN_HEADER REGEX "^\\.TH " LIMIT_COUNT 1)
if(NOT QUAVELIN_MAN_HEADER MATCHES "\"quavelin ${PROJECT_VERSION}\"")
  message(FATAL_ERROR "docs/quavelin.1's header '${QUAVELIN_MAN_HEADER}' does not name quavelin ${PROJECT_VERSION}")
endif()
file(STRINGS ${QUAVELIN_CHANGELOG} QUAVELIN_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT QUAVELIN_CHANGELOG_TOP MATCHES "^quavelin \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog begins with '${QUAVELIN_CHANGELOG_TOP}', "
                      "not with an entry for version ${PROJECT_VERSION}")
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(QUAVELIN_GZIP)
  add_custom_command(OUTPUT changelog.gz
    COMMAND ${QUAVELIN_GZIP} -9 -n -c ${QUAVELIN_CHANGELOG} > changelog.gz
    DEPENDS ${QUAVELIN_CHANGELOG}
    COMMENT "Compressing the changelog")
  add_custom_target(quavelin_changelog ALL DEPENDS changelog.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
  install(FILES ${QUAVELIN_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(QUAVELIN_PACKAGE_CONTACT "quavelin maintainers <maintainers@quavelin.invalid>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME quavelin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUAVELIN_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console music player driven by one-word commands")
# Lines of at most 80 characters, as Debian's control files want them.
set(CPACK_PACKAGE_DESCRIPTION
    "quavelin asks for a starting directory, lists the MP3 files there (at most 50)
and plays them one after another, taking one-word commands typed at its prompt:
next, before, a track number, pause, seek, jump to a time, shuffle,
single-track loop, and more. Its messages are Japanese.")
# A package installs into /usr, whatever prefix a plain install would use.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are the shared libraries the binary and its modules actually link (libpulse,
# SDL2, libmpg123 and libsoxr come in through the sound modules, TagLib through the tag reader),
# as dpkg-shlibdeps finds them (it comes with dpkg-dev; scripts/packages.txt, group package). It
# is run here, on the built
# files, rather than through CPack's own option: with that option CPack takes the modules, which
# lie under <libdir>/quavelin/ and are opened by their path, for libraries of the system's search
# path and makes the package call ldconfig when it is installed and removed, which does nothing.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/shlibdeps/debian/control "")
set(QUAVELIN_PACKAGED_MODULES $<TARGET_FILE:quavelin_sound> $<TARGET_FILE:quavelin_sound_sdl>)
if(TARGET quavelin_tags)
  list(APPEND QUAVELIN_PACKAGED_MODULES $<TARGET_FILE:quavelin_tags>)
endif()
list(JOIN QUAVELIN_PACKAGED_MODULES " " QUAVELIN_PACKAGED_MODULES)
file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/package-dependencies.cmake CONTENT
"if(CPACK_GENERATOR STREQUAL \"DEB\")
  execute_process(
    COMMAND dpkg-shlibdeps -O $<TARGET_FILE:quavelin> ${QUAVELIN_PACKAGED_MODULES}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/shlibdeps
    RESULT_VARIABLE status OUTPUT_VARIABLE found ERROR_VARIABLE complaint)
  if(NOT status EQUAL 0 OR NOT found MATCHES \"^shlibs:Depends=([^\\n]+)\")
    message(FATAL_ERROR \"dpkg-shlibdeps failed: \${complaint}\")
  endif()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS \"\${CMAKE_MATCH_1}\")
endif()
")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/package-dependencies.cmake)

include(CPack)
