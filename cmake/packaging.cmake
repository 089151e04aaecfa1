# Where `cmake --install` puts things, and the packages `cpack` makes from
# that: a Debian package on Linux, a .zip when building for Windows.

# Debian names packages in lowercase; the documentation folder follows the
# package's name, so the README is where `apt` users look for it.
set(EGF_PACKAGE_NAME extractgamefile)
set(EGF_PACKAGE_MAINTAINER
    "the extractGameFile developers <maintainers@users.noreply.c-seed-435e1240.example>"
    CACHE STRING "The packages' maintainer, as \"Name <address>\"")
if(NOT WIN32)
  set(CMAKE_INSTALL_DOCDIR "share/doc/${EGF_PACKAGE_NAME}"
      CACHE PATH "Documentation (README, LICENSE)")
endif()
include(GNUInstallDirs)

set(EGF_PROGRAMS extractGameFile)
if(EGF_HAVE_CFSI)
  list(APPEND EGF_PROGRAMS cfsi)
endif()

# The manual pages name the version they describe. Both are configured, so
# tools/check-docs.sh can lint them wherever cfsi cannot be built.
foreach(page extractGameFile.1 cfsi.1)
  configure_file("man/${page}.in" "${CMAKE_CURRENT_BINARY_DIR}/man/${page}"
                 @ONLY)
endforeach()

if(WIN32)
  # A Windows user unpacks the .zip and runs the programs where they are,
  # with the README and the LICENSE beside them.
  install(TARGETS ${EGF_PROGRAMS} RUNTIME DESTINATION .)
  install(FILES README.md LICENSE DESTINATION .)
else()
  install(TARGETS ${EGF_PROGRAMS} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  install(FILES README.md LICENSE DESTINATION "${CMAKE_INSTALL_DOCDIR}")
  foreach(program ${EGF_PROGRAMS})
    install(FILES "${CMAKE_CURRENT_BINARY_DIR}/man/${program}.1"
            DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  endforeach()
  # Debian's place for the licence, in its machine-readable form.
  # Its licence text is indented by one space, an empty line written " .".
  file(READ LICENSE EGF_LICENSE_TEXT)
  string(STRIP "${EGF_LICENSE_TEXT}" EGF_LICENSE_TEXT)
  string(REPLACE "\n\n" "\n.\n" EGF_LICENSE_TEXT "${EGF_LICENSE_TEXT}")
  string(REPLACE "\n" "\n " EGF_LICENSE_TEXT " ${EGF_LICENSE_TEXT}")
  configure_file(cmake/copyright.in "${CMAKE_CURRENT_BINARY_DIR}/copyright"
                 @ONLY)
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/copyright"
          DESTINATION "${CMAKE_INSTALL_DOCDIR}")
  if(EGF_HAVE_CFSI)
    install(FILES completion/cfsi.bash RENAME cfsi
            DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions")
  endif()
endif()

set(CPACK_PACKAGE_NAME "${EGF_PACKAGE_NAME}")
set(CPACK_PACKAGE_VENDOR "the extractGameFile developers")
set(CPACK_PACKAGE_CONTACT "${EGF_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "unpacks and repacks cfsi game-data archives")
# CPack puts the summary first; Debian wants the rest in short lines.
set(CPACK_PACKAGE_DESCRIPTION
    "extractGameFile unpacks the DDS textures of the game-data archive
00000000.cfsi in the working folder into extract/. cfsi lists, extracts,
checks and repacks cfsi archives of any name, for modding: take the
textures out, edit them, and pack them back into an archive the game
reads. Both refuse unsafe paths and data outside the archive, and never
write outside their output folder.")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_CURRENT_SOURCE_DIR}/LICENSE")
set(CPACK_RESOURCE_FILE_README "${CMAKE_CURRENT_SOURCE_DIR}/README.md")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}"
         CPACK_SYSTEM_NAME)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${EGF_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Debian's control file has no licence field: the licence is named in the
  # description and given in full in /usr/share/doc/PACKAGE/copyright.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "${CPACK_PACKAGE_DESCRIPTION}\n.\nLicense: MIT.")
  # The run-time libraries the programs link, found by dpkg-shlibdeps
  # (dpkg-dev) instead of a list to keep up to date by hand.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
