velo_bench(startup bench/startup_bench.cpp DEPS velo_catalogue)
