# The image library's peer tests compare the library's PNG format with the
# program's PNG codec and its DXT codec with libsquish (a static library built
# with OpenMP, linked into the tests only; its pkg-config file names no prefix).
find_path(SQUISH_INCLUDE_DIR squish.h REQUIRED)
find_library(SQUISH_LIBRARY NAMES libsquish.a squish REQUIRED)
find_package(OpenMP REQUIRED)
target_include_directories(test_imaging_peer SYSTEM PRIVATE "${SQUISH_INCLUDE_DIR}")
target_link_libraries(test_imaging_peer PRIVATE velto_png "${SQUISH_LIBRARY}" OpenMP::OpenMP_CXX)
