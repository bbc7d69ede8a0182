# Two small engines for the loader's tests, placed beside the test programs in bin/.
add_library(download_test_engine SHARED ${CMAKE_CURRENT_LIST_DIR}/TestEngine.cpp)
add_library(download_test_engine_nostop SHARED ${CMAKE_CURRENT_LIST_DIR}/TestEngine.cpp)
target_compile_definitions(download_test_engine_nostop PRIVATE WITHOUT_STOP_TASK)

add_project_test(download_loader_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/EngineLoaderTest.cpp
    LIBS download GTest::gtest_main)
add_dependencies(download_loader_test download_test_engine download_test_engine_nostop)
