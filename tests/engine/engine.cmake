add_project_test(engine_records_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/EngineRecordsTest.cpp
    LIBS dlengine_core download GTest::gtest_main)
