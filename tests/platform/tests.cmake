# The sweep's test on a file system that keeps no byte-range locks mounts a
# small FUSE passthrough of its own: libfuse3 is linked where it is there.
find_package(PkgConfig)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(FUSE3 IMPORTED_TARGET fuse3)
endif()
if(FUSE3_FOUND)
  target_link_libraries(test_platform PRIVATE PkgConfig::FUSE3)
  target_compile_definitions(test_platform PRIVATE VELTO_HAVE_FUSE3=1)
endif()
