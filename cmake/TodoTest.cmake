# One place that turns a test source list into a registered GoogleTest program.
find_package(GTest REQUIRED)
include(GoogleTest)

# todo_add_test(<name> SOURCES <files...> LIBS <targets...>)
function(todo_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE TODO_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "TODO_TEST_DATA_DIR=${PROJECT_SOURCE_DIR}/tests/data")
endfunction()
