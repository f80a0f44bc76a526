# Screen capture on a real X server (Xvfb): a program of its own, since the
# other dialog tests start an offscreen application first.
if(TARGET test_dialogs)
  velto_test(test_dialogs_capture_peer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/xcb/test_capture_peer.cpp
             DEPS velto_dialogs Qt6::Test LABELS peer)
  # The same on a screen scaled by two.
  add_test(NAME CapturePeer.ScaledScreen
           COMMAND test_dialogs_capture_peer --gtest_filter=CapturePeer.ScaledScreenStillGivesExactlyTheScreenPixels)
  set_tests_properties(CapturePeer.ScaledScreen PROPERTIES LABELS peer ENVIRONMENT "QT_SCALE_FACTOR=2")
endif()
# Every window of the program on a small screen and on a scaled one: one
# program, run once per screen set-up (the offscreen platform's screen from a
# configuration file, the scale factor, and the free area the test expects).
if(TARGET test_dialogs)
  add_executable(test_dialogs_fit ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/fit/test_screen_fit.cpp)
  if(VELTO_QUICK_BUILD)
    target_compile_options(test_dialogs_fit PRIVATE $<$<CONFIG:RelWithDebInfo>:-O1 -g1>)
  endif()
  target_link_libraries(test_dialogs_fit PRIVATE velto_dialogs Qt6::Test GTest::gtest GTest::gtest_main)
  target_include_directories(test_dialogs_fit PRIVATE "${PROJECT_SOURCE_DIR}/tests/support"
                                                      "${CMAKE_CURRENT_SOURCE_DIR}/dialogs")
  target_compile_definitions(test_dialogs_fit PRIVATE VELTO_CORPUS_DIR="${VELTO_CORPUS_DIR}"
                                                      VELTO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  velto_target_defaults(test_dialogs_fit)
  set(_fit "${CMAKE_CURRENT_SOURCE_DIR}/dialogs/fit")
  add_test(NAME ScreenFit.Screen1024x768 COMMAND test_dialogs_fit)
  set_tests_properties(ScreenFit.Screen1024x768 PROPERTIES LABELS gui ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen:configfile=${_fit}/screen-1024x768.json;VELTO_FIT_SCREEN=1024x768")
  add_test(NAME ScreenFit.Scaled2On1600x1000 COMMAND test_dialogs_fit)
  set_tests_properties(ScreenFit.Scaled2On1600x1000 PROPERTIES LABELS gui ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen:configfile=${_fit}/screen-1600x1000.json;QT_SCALE_FACTOR=2;VELTO_FIT_SCREEN=800x500")
endif()
