velo_bench(catalogue bench/catalogue_bench.cpp DEPS velo_catalogue)
