# Trees only the Linux side can make, searched by the harness under Wine.
# TROVIK_SLOW_TESTS=1 in the environment adds the scale cases (minutes).
if(CMAKE_CROSSCOMPILING AND TARGET trovik-scan)
  add_test(NAME robustness.hostile-trees
    COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/hostile-trees.sh ${TROVIK_RUN} $<TARGET_FILE:trovik-scan>)
  set_tests_properties(robustness.hostile-trees PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 3600)
endif()
