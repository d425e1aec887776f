# How `cpack -G DEB` turns what `cmake --install` puts in place into varrow_<version>_amd64.deb.
# scripts/package.sh configures the build for it (prefix /usr, Debian's hardening flags).

# Debian wants its changelog gzipped without a timestamp, so the same sources give the same package.
set(changelog ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
file(STRINGS ${changelog} changelogTop LIMIT_COUNT 1)
if(NOT changelogTop MATCHES "^varrow \\(${PROJECT_VERSION}\\) ")
  message(WARNING "cmake/debian/changelog has no entry for version ${PROJECT_VERSION} at its top")
endif()
# Software centres show the metainfo's releases: the newest comes first and is this one.
file(STRINGS ${CMAKE_SOURCE_DIR}/assets/com.hollin.varrow.metainfo.xml releaseTop REGEX "<release " LIMIT_COUNT 1)
if(NOT releaseTop MATCHES "version=\"${PROJECT_VERSION}\"")
  message(WARNING "assets/com.hollin.varrow.metainfo.xml has no release ${PROJECT_VERSION} at the top of its releases")
endif()
execute_process(COMMAND gzip -9n -c ${changelog} OUTPUT_FILE ${CMAKE_BINARY_DIR}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog} ${CMAKE_SOURCE_DIR}/assets/com.hollin.varrow.metainfo.xml)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varrow)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varrow)
set(CPACK_PACKAGE_VENDOR "Hollin Company")
set(CPACK_PACKAGE_CONTACT "Hollin Company <support@hollin.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop assistant with an animated genie")
# The extended description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Genie stands on your desktop in its own window, speaks in a word balloon
with synthesised speech and takes commands from its pop-up menu or by
voice (push-to-talk, recognised offline). A small clock window shows the
time; Genie announces the hours and quarters, rings an alarm, says the
time and date, reads the clipboard aloud, opens and closes the CD drive's
door, shows a calendar and runs a program.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What is loaded at run time, which dpkg-shlibdeps cannot see: Qt's X11 platform plugin, the
# libraries Varrow opens when first needed (recogniser, front end, sound server, synthesiser), the
# synthesiser's voices and the recogniser's English model.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libpocketsphinx3, libsphinxbase3, libwebrtc-audio-processing1, \
libpulse0, libespeak-ng1, espeak-ng-data, pocketsphinx-en-us")
# The run dialog opens documents with the desktop's own program through xdg-open; Genie speaks in
# the voice the user chose in speech-dispatcher where it is installed (espeak-ng in process otherwise);
# teaching Genie a voice runs the speech model's training tools.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, speech-dispatcher, sphinxtrain, sphinxbase-utils")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/strip.cmake)
include(CPack)
