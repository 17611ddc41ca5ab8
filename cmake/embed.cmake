# Writes a binary file into a C++ source as an array, at build time, so that no generated source
# is kept in the tree. cmake -DINPUT=file -DOUTPUT=file.cpp -DHEADER=header.h -DNAME=kName -P embed.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR bytes "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" hex "${hex}")
get_filename_component(source "${INPUT}" NAME)
file(WRITE "${OUTPUT}.part"
  "// Written at build time from ${source}, the file the source tree keeps.\n"
  "#include \"${HEADER}\"\n\n"
  "const unsigned char ${NAME}[${bytes}] = {\n${hex}};\n"
  "const unsigned ${NAME}Size = sizeof ${NAME};\n")
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
