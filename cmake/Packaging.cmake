# `cpack -G DEB` in the build directory makes a Debian package of the
# installed tree (see Install.cmake). The library's own dependencies are
# found by dpkg-shlibdeps from the binaries: libc6, libstdc++6, libasound2
# through the sound system module and libfluidsynth3 through the music module.
# The music engine also needs a General MIDI SoundFont at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tonewell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "Tonewell is a sound I/O library that a Vantor host loads into its process. \
It plays waveforms on output devices, captures from input devices, reads and writes WAV files, lists \
devices and plays MIDI files with one call. The package holds the library, its sound system and music \
modules, the C header, pkg-config and CMake files, and the tonewell command-line tool.")
set(TONEWELL_PACKAGE_MAINTAINER "Tonewell developers <tonewell@localhost>" CACHE STRING
  "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TONEWELL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont | sf2-soundfont-gm")
# A shlibs file for packages built against it, and an ldconfig trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
include(CPack)
