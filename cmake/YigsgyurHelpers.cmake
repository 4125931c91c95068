# yig_library(NAME DIR [DEPS ...]): a static library from every .cpp in DIR.
function(yig_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(NOT _srcs)
    set(_srcs "${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp")
    file(WRITE "${_srcs}" "// ${name} has no sources yet\n")
  endif()
  add_library(${name} STATIC ${_srcs})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE yig_warnings)
endfunction()

# yig_test_suite(NAME DIR [DEPS ...] [LABELS ...]): one GoogleTest executable from
# every .cpp in DIR, each test registered with CTest.
function(yig_test_suite name dir)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main yig_warnings)
  target_compile_definitions(${name} PRIVATE
    YIG_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    YIG_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  set(_labels ${ARG_LABELS})
  if(NOT _labels)
    set(_labels unit)
  endif()
  if(NOT CMAKE_CROSSCOMPILING)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${_labels}")
  endif()
endfunction()
