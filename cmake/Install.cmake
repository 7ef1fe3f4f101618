# Installation. On Linux (`cmake --install <build> [--prefix P]`): the plug-in where Linux hosts scan
# for VST plug-ins (<prefix>/lib/lxvst), kestrune in <prefix>/bin (it finds the plug-in at
# ../lib/lxvst), the README, every licence text, the manual page and the change log. On Windows:
# KestruneEn.dll and kestrune.exe side by side, as the Windows archive holds them.
if(WIN32)
  if(TARGET KestruneEn)
    install(TARGETS KestruneEn LIBRARY DESTINATION .)
  endif()
  if(TARGET kestrune)
    install(TARGETS kestrune RUNTIME DESTINATION .)
  endif()
  return()
endif()

set(KESTRUNE_DOC_DIR share/doc/kestrune)
if(TARGET KestruneEn)
  install(TARGETS KestruneEn LIBRARY DESTINATION lib/lxvst)
endif()
if(TARGET kestrune)
  install(TARGETS kestrune RUNTIME DESTINATION bin)
endif()
# The LV2 edition, when the tree builds one: its bundle (lv2/ names its libraries and descriptions
# in the global properties KESTRUNE_LV2_LIBRARIES and KESTRUNE_LV2_FILES) goes to
# <prefix>/lib/lv2/KestruneEn.lv2, where LV2 hosts look. The libraries go as targets, so that
# packages strip them.
get_property(kestrune_lv2_libraries GLOBAL PROPERTY KESTRUNE_LV2_LIBRARIES)
get_property(kestrune_lv2_files GLOBAL PROPERTY KESTRUNE_LV2_FILES)
if(kestrune_lv2_libraries)
  install(TARGETS ${kestrune_lv2_libraries} LIBRARY DESTINATION lib/lv2/KestruneEn.lv2)
  install(FILES ${kestrune_lv2_files} DESTINATION lib/lv2/KestruneEn.lv2)
endif()

set(KESTRUNE_VERSION ${PROJECT_VERSION})
set(packaging ${CMAKE_SOURCE_DIR}/packaging)
set(staged ${CMAKE_BINARY_DIR}/packaging)
configure_file(${packaging}/copyright.in ${staged}/copyright @ONLY)
configure_file(${packaging}/kestrune.1 ${staged}/kestrune.1 @ONLY)
# The change log keeps each release's own number; its newest entry must be this version's.
file(STRINGS ${packaging}/changelog kestrune_newest_change LIMIT_COUNT 1)
if(NOT kestrune_newest_change MATCHES "^kestrune \\(([^)]*)\\)" OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog: its newest entry is not for version ${PROJECT_VERSION}: add one")
endif()
configure_file(${packaging}/changelog ${staged}/changelog COPYONLY)
# Compressed as Debian wants them: best compression, no name or time stamp inside.
add_custom_command(OUTPUT ${staged}/kestrune.1.gz ${staged}/changelog.gz
                   COMMAND gzip -9nkf ${staged}/kestrune.1 ${staged}/changelog
                   DEPENDS ${staged}/kestrune.1 ${staged}/changelog
                   COMMENT "Compressing the manual page and the change log")
add_custom_target(kestrune_install_docs ALL DEPENDS ${staged}/kestrune.1.gz ${staged}/changelog.gz)

install(FILES README.md ${staged}/copyright ${staged}/changelog.gz DESTINATION ${KESTRUNE_DOC_DIR})
install(FILES platform/soft/font/LICENSE.txt DESTINATION ${KESTRUNE_DOC_DIR} RENAME LICENSE-fonts.txt)
install(FILES ${packaging}/CLI11-LICENSE.txt DESTINATION ${KESTRUNE_DOC_DIR} RENAME LICENSE-CLI11.txt)
install(FILES ${staged}/kestrune.1.gz DESTINATION share/man/man1)
# Lintian's view of the package, with the reason for each exception.
install(FILES ${packaging}/lintian-overrides DESTINATION share/lintian/overrides RENAME kestrune)

# What the installation holds and nothing more, for a tree built only to be packaged
# (scripts/package.sh): cmake --build <build> --target kestrune_installed.
add_custom_target(kestrune_installed)
add_dependencies(kestrune_installed kestrune_install_docs)
foreach(target KestruneEn kestrune KestruneEn_lv2)
  if(TARGET ${target})
    add_dependencies(kestrune_installed ${target})
  endif()
endforeach()
