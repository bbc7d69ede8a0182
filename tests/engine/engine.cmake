add_project_test(engine_records_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/EngineRecordsTest.cpp
    LIBS dlengine_core download GTest::gtest_main)
if(TARGET sandbox AND TARGET testsupport)
    add_project_test(engine_download_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/EngineDownloadTest.cpp
        LIBS download sandbox testsupport ${CMAKE_DL_LIBS} GTest::gtest_main)
    add_dependencies(engine_download_test dlengine)
endif()
