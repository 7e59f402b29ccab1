# Writes OUTPUT, a C++ source that defines the bytes of INPUT as the array NAME and their
# count as NAME followed by "Size", both declared in HEADER. Run by cmake -P at build time,
# so a program carries its files without a toolkit's resource system.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes a line (the expressions know no counted repeats).
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n" bytes "${bytes}")
get_filename_component(file "${INPUT}" NAME)
file(WRITE "${OUTPUT}"
  "// Generated from ${file} at build time.\n"
  "#include \"${HEADER}\"\n\n"
  "const unsigned char ${NAME}[] = {\n${bytes}\n};\n"
  "const std::size_t ${NAME}Size = sizeof ${NAME};\n")
