# Installation with the GNU directory layout, the manual page and the Debian
# package.
#
#   cmake --install build [--prefix DIR]    program, run-time files, manual
#   cpack --config build/CPackConfig.cmake -G DEB
#
# The installed program finds its files from its own location
# (<prefix>/bin/raziva): the run-time files in <prefix>/share/raziva and its
# resource file in <prefix>/zup/etc, which for the default prefix /usr/local
# is the last directory of the default resource search list.
include(GNUInstallDirs)

set(RAZIVA_RESOURCE_DIR "zup/etc" CACHE STRING
    "Directory of the installed resource file zup.cfg, relative to the prefix")
set(RAZIVA_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/raziva")

target_compile_definitions(zupdriver PRIVATE
  RAZIVA_INSTALL_BINDIR="${CMAKE_INSTALL_BINDIR}"
  RAZIVA_INSTALL_DATADIR="${RAZIVA_INSTALL_DATADIR}"
  RAZIVA_INSTALL_RESDIR="${RAZIVA_RESOURCE_DIR}")

# "install" (and so cpack) installs what was built, without building
# everything first: build, then install.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The manual page, made from the program's help and doc/raziva.1.in.
add_custom_command(
  OUTPUT "${CMAKE_BINARY_DIR}/raziva.1" "${CMAKE_BINARY_DIR}/raziva.1.gz"
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:raziva>
          -DTEMPLATE=${CMAKE_SOURCE_DIR}/doc/raziva.1.in
          -DOUTPUT=${CMAKE_BINARY_DIR}/raziva.1 -DVERSION=${PROJECT_VERSION}
          -DDATADIR=${RAZIVA_INSTALL_DATADIR} -DRESDIR=${RAZIVA_RESOURCE_DIR}
          -P ${CMAKE_SOURCE_DIR}/cmake/RazivaMan.cmake
  COMMAND gzip -9nf -k "${CMAKE_BINARY_DIR}/raziva.1"
  DEPENDS raziva "${CMAKE_SOURCE_DIR}/doc/raziva.1.in"
          "${CMAKE_SOURCE_DIR}/cmake/RazivaMan.cmake"
  COMMENT "Making the manual page raziva.1"
  VERBATIM)
add_custom_target(raziva_man ALL DEPENDS "${CMAKE_BINARY_DIR}/raziva.1")

# A prefix that cannot be written is reported before anything is copied.
install(CODE "
  set(_dest \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  set(_dir \"\${_dest}\")
  while(NOT EXISTS \"\${_dir}\")
    get_filename_component(_dir \"\${_dir}\" DIRECTORY)
  endwhile()
  if(NOT IS_DIRECTORY \"\${_dir}\")
    message(FATAL_ERROR \"raziva: cannot install into \${_dest}: \${_dir} is not a directory\")
  endif()
  execute_process(COMMAND test -w \"\${_dir}\" RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR \"raziva: no permission to write in \${_dir}, so nothing was \"
      \"installed into \${_dest}. Install as a user who may write there \"
      \"(sudo cmake --install ...) or choose another prefix (cmake --install BUILD --prefix DIR).\")
  endif()
")

install(TARGETS raziva RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS scripts/soundings.sh DESTINATION ${CMAKE_INSTALL_BINDIR}
        RENAME raziva-soundings)

file(GLOB _lookup CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/data/*.lup"
     "${CMAKE_SOURCE_DIR}/data/*.fnt")
install(FILES ${_lookup} data/sao.cty data/raziva.tim data/name_conv data/zup.reg
              data/zup.clr data/zup.fnl
        DESTINATION ${RAZIVA_INSTALL_DATADIR})
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES "${CMAKE_BINARY_DIR}/raziva.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/zup.cfg data/sample.grb DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The resource file names the run-time directory of the prefix installed to.
install(CODE "
  set(RAZIVA_DATA \"\${CMAKE_INSTALL_PREFIX}/${RAZIVA_INSTALL_DATADIR}\")
  set(_cfg \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${RAZIVA_RESOURCE_DIR}/zup.cfg\")
  message(STATUS \"Installing: \${_cfg}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/cmake/zup.cfg.in\" \"\${_cfg}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_cfg}\")
")

# The Debian package: run-time dependencies from the linked libraries
# (dpkg-shlibdeps), the resource file kept as a configuration file.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME raziva)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "raziva developers")
set(CPACK_PACKAGE_CONTACT "raziva developers <raziva@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "vertical soundings from gridded weather-model output")
set(CPACK_PACKAGE_DESCRIPTION
    "raziva pulls vertical soundings out of GRIB editions 0, 1 and 2 model files, analyses them (condensation levels, parcel energy, stability indices, shear, helicity, storm motion) and prints the sounding report tables, at prompts or in batch scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS parallel)
file(WRITE "${CMAKE_BINARY_DIR}/deb/conffiles"
     "${CPACK_PACKAGING_INSTALL_PREFIX}/${RAZIVA_RESOURCE_DIR}/zup.cfg\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_BINARY_DIR}/deb/conffiles")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)

# Tests of the installed tree, the package, the manual page and the
# parallel-run script (label "install"; an absent tool skips, status 77).
if(RAZIVA_TESTS)
  add_test(NAME install.prefix
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/install_test.sh
                   ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  add_test(NAME install.debian_package
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/package_test.sh ${CMAKE_BINARY_DIR})
  add_test(NAME install.manual_page
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/man_test.sh ${CMAKE_BINARY_DIR})
  add_test(NAME install.soundings_script
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/scripts/soundings_test.sh
                   ${CMAKE_SOURCE_DIR} $<TARGET_FILE:raziva>)
  set_tests_properties(install.prefix install.debian_package install.manual_page
                       install.soundings_script PROPERTIES
                       LABELS install SKIP_RETURN_CODE 77 TIMEOUT 300)
  # both install from the build folder (its install manifest)
  set_tests_properties(install.prefix install.debian_package PROPERTIES
                       RESOURCE_LOCK raziva_install)
endif()
