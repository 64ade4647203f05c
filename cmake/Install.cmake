# What `cmake --install` puts under the prefix, and with it the Debian package:
#   bin/tonewell                          the command-line tool
#   <libdir>/libtonewell.so.1 (+ .so)     the library, versioned, with the dev link
#   <libdir>/tonewell/                    the sound system and music modules
#   include/tonewell/tonewell.h           the public header
#   <libdir>/pkgconfig/tonewell.pc        for pkg-config
#   <libdir>/cmake/Tonewell/              for find_package(Tonewell)
#   share/man/man1/tonewell.1, share/bash-completion/completions/tonewell,
#   share/doc/tonewell/                   manual page, completion, guides
include(CMakePackageConfigHelpers)

install(TARGETS tonewell EXPORT TonewellTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
set(tonewell_module_dir ${CMAKE_INSTALL_LIBDIR}/${TONEWELL_MODULE_SUBDIR})
install(TARGETS tonewell-sound LIBRARY DESTINATION ${tonewell_module_dir})
if(TARGET tonewell-music)
  install(TARGETS tonewell-music LIBRARY DESTINATION ${tonewell_module_dir})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/include/tonewell/tonewell.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tonewell)

install(TARGETS tonewell-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
configure_file(${PROJECT_SOURCE_DIR}/tools/tonewell.1.in ${PROJECT_BINARY_DIR}/tonewell.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tonewell.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/tools/tonewell.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tonewell)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The pkg-config file and the CMake package find the prefix from where they
# lie, so one build serves a temporary prefix and the Debian package alike.
set(pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH TONEWELL_PC_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${pc_dir} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TONEWELL_PC_TO_PREFIX "${TONEWELL_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/tonewell.pc.in ${PROJECT_BINARY_DIR}/tonewell.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tonewell.pc DESTINATION ${pc_dir})

set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tonewell)
install(EXPORT TonewellTargets NAMESPACE Tonewell:: DESTINATION ${cmake_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TonewellConfig.cmake.in
  ${PROJECT_BINARY_DIR}/TonewellConfig.cmake INSTALL_DESTINATION ${cmake_dir})
# The ABI is the major version: a host built against 1.x runs with any 1.y.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TonewellConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TonewellConfig.cmake ${PROJECT_BINARY_DIR}/TonewellConfigVersion.cmake
  DESTINATION ${cmake_dir})
