velo_bench(foundation_text ${CMAKE_SOURCE_DIR}/bench/foundation_text_bench.cpp DEPS velo_foundation)
