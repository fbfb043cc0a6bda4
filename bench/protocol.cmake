# Benchmarks of the synchronisation procedures against the in-process simulator.
add_executable(bench_protocol protocol/SyncBench.cpp protocol/CountingNew.cpp)
target_link_libraries(bench_protocol PRIVATE kv_protocol kv_sim kv_bench_support benchmark::benchmark)
