# The Windows program, its libraries, the harness and the tests run under Wine.
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
if(MINGW)
  # One self-contained .exe: no libgcc, libstdc++ or libwinpthread DLLs beside it.
  add_link_options(-static)
endif()

# Every Windows program the build runs goes through this wrapper: it keeps
# Wine in the build's own prefix (never the user's), headless, and quick.
set(TROVIK_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
  @ONLY)
if(CMAKE_CROSSCOMPILING)
  set(TROVIK_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TROVIK_RUN})
else()
  set(TROVIK_RUN "")
endif()

# Everything but the entry point, so that the tests and the harness link the real code.
file(GLOB trovik_app_sources CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/app/*.cpp
  ${CMAKE_SOURCE_DIR}/ui/*.cpp
  ${CMAKE_SOURCE_DIR}/search/*.cpp
  ${CMAKE_SOURCE_DIR}/dragdrop/*.cpp)
list(REMOVE_ITEM trovik_app_sources ${CMAKE_SOURCE_DIR}/app/WinMain.cpp ${TROVIK_ENGINE_SOURCES})
add_library(trovik_app STATIC ${trovik_app_sources})
target_link_libraries(trovik_app PUBLIC trovik_engine
  comctl32 comdlg32 ole32 oleaut32 uuid shell32 shlwapi gdi32 user32 kernel32 advapi32)

# The version lives in project() alone; the resources take it from here.
configure_file(${CMAKE_SOURCE_DIR}/res/TrovikVersion.h.in ${CMAKE_BINARY_DIR}/generated/TrovikVersion.h @ONLY)
set(TROVIK_RESOURCES ${CMAKE_SOURCE_DIR}/res/Trovik.rc ${CMAKE_SOURCE_DIR}/res/Application.rc)
set(TROVIK_RESOURCE_DEPENDS ${CMAKE_SOURCE_DIR}/res/resource.h ${CMAKE_SOURCE_DIR}/res/Trovik.manifest
  ${CMAKE_BINARY_DIR}/generated/TrovikVersion.h)
set_property(SOURCE ${TROVIK_RESOURCES} APPEND PROPERTY OBJECT_DEPENDS ${TROVIK_RESOURCE_DEPENDS})
include_directories(${CMAKE_BINARY_DIR}/generated)

add_executable(Trovik WIN32 app/WinMain.cpp ${TROVIK_RESOURCES})
target_link_libraries(Trovik PRIVATE trovik_app)

add_executable(trovik-scan tools/trovik-scan.cpp)
target_link_libraries(trovik-scan PRIVATE trovik_app psapi)

# The platform floor that the walk's speed is measured against.
add_executable(trovik-floor bench/floor.cpp)
# The matchers file by file over a real tree, with the Windows runtime.
add_executable(trovik-treebench bench/TreeBench.cpp)
target_link_libraries(trovik-treebench PRIVATE trovik_engine)

if(TROVIK_TESTS)
  enable_testing()
  add_subdirectory(tests)
endif()
