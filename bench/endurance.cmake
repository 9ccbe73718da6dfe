# endurance: 10,000 searches in a row through the window's run; prints sizes and memory.
add_executable(endurance ${CMAKE_CURRENT_LIST_DIR}/endurance.cpp)
target_link_libraries(endurance PRIVATE tolvane_session tolvane_texts)
