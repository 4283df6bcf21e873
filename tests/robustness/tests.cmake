# Trees only the Linux side can make, searched by the harness under Wine.
# TROVIK_SLOW_TESTS=1 in the environment adds the scale cases (minutes).
if(CMAKE_CROSSCOMPILING AND TARGET trovik-scan)
  add_test(NAME robustness.hostile-trees
    COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/hostile-trees.sh ${TROVIK_RUN} $<TARGET_FILE:trovik-scan>)
  set_tests_properties(robustness.hostile-trees PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 3600)
endif()

# Names under a double-byte ANSI code page (Wine's is 932 under a Japanese
# locale): CJK names are then spelled exactly, read and walked.
add_test(NAME HostileTreeTest.JapaneseLocale
  COMMAND ${TROVIK_RUN} $<TARGET_FILE:HostileTreeTest> --gtest_filter=ForeignNames.*Spells*)
# A filter that no longer names any test would pass having run nothing.
set_tests_properties(HostileTreeTest.JapaneseLocale PROPERTIES
  ENVIRONMENT "LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8;TROVIK_EXPECT_DOUBLE_BYTE=1"
  FAIL_REGULAR_EXPRESSION "\\[==========\\] 0 tests from"
  FIXTURES_REQUIRED wine TIMEOUT 600)

# A folder that cannot be listed, in a Wine prefix of its own whose server
# runs without root's rights to list every folder; skipped where none can be
# denied.
if(CMAKE_CROSSCOMPILING AND TARGET trovik-scan)
  add_test(NAME robustness.denied-folder
    COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/denied-folder.sh ${TROVIK_RUN} $<TARGET_FILE:trovik-scan>
      ${CMAKE_BINARY_DIR}/wineprefix-denied)
  set_tests_properties(robustness.denied-folder PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
endif()
