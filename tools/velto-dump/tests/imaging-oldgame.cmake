# Old-game formats through the image library, from the crafted fuzz seeds. A
# run-length IMG and a run-length texture record of the same indices under the
# same built-in palette give the same hash; a headerless IMG is known by its size.
velto_dump_test(imaging_img_rle "${PROJECT_SOURCE_DIR}/fuzz/seeds/oldgame/img-rle.img"
  [[{"kind": "img", "images": [{"width": 4, "height": 2, "bitcount": 8, "format": 10, "rgba_sha256": "d3d6c24e8d23979708d44adfa31910241f34ddd1c32d3ec359a83b6ba133ed2f"}]}]] 0)
velto_dump_test(imaging_texture_rle "${PROJECT_SOURCE_DIR}/fuzz/seeds/oldgame/texture-rle.013"
  [[{"kind": "dagtexture", "images": [{"width": 4, "height": 2, "bitcount": 8, "format": 10, "rgba_sha256": "d3d6c24e8d23979708d44adfa31910241f34ddd1c32d3ec359a83b6ba133ed2f"}]}]] 0)
velto_dump_test(imaging_img_headerless "${PROJECT_SOURCE_DIR}/fuzz/seeds/oldgame/headerless-64.img"
  [[{"kind": "img", "images": [{"width": 8, "height": 8, "bitcount": 8, "format": 10, "rgba_sha256": "17da8ba82cf92b9d82bcf29146757ed5ea8914ec2f06653d9d8185b1c19a59e5"}]}]] 0)
velto_dump_test(imaging_cif_grouped "${PROJECT_SOURCE_DIR}/fuzz/seeds/oldgame/cif-grouped.cif"
  [[{"kind": "cif", "images": [{"width": 2, "height": 1, "bitcount": 8, "format": 10, "rgba_sha256": "07173cae9be74fd3e50f453724390e01a9a86f27f567ddf268f9cb709db0bfc2"}]}]] 0)
velto_dump_test(imaging_bsi_hicolour "${PROJECT_SOURCE_DIR}/fuzz/seeds/oldgame/multi-hicl.bsi"
  [[{"kind": "bsi", "images": [{"width": 2, "height": 1, "bitcount": 32, "format": 88, "rgba_sha256": "72a4fa3544e43a836ffcb268ce06ccdbc55d44d5e6b1b1c19216a53ea98301fd"}]}]] 0)
