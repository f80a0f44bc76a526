# Files no reader dumps, and files that cannot be read.
velto_dump_test(unknown "${VELTO_CORPUS_DIR}/pillow/LICENSE" [[{"kind": "unknown"}]] 0)
velto_dump_test(folder "${CMAKE_CURRENT_BINARY_DIR}" "{\"error\": \"not a regular file: ${CMAKE_CURRENT_BINARY_DIR}\"}" 1)
velto_dump_test(escaped_name "" "" 1 -DODD_NAME=1)
