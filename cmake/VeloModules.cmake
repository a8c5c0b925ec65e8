# A module is one folder of sources built as a static library `velo_<name>`. Every area is the union
# of its modules, so one folder can be built and tested on its own while the others are in progress.
#
#   velo_module(<name> <folder> [DEPS targets...])
#   velo_test(<name> <folder> [DEPS targets...] [LABELS labels...])
#                                                  -> executable velo_test_<name>, discovered by CTest
#   velo_bench(<name> <source> [DEPS targets...])
#   velo_export_own_symbols(<program>)             -> its own functions in its dynamic symbol table

function(velo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 reports overlapping copies inside libstdc++'s own string code at -O3 (a known false
    # positive), which would make every optimised -Werror build fail.
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(VELO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# The program exports its own functions (app/exported-symbols.map), so that a crash report's frames are
# named when the next launch symbolicates them: dladdr finds only exported symbols.
function(velo_export_own_symbols target)
  set(map ${CMAKE_SOURCE_DIR}/app/exported-symbols.map)
  set_target_properties(${target} PROPERTIES ENABLE_EXPORTS ON)
  target_link_options(${target} PRIVATE "LINKER:--version-script=${map}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map})
endfunction()

function(velo_module name folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.c)
  if(sources)
    add_library(velo_${name} STATIC ${sources})
    target_include_directories(velo_${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(velo_${name} PUBLIC ${ARG_DEPS})
    velo_warnings(velo_${name})
  else()
    # Headers only (or not started yet): still a target others can link.
    add_library(velo_${name} INTERFACE)
    target_include_directories(velo_${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(velo_${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

function(velo_test name folder)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(velo_test_${name} ${sources})
  target_link_libraries(velo_test_${name} PRIVATE ${ARG_DEPS} GTest::gtest_main)
  target_compile_definitions(velo_test_${name} PRIVATE
    VELO_SOURCE_DIR="${CMAKE_SOURCE_DIR}" VELO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  velo_warnings(velo_test_${name})
  include(GoogleTest)
  set(properties TIMEOUT 120)
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(velo_test_${name} NO_PRETTY_VALUES DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()

function(velo_bench name source)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  if(NOT IS_ABSOLUTE ${source})
    set(source ${CMAKE_SOURCE_DIR}/${source})
  endif()
  add_executable(velo_bench_${name} ${source})
  target_link_libraries(velo_bench_${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
  velo_warnings(velo_bench_${name})
endfunction()
