# Installing the game under a prefix, the way Debian lays out its games, and
# the Debian package built from that install (scripts/package).
#
#   <prefix>/games/vantor                         the executable
#   <prefix>/games/vantor-server                  the world table's server, when it is built
#   <prefix>/share/vantor/Content/                pictures, font, music, sounds
#   <prefix>/share/applications/, metainfo/, icons/hicolor/, man/man6/, doc/vantor/
#
# The installed game finds Content from its own place (VANTOR_DATA_FROM_EXE,
# relative to the executable's folder), so any prefix works and the working
# directory never matters. The server sits beside it and finds the same
# Content the same way: its verifiers play rounds on the game's own.

set(VANTOR_GAMES_DIR games CACHE STRING "Folder of the executable, under the prefix")
set(VANTOR_DATA_DIR share/vantor CACHE STRING "Folder holding Content/, under the prefix")
set(VANTOR_APP_ID example.vantor.Vantor)
set(VANTOR_ICON_SIZES 16 32 48 64 128 256)

file(RELATIVE_PATH data_from_exe /prefix/${VANTOR_GAMES_DIR} /prefix/${VANTOR_DATA_DIR})
target_compile_definitions(vantor_core PRIVATE VANTOR_DATA_FROM_EXE="${data_from_exe}")

# Dates for the changelog and the man page, from the one release date.
execute_process(COMMAND date -u -R -d "${VANTOR_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE VANTOR_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

set(package_dir ${CMAKE_SOURCE_DIR}/tools/package)
set(staged ${CMAKE_BINARY_DIR}/package)
configure_file(${package_dir}/${VANTOR_APP_ID}.metainfo.xml.in ${staged}/${VANTOR_APP_ID}.metainfo.xml @ONLY)
configure_file(${package_dir}/vantor.6.in ${staged}/vantor.6 @ONLY)
configure_file(${package_dir}/vantor-server.6.in ${staged}/vantor-server.6 @ONLY)
configure_file(${package_dir}/changelog.in ${staged}/changelog @ONLY)

# Debian keeps manual pages and changelogs compressed, without a time stamp.
add_custom_command(OUTPUT ${staged}/vantor.6.gz ${staged}/vantor-server.6.gz ${staged}/changelog.gz
  COMMAND gzip -9 -n -f -k ${staged}/vantor.6 ${staged}/vantor-server.6 ${staged}/changelog
  DEPENDS ${staged}/vantor.6 ${staged}/vantor-server.6 ${staged}/changelog
  COMMENT "Compressing the manual page and the changelog")
add_custom_target(vantor_package_files ALL DEPENDS ${staged}/vantor.6.gz ${staged}/vantor-server.6.gz
                                                   ${staged}/changelog.gz)

set(installed_programs vantor)
if(TARGET vantor-server)
  list(APPEND installed_programs vantor-server)
  install(FILES ${staged}/vantor-server.6.gz DESTINATION share/man/man6)
endif()
install(TARGETS ${installed_programs} RUNTIME DESTINATION ${VANTOR_GAMES_DIR})
# A stripped install (the package's) also drops the compilers' notes.
foreach(program ${installed_programs})
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
                    \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${VANTOR_GAMES_DIR}/${program} COMMAND_ERROR_IS_FATAL ANY)
  endif()")
endforeach()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/Content DESTINATION ${VANTOR_DATA_DIR})
install(FILES ${package_dir}/${VANTOR_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${staged}/${VANTOR_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${staged}/vantor.6.gz DESTINATION share/man/man6)
install(FILES ${package_dir}/copyright ${staged}/changelog.gz DESTINATION share/doc/vantor)
foreach(size ${VANTOR_ICON_SIZES})
  set(icon ${CMAKE_SOURCE_DIR}/Content/icon/vantor_${size}.png)
  if(EXISTS ${icon})
    install(FILES ${icon} DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME vantor.png)
  else()
    message(WARNING "No ${size}x${size} icon: run scripts/make-content")
  endif()
endforeach()
if(EXISTS ${CMAKE_SOURCE_DIR}/Content/icon/vantor.svg)
  install(FILES ${CMAKE_SOURCE_DIR}/Content/icon/vantor.svg DESTINATION share/icons/hicolor/scalable/apps)
endif()

# The Debian package: `cpack -G DEB` in a build configured with the prefix /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fireworks game: catch rising rockets in chains")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VANTOR_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack puts the summary first; this is the long description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Rockets rise from the bottom of a night sky. Click to fire a rocket of your
own: it bursts where you clicked, and the burst's growing ring catches every
rising rocket that flies into it. A caught rocket bursts in turn and catches
more, link after link of a chain. A round lasts 60 seconds, and the best
scores are kept between runs.
.
vantor-server keeps the world table of the daily challenge: it accepts a
round only by playing its replay again to the recorded score.")
include(CPack)
