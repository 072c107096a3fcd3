# The source lists shared by the main build (CMakeLists.txt) and the fuzz
# build (fuzz/CMakeLists.txt), so that both compile the same code. Included
# from either; paths are absolute, found from this file's own place.
get_filename_component(ORVEX_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# The engine: everything outside src/module, plain C++ with no interpreter
# in sight; a static library that the module, orvex-audit, the tests, the
# benchmarks and the fuzz targets link.
file(GLOB ORVEX_ENGINE_SOURCES CONFIGURE_DEPENDS
  ${ORVEX_SOURCE_ROOT}/src/common/*.cc
  ${ORVEX_SOURCE_ROOT}/src/json/*.cc
  ${ORVEX_SOURCE_ROOT}/src/documents/*.cc
  ${ORVEX_SOURCE_ROOT}/src/validation/*.cc
  ${ORVEX_SOURCE_ROOT}/src/audit/*.cc
  ${ORVEX_SOURCE_ROOT}/src/fingerprint/*.cc)

# The fuzz targets: each file fuzz/<name>_fuzz.cc is one, with its seed
# corpus in fuzz/corpus/<name>. libFuzzer runs them in the fuzz build; the
# C++ tests replay their corpora through them.
file(GLOB ORVEX_FUZZ_TARGET_FILES CONFIGURE_DEPENDS ${ORVEX_SOURCE_ROOT}/fuzz/*_fuzz.cc)
set(ORVEX_FUZZ_TARGETS "")
foreach(file ${ORVEX_FUZZ_TARGET_FILES})
  get_filename_component(name ${file} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" name ${name})
  list(APPEND ORVEX_FUZZ_TARGETS ${name})
endforeach()
# The independent oracles the fuzz targets check the engine against.
set(ORVEX_FUZZ_ORACLE_SOURCES
  ${ORVEX_SOURCE_ROOT}/fuzz/properties.cc
  ${ORVEX_SOURCE_ROOT}/fuzz/document_oracle.cc
  ${ORVEX_SOURCE_ROOT}/fuzz/verdict_oracle.cc)
# The parts of orvex-audit the fuzz targets reach: the seal line and the
# anchors file, and the gzip-transparent input and its lines (which alone
# need zlib).
set(ORVEX_FUZZ_SEAL_LINE_SOURCES
  ${ORVEX_SOURCE_ROOT}/cli/orvex_audit/seal_line.cc
  ${ORVEX_SOURCE_ROOT}/cli/orvex_audit/seal_anchors.cc
  ${ORVEX_SOURCE_ROOT}/cli/orvex_audit/line_source.cc
  ${ORVEX_SOURCE_ROOT}/cli/orvex_audit/read_only_file.cc
  ${ORVEX_SOURCE_ROOT}/cli/orvex_audit/byte_source.cc)
set(ORVEX_FUZZ_GZIP_INPUT_SOURCES ${ORVEX_SOURCE_ROOT}/cli/orvex_audit/input_text.cc)
