# Files no reader dumps, and files that cannot be read.
velto_dump_test(unknown "${VELTO_CORPUS_DIR}/pillow/LICENSE" [[{"kind": "unknown"}]] 0)
velto_dump_test(folder "${CMAKE_CURRENT_BINARY_DIR}" "{\"error\": \"not a regular file: ${CMAKE_CURRENT_BINARY_DIR}\"}" 1)
velto_dump_test(escaped_name "" "" 1 -DODD_NAME=1)
# Files the kernel makes up (their size reads 0, their content never ends for
# some) are no files to read, on either road, also through a link.
velto_dump_test(proc_file "/proc/self/status" [[{"error": "not a regular file: /proc/self/status"}]] 1)
velto_dump_test(import_proc_file "/proc/self/status" [[{"error": "not a regular file: /proc/self/status"}]] 1 -DIMPORT=32x32)
