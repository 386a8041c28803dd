# Writes the demo dictionary source INPUT as a C++ byte array into OUTPUT,
# behind tavelnor::demo::DemoDictionarySource().
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR byte_count "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# One line per 32 bytes keeps the file readable by editors.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
  "// Generated from tavelnor-demo.json by embed_source.cmake; do not edit.\n"
  "#include \"demo/generator/demo_generator.h\"\n\n"
  "namespace tavelnor::demo {\nnamespace {\n"
  "const unsigned char kSource[${byte_count} + 1] = {\n${bytes}0};\n"
  "}  // namespace\n\n"
  "std::string_view DemoDictionarySource() {\n"
  "  return std::string_view(reinterpret_cast<const char*>(kSource), ${byte_count});\n}\n\n"
  "}  // namespace tavelnor::demo\n")
