# Benchmarks of the graphic controls: the equaliser panel's recompute and repaint.
add_executable(bench_controls controls/EqPanelBench.cpp)
target_link_libraries(bench_controls PRIVATE kv_controls Qt6::Widgets benchmark::benchmark)
