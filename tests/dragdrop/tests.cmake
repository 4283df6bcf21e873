# A drop target in a process of its own, for drags from outside the program.
add_executable(trovik-droptarget ${CMAKE_SOURCE_DIR}/tools/trovik-droptarget.cpp)
target_link_libraries(trovik-droptarget PRIVATE ole32 shell32 user32 uuid)
set_target_properties(trovik-droptarget PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(DragStartTest trovik-droptarget)

# The real results list in a bare window, for drags by hand or by a pointer robot.
add_executable(drag-row-probe ${CMAKE_CURRENT_LIST_DIR}/DragRowProbe.cpp)
target_link_libraries(drag-row-probe PRIVATE trovik_app)
set_target_properties(drag-row-probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
