# The whole road through the real window, workers, engine and course sandbox.
add_project_test(download_road_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/RoadTest.cpp
    LIBS guitestbase sandbox)
if(TARGET dlengine)
    add_dependencies(download_road_test dlengine)
endif()
