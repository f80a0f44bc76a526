# MNG and JNG files through the image library (the first frame), from the
# crafted fuzz seeds: an MNG whose frame takes the global palette, a JNG with
# a PNG alpha plane, a 12-bit JNG left black, a JNG of JPEG alpha.
velto_dump_test(imaging_mng_global_palette "${PROJECT_SOURCE_DIR}/fuzz/seeds/mng/two-frames-global-palette.mng"
  [[{"kind": "mng", "images": [{"width": 4, "height": 4, "bitcount": 8, "format": 10, "rgba_sha256": "e9a01cbf919f028caa954e71f3c529ca24abd30f0c3e76a53fae34278d1024b3"}]}]] 0)
velto_dump_test(imaging_jng_png_alpha "${PROJECT_SOURCE_DIR}/fuzz/seeds/mng/colour-png-alpha.jng"
  [[{"kind": "jng", "images": [{"width": 16, "height": 16, "bitcount": 32, "format": 88, "rgba_sha256": "41e5255dfb8ca9b76759822d1c09a0827940790177e5748b94832ee5132a5023"}]}]] 0)
velto_dump_test(imaging_jng_twelve_bit "${PROJECT_SOURCE_DIR}/fuzz/seeds/mng/twelve-bit.jng"
  [[{"kind": "jng", "images": [{"width": 5, "height": 3, "bitcount": 24, "format": 87, "rgba_sha256": "472fa4a98844b3670cda33e1eed0cc07bcbf6d8fd6b46282246c211451bace73"}]}]] 0)
velto_dump_test(imaging_jng_jpeg_alpha "${PROJECT_SOURCE_DIR}/fuzz/seeds/mng/colour-jpeg-alpha.jng"
  [[{"kind": "jng", "images": [{"width": 16, "height": 16, "bitcount": 32, "format": 88, "rgba_sha256": "a890da1ed46e256da04030ef6d5b18767180f81f93813a3763d1fa7998bb77a7"}]}]] 0)
# No frame: one blank image of the header's frame size (the hash of 1024 zero bytes).
velto_dump_test(imaging_mng_blank "${PROJECT_SOURCE_DIR}/fuzz/seeds/mng/blank.mng"
  [[{"kind": "mng", "images": [{"width": 16, "height": 16, "bitcount": 32, "format": 88, "rgba_sha256": "5f70bf18a086007016e948b04aed3b82103a36bea41755b6cddfaf10ace3c6ef"}]}]] 0)
