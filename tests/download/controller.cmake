qt_add_resources(download_sound_resource ${PROJECT_SOURCE_DIR}/app/sound/sound.qrc)
add_project_test(download_formats_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ControllerFormatsTest.cpp ${download_sound_resource}
    LIBS download Qt6::Core GTest::gtest_main)

# The controller in the real window, with the real engine and the course sandbox.
add_project_test(download_controller_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/DownloadControllerTest.cpp
    LIBS guitestbase sandbox)
if(TARGET dlengine)
    add_dependencies(download_controller_test dlengine)
endif()
