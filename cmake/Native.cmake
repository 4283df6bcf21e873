# Native Linux build of the pure engine: tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzzer and the benchmarks.
option(TROVIK_SANITIZE "Build the native engine and its tests with ASan and UBSan" ON)
if(TROVIK_SANITIZE)
  set(TROVIK_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(trovik_engine PRIVATE ${TROVIK_SANITIZER_FLAGS})
  target_link_options(trovik_engine PUBLIC ${TROVIK_SANITIZER_FLAGS})
endif()

if(TROVIK_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  # The engine's own tests are portable: the same files run under Wine.
  set(TROVIK_NATIVE_TESTS
    ${CMAKE_SOURCE_DIR}/tests/search/ContentMatchersTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/search/MatchingLinesTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/search/RtfTextExtractorTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/search/SearchTextTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/search/TextScanTest.cpp)
  foreach(src ${TROVIK_NATIVE_TESTS})
    if(EXISTS ${src})
      get_filename_component(name ${src} NAME_WE)
      add_executable(native_${name} ${src})
      target_link_libraries(native_${name} PRIVATE trovik_engine GTest::gtest_main)
      if(TROVIK_SANITIZE)
        target_compile_options(native_${name} PRIVATE ${TROVIK_SANITIZER_FLAGS})
      endif()
      gtest_discover_tests(native_${name} TEST_PREFIX native.)
    endif()
  endforeach()

  # Memory bound of the RTF matcher on a file of opening braces, measured
  # without sanitizers (their shadow memory would hide the figure).
  add_executable(rtf-memory-check ${CMAKE_SOURCE_DIR}/fuzz/RtfMemoryCheck.cpp ${TROVIK_ENGINE_SOURCES})
  target_include_directories(rtf-memory-check PRIVATE ${CMAKE_SOURCE_DIR})
  set(TROVIK_BRACES_FILE ${CMAKE_BINARY_DIR}/fuzz/braces-64mb.rtf)
  add_test(NAME native.rtf.memory_bound
    COMMAND sh -c "mkdir -p '${CMAKE_BINARY_DIR}/fuzz' && \"$0\" --generate 64 '${TROVIK_BRACES_FILE}' && \"$0\" '${TROVIK_BRACES_FILE}' 64; status=$?; rm -f '${TROVIK_BRACES_FILE}'; exit $status"
      $<TARGET_FILE:rtf-memory-check>)
endif()

# The fuzzer's short run is one of the tests; without libFuzzer it fails.
option(TROVIK_FUZZ "Run the RTF fuzzer's short run with the native tests" ON)

# libFuzzer target (clang with its runtime, e.g. Debian's libclang-rt-14-dev).
# The engine is compiled again into it with coverage instrumentation.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS -fsanitize=fuzzer)
  check_cxx_source_compiles(
    "#include <cstdint>
     #include <cstddef>
     extern \"C\" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }"
    TROVIK_HAVE_LIBFUZZER)
  unset(CMAKE_REQUIRED_FLAGS)
endif()

if(TROVIK_HAVE_LIBFUZZER)
  set(TROVIK_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_executable(rtf-fuzzer ${CMAKE_SOURCE_DIR}/fuzz/RtfFuzzer.cpp ${TROVIK_ENGINE_SOURCES})
  target_include_directories(rtf-fuzzer PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(rtf-fuzzer PRIVATE ${TROVIK_FUZZ_FLAGS}
    -fsanitize-coverage-ignorelist=${CMAKE_SOURCE_DIR}/fuzz/coverage-ignore.txt)
  target_link_options(rtf-fuzzer PRIVATE ${TROVIK_FUZZ_FLAGS})

  # A short run for CI: the starting corpus plus what earlier runs found in the
  # build directory. The long run is documented in fuzz/README.md.
  if(TROVIK_TESTS AND TROVIK_FUZZ)
    set(TROVIK_FUZZ_WORK ${CMAKE_BINARY_DIR}/fuzz)
    add_test(NAME native.rtf.fuzz_smoke
      COMMAND sh -c "mkdir -p '${TROVIK_FUZZ_WORK}/corpus' '${TROVIK_FUZZ_WORK}/artifacts' && exec \"$0\" -max_total_time=60 -max_len=8192 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix='${TROVIK_FUZZ_WORK}/artifacts/' '${TROVIK_FUZZ_WORK}/corpus' '${CMAKE_SOURCE_DIR}/fuzz/corpus'"
        $<TARGET_FILE:rtf-fuzzer>)
    set_tests_properties(native.rtf.fuzz_smoke PROPERTIES TIMEOUT 240)
  endif()
else()
  message(STATUS "libFuzzer not available: the RTF fuzzer is not built")
  # The short run stays in the test list and fails there: a fuzzer that
  # silently goes missing would look like a clean run.
  if(TROVIK_TESTS AND TROVIK_FUZZ)
    add_test(NAME native.rtf.fuzz_smoke
      COMMAND sh -c "echo 'libFuzzer is missing: build natively with clang-14 and libclang-rt-14-dev (tools/setup-debian.sh installs it), or configure with -DTROVIK_FUZZ=OFF' >&2; exit 1")
  endif()
endif()

add_subdirectory(${CMAKE_SOURCE_DIR}/bench ${CMAKE_BINARY_DIR}/bench)
