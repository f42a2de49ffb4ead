# What Debian asks of a package besides its programs: copyright, changelog, manual pages, the
# menu entry and its icon, and lintian's overrides with their reasons. tests/package/lintian_test.sh
# checks the result.
set(quorvalis_deb_source ${PROJECT_SOURCE_DIR}/packaging/debian)
set(quorvalis_deb_out ${PROJECT_BINARY_DIR}/debian)
file(MAKE_DIRECTORY ${quorvalis_deb_out}/man)

# The changelog's newest entry is the package's version; without one for this release the
# package would describe another. Its date also dates the manual pages, so they build the same.
find_program(QUORVALIS_PARSECHANGELOG dpkg-parsechangelog)
set(quorvalis_deb_date "")
if(QUORVALIS_PARSECHANGELOG)
  execute_process(COMMAND ${QUORVALIS_PARSECHANGELOG} -l ${quorvalis_deb_source}/changelog -S Version
    OUTPUT_VARIABLE quorvalis_deb_changelog_version OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${QUORVALIS_PARSECHANGELOG} -l ${quorvalis_deb_source}/changelog -S Timestamp
    OUTPUT_VARIABLE quorvalis_deb_date OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT quorvalis_deb_changelog_version STREQUAL QUORVALIS_DEBIAN_VERSION)
    message(WARNING "packaging/debian/changelog: the newest entry is ${quorvalis_deb_changelog_version}, "
      "the package ${QUORVALIS_DEBIAN_VERSION}; add an entry for ${QUORVALIS_RELEASE} before packaging")
  endif()
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${quorvalis_deb_source}/changelog)

# -n: no name or time stamp in the gzip header, so the same input gives the same file.
add_custom_command(OUTPUT ${quorvalis_deb_out}/changelog.gz
  COMMAND gzip -9n -c ${quorvalis_deb_source}/changelog > ${quorvalis_deb_out}/changelog.gz
  DEPENDS ${quorvalis_deb_source}/changelog)
set(quorvalis_deb_built ${quorvalis_deb_out}/changelog.gz)

# Manual pages from each program's own --help and --version, so they cannot drift apart.
find_program(QUORVALIS_HELP2MAN help2man)
if(NOT QUORVALIS_HELP2MAN)
  message(WARNING "help2man not found: the Debian packages get no manual pages (scripts/install-deps.sh)")
endif()
# Not in the sanitizer builds: their packages never ship, and a run under LeakSanitizer without
# the suite's suppressions could fail the build.
function(quorvalis_manpage target component name)
  if(NOT QUORVALIS_HELP2MAN OR CMAKE_CROSSCOMPILING OR QUORVALIS_SANITIZE OR QUORVALIS_FUZZ)
    return()
  endif()
  set(page ${quorvalis_deb_out}/man/${target}.1)
  set(epoch "")
  if(quorvalis_deb_date)
    set(epoch SOURCE_DATE_EPOCH=${quorvalis_deb_date})
  endif()
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env ${epoch} QT_QPA_PLATFORM=offscreen
      ${QUORVALIS_HELP2MAN} --no-info --section=1 --name=${name} --output=${page} $<TARGET_FILE:${target}>
    COMMAND gzip -9nf ${page}
    DEPENDS ${target} VERBATIM)
  install(FILES ${page}.gz DESTINATION share/man/man1 COMPONENT ${component})
  set(quorvalis_deb_built ${quorvalis_deb_built} ${page}.gz PARENT_SCOPE)
endfunction()
quorvalis_manpage(quorval terminal "counter terminal of the quorvalis promotion service")
quorvalis_manpage(zentrale devtools "development central server for the quorvalis terminal")
quorvalis_manpage(cardsim devtools "drive the simulated card reader of the quorvalis terminal")
quorvalis_manpage(cardsim-vpcd devtools "plug the simulated quorvalis card into the virtual PC/SC reader")
quorvalis_manpage(quorval-sign devtools "make the signing key pair and sign quorvalis update programs")
add_custom_target(quorvalis_debian_files ALL DEPENDS ${quorvalis_deb_built})

foreach(component terminal devtools)
  string(TOUPPER ${component} c)
  set(package ${CPACK_DEBIAN_${c}_PACKAGE_NAME})
  install(FILES ${quorvalis_deb_source}/${package}.copyright DESTINATION share/doc/${package}
    RENAME copyright COMPONENT ${component})
  install(FILES ${quorvalis_deb_out}/changelog.gz DESTINATION share/doc/${package} COMPONENT ${component})
  if(EXISTS ${quorvalis_deb_source}/${package}.lintian-overrides)
    install(FILES ${quorvalis_deb_source}/${package}.lintian-overrides DESTINATION share/lintian/overrides
      RENAME ${package} COMPONENT ${component})
  endif()
endforeach()
install(FILES ${quorvalis_deb_source}/quorvalis.desktop DESTINATION share/applications COMPONENT terminal)
install(FILES ${quorvalis_deb_source}/quorvalis.svg DESTINATION share/icons/hicolor/scalable/apps
  COMPONENT terminal)

# unattended-upgrades installs the head office's releases: the repository's origin admitted. A
# file under /etc is the administrator's to change: a conffile, which dpkg keeps over updates.
install(FILES ${quorvalis_deb_source}/51quorvalis-unattended-upgrades DESTINATION /etc/apt/apt.conf.d
  COMPONENT terminal)
file(WRITE ${quorvalis_deb_out}/conffiles "/etc/apt/apt.conf.d/51quorvalis-unattended-upgrades\n")
set(CPACK_DEBIAN_TERMINAL_PACKAGE_CONTROL_EXTRA ${quorvalis_deb_out}/conffiles)
