# nw_module(NAME folder-sources... DEPS libs...)
# A module is a static library built from every .cpp file of its folder
# (not recursing) except its program entry points, with the project root on the include path so headers are
# included as "folder/file.h".
function(nw_module name)
  cmake_parse_arguments(M "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  # Program entry points (main.cpp, *_main.cpp) are built by the folder itself.
  list(FILTER srcs EXCLUDE REGEX "(^|/)([A-Za-z0-9_]*_)?main\\.cpp$")
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(M_DEPS)
    target_link_libraries(${name} PUBLIC ${M_DEPS})
  endif()
endfunction()

# nw_test(NAME sources... DEPS libs...)
# A GoogleTest program whose cases ctest discovers one by one.
function(nw_test name)
  cmake_parse_arguments(T "" "" "DEPS;SOURCES" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_DEPS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    NW_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    NW_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "NW_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
endfunction()
