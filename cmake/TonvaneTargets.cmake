# Helpers shared by the subsystem folders.

set(TONVANE_WARNINGS -Wall -Wextra -Werror -Wno-missing-field-initializers)

# tonvane_library(<name> SOURCES_DIR <dir> [EXTRA_SOURCES ...] [DEPS ...])
# One static library per subsystem folder; every .cpp below the folder belongs to it.
function(tonvane_library name)
  cmake_parse_arguments(ARG "" "SOURCES_DIR" "EXTRA_SOURCES;DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARG_SOURCES_DIR}/*.cpp)
  add_library(${name} STATIC ${sources} ${ARG_EXTRA_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${TONVANE_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} Threads::Threads)
endfunction()

# tonvane_test_suite(<name> DIR <tests dir> DEPS ... [LABELS ...])
# One GoogleTest executable per tests/ subfolder; each test case becomes a CTest test.
function(tonvane_test_suite name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS;LABELS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_compile_options(${name} PRIVATE ${TONVANE_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    TONVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TONVANE_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 900)
endfunction()
