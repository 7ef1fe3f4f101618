# Turns a file into C++ data at build time, so that nothing has to be read from a path at run time.
#   kestrune_embed(<out var> <symbol> <input file>)
# adds a rule making <build>/embedded/<symbol>.cpp, which defines
#   const std::uint8_t embedded::<symbol>[]; const std::size_t embedded::<symbol>Size;
# and sets <out var> to that source. The symbols have hidden visibility like everything else.
if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode: -DINPUT= -DOUTPUT= -DSYMBOL=
  file(READ "${INPUT}" hex HEX)
  string(LENGTH "${hex}" length)
  math(EXPR size "${length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){24})" "\\1\n" bytes "${bytes}")
  get_filename_component(name "${INPUT}" NAME)
  file(WRITE "${OUTPUT}.tmp"
       "// Generated at build time from ${name}; do not edit.\n#include <cstddef>\n#include <cstdint>\n\n"
       "namespace embedded {\nextern const std::uint8_t ${SYMBOL}[];\nextern const std::size_t ${SYMBOL}Size;\n"
       "const std::uint8_t ${SYMBOL}[] = {\n${bytes}};\nconst std::size_t ${SYMBOL}Size = ${size};\n}  // namespace embedded\n")
  file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
  return()
endif()

set(KESTRUNE_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_FILE})
function(kestrune_embed out symbol input)
  set(output ${CMAKE_BINARY_DIR}/embedded/${symbol}.cpp)
  add_custom_command(OUTPUT ${output}
                     COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DSYMBOL=${symbol}
                             -P ${KESTRUNE_EMBED_SCRIPT}
                     DEPENDS ${input} ${KESTRUNE_EMBED_SCRIPT}
                     COMMENT "Embedding ${symbol}"
                     VERBATIM)
  set(${out} ${output} PARENT_SCOPE)
endfunction()
