# GIF files: every frame on its own. The first frame of each was checked once
# against Pillow's RGBA of the same pixels.
velto_dump_test(gif_frames "${VELTO_CORPUS_DIR}/pillow/transparent_dispose.gif"
  [[{"kind": "gif", "screen": [3, 1], "images": [{"width": 3, "height": 1, "bitcount": 2, "position": [0, 0], "delay": 10, "disposal": 1, "transparent": 2, "rgba_sha256": "88132bd2c67b77e4f096b7aded2bc661ea55d0f7b27191b8fb38162307020edc"}, {"width": 3, "height": 1, "bitcount": 2, "position": [0, 0], "delay": 50, "disposal": 2, "transparent": 2, "rgba_sha256": "401d061bc189c346effefbf5659bccd4257d15290f4477d0adaae5bb2fd87aee"}, {"width": 1, "height": 1, "bitcount": 2, "position": [1, 0], "delay": 50, "disposal": 1, "transparent": 2, "rgba_sha256": "b7d1b3a1104cc86b1cea310793cf777002db0517281d135a02de079b0ea87c23"}]}]] 0)
velto_dump_test(gif_frame_inside_screen "${VELTO_CORPUS_DIR}/pillow/first_frame_transparency.gif"
  [[{"kind": "gif", "screen": [75, 50], "images": [{"width": 50, "height": 50, "bitcount": 8, "position": [25, 0], "delay": 0, "disposal": 0, "transparent": 1, "rgba_sha256": "000e3cdd7177488812a6c669815e1e738619e51d34773bfdd6638172a37171b6"}]}]] 0)
# No colour map anywhere, so the frames cannot be shown; a minimum code size of 143.
velto_dump_test(gif_no_palette "${VELTO_CORPUS_DIR}/pillow/no_palette.gif" [[{"kind": "gif", "error": "not readable as gif"}]] 1)
velto_dump_test(gif_broken "${VELTO_CORPUS_DIR}/pillow/zero_width.gif" [[{"kind": "gif", "error": "not readable as gif"}]] 1)
