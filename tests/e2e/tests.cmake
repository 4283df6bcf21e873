# The whole program driven from outside as a person would: a real X display
# (Xvfb), typed input (xdotool) and a probe that reads the window from its own
# process. It runs in a Wine prefix of its own, with the X11 driver.
add_executable(trovik-probe ${CMAKE_SOURCE_DIR}/tools/probe/WindowProbe.cpp)

add_test(NAME EndToEnd
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run-e2e.sh
    $<TARGET_FILE:Trovik> $<TARGET_FILE:trovik-probe> ${CMAKE_BINARY_DIR}/e2e)
# The script bounds every wait of its own; the limit here is the last resort.
set_tests_properties(EndToEnd PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
