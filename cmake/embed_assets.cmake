# Script mode: writes one C++ source that holds every file of ASSET_DIR as a byte array, with
# embedded_assets() listing them by file name. Byte arrays rather than string literals, because an
# asset may contain any byte sequence, a raw-string delimiter included.
#   cmake -DASSET_DIR=<dir> -DOUTPUT=<file.cpp> -P embed_assets.cmake
if(NOT ASSET_DIR OR NOT OUTPUT)
  message(FATAL_ERROR "embed_assets.cmake needs ASSET_DIR and OUTPUT")
endif()

file(GLOB assets LIST_DIRECTORIES false RELATIVE ${ASSET_DIR} ${ASSET_DIR}/*)
list(FILTER assets EXCLUDE REGEX "^\\.|~$")
list(SORT assets)
if(NOT assets)
  message(FATAL_ERROR "no report assets in ${ASSET_DIR}")
endif()

set(arrays "")
set(entries "")
set(index 0)
foreach(name IN LISTS assets)
  if(NOT name MATCHES "^[A-Za-z0-9_.-]+$")
    message(FATAL_ERROR "report asset name '${name}' must be letters, digits, '_', '.' or '-'")
  endif()
  file(READ ${ASSET_DIR}/${name} hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  if(size EQUAL 0)
    set(bytes "0")
  else()
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    # Sixteen bytes to a line keeps the generated source readable in a diff or a debugger.
    string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line_pattern)
    string(REGEX REPLACE "(${line_pattern})" "\\1\n    " bytes "${bytes}")
  endif()
  string(APPEND arrays "// ${name}\nconstexpr unsigned char kAsset${index}[] = {\n    ${bytes}};\n"
         "constexpr std::size_t kAsset${index}Size = ${size};\n\n")
  string(APPEND entries "        {\"${name}\", std::string_view(reinterpret_cast<const char*>(kAsset${index}), "
         "kAsset${index}Size)},\n")
  math(EXPR index "${index} + 1")
endforeach()

set(source "// Generated at build time from src/report/assets by cmake/embed_assets.cmake. Do not edit.
#include \"report/assets.h\"

#include <cstddef>

namespace wirelux {

namespace {

${arrays}} // namespace

std::span<const EmbeddedAsset> embedded_assets() {
    static const EmbeddedAsset kAssets[] = {
${entries}    };
    return kAssets;
}

} // namespace wirelux
")

file(WRITE ${OUTPUT} "${source}")
