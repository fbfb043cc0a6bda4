# Benchmarks of the pages: switching between the main and the effects page, a full refresh.
add_executable(bench_pages pages/PagesBench.cpp)
target_link_libraries(bench_pages PRIVATE kv_pages Qt6::Widgets kv_bench_support benchmark::benchmark)
