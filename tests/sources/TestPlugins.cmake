# Plug-in modules for the sources tests: shared libraries named *.pvt built against
# include/vistrel/plugin.h alone. The test program exports the module interface's functions.
set(VISTREL_TEST_PLUGINS_DIR ${CMAKE_BINARY_DIR}/test-plugins)
set(test_plugin_kinds
  camera "TEST_PLUGIN_NAME=\"Vistrel Test Module\""
  noname "TEST_PLUGIN_NONAME"
  longname "TEST_PLUGIN_LONG_NAME"
  failcreate "TEST_PLUGIN_NAME=\"Vistrel Failing Module\"|TEST_PLUGIN_FAIL_CREATE"
  garbage "TEST_PLUGIN_GARBAGE")
set(test_plugin_targets "")
while(test_plugin_kinds)
  list(POP_FRONT test_plugin_kinds kind definitions)
  string(REPLACE "|" ";" definitions "${definitions}")
  add_library(test_plugin_${kind} MODULE ${CMAKE_CURRENT_LIST_DIR}/plugins/TestPlugin.cpp)
  target_include_directories(test_plugin_${kind} PRIVATE ${PROJECT_SOURCE_DIR}/include)
  target_compile_definitions(test_plugin_${kind} PRIVATE ${definitions})
  set_target_properties(test_plugin_${kind} PROPERTIES PREFIX "" SUFFIX ".pvt" OUTPUT_NAME ${kind}
    LIBRARY_OUTPUT_DIRECTORY ${VISTREL_TEST_PLUGINS_DIR})
  list(APPEND test_plugin_targets test_plugin_${kind})
endwhile()
if(TARGET test_sources)
  add_dependencies(test_sources ${test_plugin_targets})
  target_compile_definitions(test_sources PRIVATE VISTREL_TEST_PLUGINS_DIR="${VISTREL_TEST_PLUGINS_DIR}")
  set_target_properties(test_sources PROPERTIES ENABLE_EXPORTS ON)
endif()
