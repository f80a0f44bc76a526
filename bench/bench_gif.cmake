# bench_gif compares with giflib.
find_library(GIFLIB_LIBRARY gif REQUIRED)
find_path(GIFLIB_INCLUDE_DIR gif_lib.h REQUIRED)
target_include_directories(bench_gif PRIVATE "${GIFLIB_INCLUDE_DIR}")
target_link_libraries(bench_gif PRIVATE "${GIFLIB_LIBRARY}")
