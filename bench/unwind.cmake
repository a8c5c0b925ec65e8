velo_bench(unwind bench/unwind_bench.cpp DEPS velo_zevuzavidav)
