add_project_test(download_records_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/FieldRecordTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/EngineRecordsTest.cpp
    LIBS download GTest::gtest_main)
