# bench_formats2 compares the DXT codec with libsquish (static, built with
# OpenMP; its pkg-config file names no prefix) and the JPEG format with
# libjpeg called directly.
find_path(SQUISH_INCLUDE_DIR squish.h REQUIRED)
find_library(SQUISH_LIBRARY NAMES libsquish.a squish REQUIRED)
find_package(OpenMP REQUIRED)
target_include_directories(bench_formats2 SYSTEM PRIVATE "${SQUISH_INCLUDE_DIR}")
target_link_libraries(bench_formats2 PRIVATE "${SQUISH_LIBRARY}" OpenMP::OpenMP_CXX)
