# Sound positioning: one drag step of a marker on the room panel.
add_executable(bench_positioning positioning/PositioningDragBench.cpp)
target_link_libraries(bench_positioning PRIVATE kv_controls kv_protocol Qt6::Widgets
    benchmark::benchmark)
