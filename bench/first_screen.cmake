# The whole program to its first drawn screen, beside a minimal ncurses program that draws one screen.
pkg_check_modules(ANCHOR_NCURSESW REQUIRED IMPORTED_TARGET ncursesw)
add_executable(velo_anchor_curses_screen ${CMAKE_SOURCE_DIR}/bench/minimal_curses_screen.cpp)
target_link_libraries(velo_anchor_curses_screen PRIVATE PkgConfig::ANCHOR_NCURSESW)
velo_warnings(velo_anchor_curses_screen)
velo_bench(first_screen bench/first_screen_bench.cpp)
target_compile_definitions(velo_bench_first_screen PRIVATE
  VELO_BUNDLES_DIR="${CMAKE_BINARY_DIR}/bundles"
  VELO_CURSES_ANCHOR="$<TARGET_FILE:velo_anchor_curses_screen>")
add_dependencies(velo_bench_first_screen velo_anchor_curses_screen velomarinth)
target_include_directories(velo_bench_first_screen PRIVATE ${CMAKE_SOURCE_DIR})
