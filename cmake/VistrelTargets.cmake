# Each folder of src/ is one static library; its sources are found by globbing so that adding a
# file needs no edit here.
function(vistrel_library folder)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/src/${folder}/*.h
    ${PROJECT_SOURCE_DIR}/src/${folder}/*.qrc)
  list(FILTER sources INCLUDE REGEX "\\.(cpp|qrc)$|\\.h$")
  # A folder without sources yet still gets its library, so dependants link the same way.
  set(placeholder ${CMAKE_BINARY_DIR}/generated/${folder}_library.cpp)
  file(WRITE ${placeholder} "// ${folder} library\n")
  add_library(vistrel_${folder} STATIC ${sources} ${placeholder})
  target_include_directories(vistrel_${folder} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
  set_target_properties(vistrel_${folder} PROPERTIES AUTORCC ON)
endfunction()

# One test program per folder of tests/ that holds *_test.cpp files; the CTest label is the
# top-level folder (platform, settings, script, ...). Extra libraries are linked by name.
function(vistrel_test_folder dir label)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*_test.cpp ${dir}/*_fixture.cpp)
  if(NOT sources)
    return()
  endif()
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR}/tests ${dir})
  string(REPLACE "/" "_" name "${rel}")
  add_executable(test_${name} ${sources} ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp)
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # Fixtures are found from the test's own source folder, whatever the build folder.
  target_compile_definitions(test_${name} PRIVATE VISTREL_TEST_SOURCE_DIR="${dir}")
  target_link_libraries(test_${name} PRIVATE vistrel_test_support ${ARGN} GTest::gtest GTest::gmock Qt6::Test)
  if(label STREQUAL "e2e")
    # End-to-end tests start the real program.
    add_dependencies(test_${name} vistrel)
    target_compile_definitions(test_${name} PRIVATE VISTREL_EXECUTABLE="$<TARGET_FILE:vistrel>")
  endif()
  gtest_discover_tests(test_${name} PROPERTIES LABELS ${label} DISCOVERY_TIMEOUT 60
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
