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
    ${CMAKE_SOURCE_DIR}/tests/search/ContentMatchersTest.cpp)
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
endif()

add_subdirectory(${CMAKE_SOURCE_DIR}/bench ${CMAKE_BINARY_DIR}/bench)
