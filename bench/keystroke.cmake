velo_bench(keystroke ${CMAKE_SOURCE_DIR}/bench/keystroke_bench.cpp DEPS velo_lesson velo_content)
