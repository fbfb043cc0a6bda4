# Lock-step exchanges through the link against the simulator.
add_executable(bench_link link/LinkBench.cpp)
target_link_libraries(bench_link PRIVATE kv_sim kv_link benchmark::benchmark)
