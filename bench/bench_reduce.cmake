# bench_reduce times ImageMagick's quantizer beside ours.
find_package(PkgConfig REQUIRED)
pkg_check_modules(MAGICKCORE REQUIRED IMPORTED_TARGET MagickCore)
target_link_libraries(bench_reduce PRIVATE PkgConfig::MAGICKCORE)
