# Build helpers shared by every room.
#
# The plug-in is one set of sources compiled twice: once for the newer host
# (OrvaneGridmason2017) and once for the older host (OrvaneGridmason, with
# GM_LEGACY_HOST=1). Each plug-in room adds its sources with gm_plugin_sources();
# gm_finish_plugin() then makes, per variant, an object library, a static
# library the tests link, and the shared library that ships.
#
# The shared libraries link nothing of ours: their platform calls (sds_*, the
# registry, the GUI framework, COM, ADO) resolve against the host program,
# which exports them, as a CAD host's plug-in resolves against the host.

define_property(GLOBAL PROPERTY GM_PLUGIN_SOURCES
  BRIEF_DOCS "Sources of the plug-in" FULL_DOCS "Sources of the plug-in")

function(gm_plugin_sources)
  foreach(src ${ARGN})
    get_filename_component(abs ${src} ABSOLUTE)
    set_property(GLOBAL APPEND PROPERTY GM_PLUGIN_SOURCES ${abs})
  endforeach()
endfunction()

# The platform libraries the plug-in's code calls; the host links them all.
set(GM_PLATFORM_LIBS "" CACHE INTERNAL "")
function(gm_platform_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  set(GM_PLATFORM_LIBS ${GM_PLATFORM_LIBS} ${name} CACHE INTERNAL "")
endfunction()

function(gm_finish_plugin)
  get_property(srcs GLOBAL PROPERTY GM_PLUGIN_SOURCES)
  foreach(variant IN ITEMS newer legacy)
    if(variant STREQUAL "legacy")
      set(obj gm_plugin_legacy_obj)
      set(lib gm_plugin_legacy)
      set(so OrvaneGridmason)
      set(legacy 1)
    else()
      set(obj gm_plugin_obj)
      set(lib gm_plugin)
      set(so OrvaneGridmason2017)
      set(legacy 0)
    endif()
    add_library(${obj} OBJECT ${srcs})
    target_include_directories(${obj} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${obj} PUBLIC GM_LEGACY_HOST=${legacy})
    add_library(${lib} STATIC $<TARGET_OBJECTS:${obj}>)
    target_include_directories(${lib} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${lib} PUBLIC GM_LEGACY_HOST=${legacy})
    target_link_libraries(${lib} PUBLIC ${GM_PLATFORM_LIBS})
    add_library(${so} SHARED $<TARGET_OBJECTS:${obj}>)
    set_target_properties(${so} PROPERTIES PREFIX "" SUFFIX ".so")
  endforeach()
endfunction()

# gm_add_test(NAME name SOURCES a.cpp ... [LIBS ...] [LEGACY | NOPLUGIN])
# A test links the plug-in's static library (LEGACY: the older host's build)
# unless NOPLUGIN says it tests a platform room alone.
function(gm_add_test)
  cmake_parse_arguments(T "LEGACY;NOPLUGIN" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(T_NOPLUGIN)
  elseif(T_LEGACY)
    target_link_libraries(${T_NAME} PRIVATE gm_plugin_legacy)
  else()
    target_link_libraries(${T_NAME} PRIVATE gm_plugin)
  endif()
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gm_test_support GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "GM_SOURCE_DIR=${PROJECT_SOURCE_DIR};GM_BIN_DIR=${GM_BIN_DIR}")
endfunction()
