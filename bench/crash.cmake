velo_bench(crash bench/crash_bench.cpp DEPS velo_zevuzavidav)
