find_package(spdlog QUIET)
if(spdlog_FOUND)
  velo_bench(analytics bench/analytics_bench.cpp DEPS velo_rurorad spdlog::spdlog)
endif()
