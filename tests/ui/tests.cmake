# The results list away from English and UTC: names compared in a double-byte
# ANSI code page (Wine's is 932 under a Japanese locale), and cell texts with
# the clock nine hours ahead, so that a time shown in local time would differ.
add_test(NAME ResultsListTest.JapaneseLocaleAndTimeZone
  COMMAND ${TROVIK_RUN} $<TARGET_FILE:ResultsListTest>
    --gtest_filter=ResultsListNames.*:ResultsListTest.Cells*:ResultsListTest.Modified*)
set_tests_properties(ResultsListTest.JapaneseLocaleAndTimeZone PROPERTIES
  ENVIRONMENT "LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8;TZ=Asia/Tokyo;TROVIK_EXPECT_DOUBLE_BYTE=1"
  FAIL_REGULAR_EXPRESSION "\\[==========\\] 0 tests from"
  FIXTURES_REQUIRED wine TIMEOUT 600)

# The window at 144 DPI, in a Wine prefix of its own: every control and its
# text inside the window and apart, the columns readable, the growth scaled.
if(CMAKE_CROSSCOMPILING)
  add_test(NAME SearchWindowTest.At144Dpi
    COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/high-dpi.sh ${TROVIK_RUN} ${CMAKE_BINARY_DIR}/wineprefix-144dpi 144
      $<TARGET_FILE:SearchWindowTest> --gtest_filter=Template.HoldsEveryControlInTabOrderAsTabled:Growth.*)
  set_tests_properties(SearchWindowTest.At144Dpi PROPERTIES ENVIRONMENT "TROVIK_EXPECT_DPI=144" TIMEOUT 600
    RESOURCE_LOCK wineprefix-144dpi)
  # The split between the results list and the preview pane, scaled.
  add_test(NAME PreviewPaneTest.At144Dpi
    COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/high-dpi.sh ${TROVIK_RUN} ${CMAKE_BINARY_DIR}/wineprefix-144dpi 144
      $<TARGET_FILE:PreviewPaneTest> --gtest_filter=PreviewPane.TheSplit*:PreviewPane.Shows*)
  set_tests_properties(PreviewPaneTest.At144Dpi PROPERTIES TIMEOUT 600 RESOURCE_LOCK wineprefix-144dpi
    FAIL_REGULAR_EXPRESSION "\\[==========\\] 0 tests from")
endif()
