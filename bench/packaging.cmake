velo_bench(packaging bench/packaging_bench.cpp DEPS velo_zevuzavidav)
