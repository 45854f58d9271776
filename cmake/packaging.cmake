# Installing and packaging: `cmake --install build` (prefix /usr/local by
# default) and scripts/package.sh, which builds the Debian package with CPack
# (prefix /usr). Linux hosts scan lib/lxvst for VST 2 plug-ins.
include(GNUInstallDirs)
# Installing (and packing) takes what is built; scripts/package.sh builds
# only what the package holds.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(OV_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/orvane)

# Our demo synthesiser, baked at build time, so that a fresh install gives
# hosts an instrument to list: the generic library alone carries no project.
set(OV_DEMO_PLUGIN ${CMAKE_BINARY_DIR}/OrvaneDemoSynth.so)
add_custom_command(OUTPUT ${OV_DEMO_PLUGIN}
  COMMAND orvane bake ${CMAKE_SOURCE_DIR}/examples/demo-synth.json -o ${OV_DEMO_PLUGIN}
          --from $<TARGET_FILE:orvane-vst> > /dev/null
  DEPENDS orvane orvane-vst ${CMAKE_SOURCE_DIR}/examples/demo-synth.json
  COMMENT "Baking the demo synthesiser")
add_custom_target(orvane_demo_plugin ALL DEPENDS ${OV_DEMO_PLUGIN})

# The same synthesiser as an LV2 bundle, for hosts that look in lib/lv2.
set(OV_DEMO_BUNDLE ${CMAKE_BINARY_DIR}/lv2-bundles/OrvaneDemoSynth.lv2)
add_custom_command(OUTPUT ${OV_DEMO_BUNDLE}/manifest.ttl
  COMMAND orvane bake ${CMAKE_SOURCE_DIR}/examples/demo-synth.json --lv2 -o ${OV_DEMO_BUNDLE}
          --from $<TARGET_FILE:orvane-lv2> > /dev/null
  DEPENDS orvane orvane-lv2 ${CMAKE_SOURCE_DIR}/examples/demo-synth.json
  COMMENT "Baking the demo synthesiser's LV2 bundle")
add_custom_target(orvane_demo_bundle ALL DEPENDS ${OV_DEMO_BUNDLE}/manifest.ttl)

install(TARGETS orvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS orvane-vst LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/lxvst)
install(FILES ${OV_DEMO_PLUGIN} DESTINATION ${CMAKE_INSTALL_LIBDIR}/lxvst
        PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                    WORLD_READ WORLD_EXECUTE)
# The bundle without the wrapper's debug information, which stays in the
# build tree; the wrapper itself beside the module library, where `orvane
# bake --lv2` finds it.
install(DIRECTORY ${OV_DEMO_BUNDLE} DESTINATION ${CMAKE_INSTALL_LIBDIR}/lv2
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        PATTERN "*.debug" EXCLUDE
        PATTERN "*.so" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                   WORLD_READ WORLD_EXECUTE)
install(TARGETS orvane-lv2 LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/orvane)
install(FILES README.md DESTINATION ${OV_DOC_DIR})
install(DIRECTORY docs/ DESTINATION ${OV_DOC_DIR} FILES_MATCHING PATTERN "*.md")
# Every example, and the module library that external-gain.json carries:
# `orvane compile` finds it in lib/orvane beside the installed program.
install(DIRECTORY examples/ DESTINATION ${OV_DOC_DIR}/examples
        FILES_MATCHING PATTERN "*.json" PATTERN "*.mid")
install(TARGETS example_modules LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/orvane)
# The module library interface: sources include it as "sdk/orvane_module.h",
# so the include folder to give is <prefix>/include/orvane.
install(FILES sdk/orvane_module.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvane/sdk)
install(FILES sdk/README.md sdk/examples/example_modules.c sdk/examples/example_panels.c
              sdk/examples/example_library.h sdk/examples/example_legacy.c
        DESTINATION ${OV_DOC_DIR}/sdk)
install(FILES tools/orvane-completion.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME orvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvane developers <orvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Modular synthesiser as a Linux VST 2 plug-in")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME orvane_${PROJECT_VERSION}_amd64.deb)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# Dependencies from the shared libraries the binaries use.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
