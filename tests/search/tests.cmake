# The readings under a double-byte ANSI code page (Wine's is 932 under a
# Japanese locale): the typed text spelled in it, and the code page's case folding.
add_test(NAME FileSearcherTest.JapaneseLocale
  COMMAND ${TROVIK_RUN} $<TARGET_FILE:FileSearcherTest> --gtest_filter=Readings.*)
# A filter that no longer names any test would pass having run nothing.
set_tests_properties(FileSearcherTest.JapaneseLocale PROPERTIES
  ENVIRONMENT "LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8;TROVIK_EXPECT_DOUBLE_BYTE=1"
  FAIL_REGULAR_EXPRESSION "\\[==========\\] 0 tests from"
  FIXTURES_REQUIRED wine TIMEOUT 600)
