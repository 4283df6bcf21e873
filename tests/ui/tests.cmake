# Name comparison in a double-byte ANSI code page: the same test executable
# under a Japanese locale, where Wine's ANSI code page is 932.
add_test(NAME ResultsListTest.DoubleByteCodePage
  COMMAND ${TROVIK_RUN} $<TARGET_FILE:ResultsListTest> --gtest_filter=ResultsListNames.*)
set_tests_properties(ResultsListTest.DoubleByteCodePage PROPERTIES
  ENVIRONMENT "LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8"
  FIXTURES_REQUIRED wine TIMEOUT 600
  SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
