# Start-up with the in-process simulated processor: first paint, and connected and read.
add_executable(bench_startup startup/StartupBench.cpp)
target_link_libraries(bench_startup PRIVATE kv_shell kv_pages kv_output_pages Qt6::Widgets
    benchmark::benchmark)
