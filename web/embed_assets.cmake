# Writes OUTPUT, a C++ file defining PageAssets() over the files of ASSETS, a list of
# PATH|CONTENT-TYPE|FILE entries (a text type is given its charset, UTF-8, here: a list of CMake's
# cannot hold the ";" it needs), each file's bytes as an array, so that no byte of a file can
# end a literal early.
set(arrays "")
set(table "")
set(index 0)
foreach(entry ${ASSETS})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 path)
  list(GET parts 1 type)
  list(GET parts 2 file)
  if(type MATCHES "^text/")
    string(APPEND type "; charset=utf-8")
  endif()
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND arrays "constexpr char kAsset${index}[] = {${bytes} 0};\n")
  string(APPEND table "    {\"${path}\", \"${type}\", {kAsset${index}, ${size}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new" "// Generated from the page's files by web/embed_assets.cmake.
#include \"web/assets.hpp\"

namespace {
${arrays}
constexpr Asset kAssets[] = {
${table}};
}  // namespace

std::span<const Asset> PageAssets() { return kAssets; }
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
