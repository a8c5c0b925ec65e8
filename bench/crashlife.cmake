velo_bench(crashlife bench/crashlife_bench.cpp DEPS velo_zevuzavidav OpenSSL::SSL)
