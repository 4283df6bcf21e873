add_test(NAME ScanHarness.Interface
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/scan-harness.sh ${TROVIK_RUN} $<TARGET_FILE:trovik-scan>)
set_tests_properties(ScanHarness.Interface PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
