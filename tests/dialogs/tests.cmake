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
