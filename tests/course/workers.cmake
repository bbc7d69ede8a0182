# Course service protocol and the two parsing workers.
add_project_test(course_protocol_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CourseProtocolTest.cpp
    LIBS course text GTest::gtest_main)

add_project_test(course_workers_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ParseWorkersTest.cpp
    LIBS guitestbase sandbox testsupport course text)
