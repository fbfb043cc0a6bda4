# Output page: a band drag step with a linked pair, and a channel switch.
add_executable(bench_output_pages pages/OutputPageBench.cpp)
target_link_libraries(bench_output_pages PRIVATE kv_output_pages Qt6::Widgets benchmark::benchmark)
