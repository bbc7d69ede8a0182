# The scrambled form of video addresses.
add_project_test(address_codec_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/AddressCodecTest.cpp
    LIBS course text GTest::gtest_main)
