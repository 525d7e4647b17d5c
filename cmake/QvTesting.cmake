# One GoogleTest executable per test folder, built from every *_test.cpp in it.
find_package(GTest REQUIRED)
include(GoogleTest)

function(qv_test_folder name)
  cmake_parse_arguments(QV "" "" "LIBS;LABELS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*_support.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${QV_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set(labels unit)
  if(QV_LABELS)
    set(labels ${QV_LABELS})
  endif()
  gtest_discover_tests(${name} PROPERTIES LABELS "${labels}" DISCOVERY_TIMEOUT 60
                       WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
