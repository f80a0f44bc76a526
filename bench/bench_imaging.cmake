# bench_imaging calls OpenJPEG directly (the bare codec beside our glue) and
# runs a Pillow script from this folder.
target_compile_definitions(bench_imaging PRIVATE VELTO_BENCH_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
