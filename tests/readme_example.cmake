# Builds the C example of README.md's section on embedding the library as C11,
# runs it and compares what it prints with the output the README shows under
# it, so that neither can drift from the other.
#
# As a script, against this tree's library:
#   SOURCE_DIR, WORK_DIR, CC, LIBRARY (the library file), INCLUDES (|-list)
# Included (SOURCE_DIR set), against any installation:
#   readme_example_check(<work dir> <compiler> <compiler and linker arguments>...)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/run_command.cmake)

# The text of the first fenced block of `kind` in `readme` at or after
# `from`, and where that block ends.
function(fenced_block kind from out_text out_end)
  string(SUBSTRING "${readme}" ${from} -1 rest)
  string(FIND "${rest}" "```${kind}\n" open)
  if(open LESS 0)
    message(FATAL_ERROR "README.md: no ```${kind} block after the embedding section's start")
  endif()
  string(LENGTH "```${kind}\n" skip)
  math(EXPR start "${open} + ${skip}")
  string(SUBSTRING "${rest}" ${start} -1 body)
  string(FIND "${body}" "\n```" close)
  math(EXPR close "${close} + 1")
  string(SUBSTRING "${body}" 0 ${close} text)
  math(EXPR end "${from} + ${start} + ${close}")
  set(${out_text} "${text}" PARENT_SCOPE)
  set(${out_end} ${end} PARENT_SCOPE)
endfunction()

function(readme_example_check work_dir cc)
  file(READ ${SOURCE_DIR}/README.md readme)
  string(FIND "${readme}" "## Embedding the library" section)
  if(section LESS 0)
    message(FATAL_ERROR "README.md has no section 'Embedding the library'")
  endif()
  fenced_block(c ${section} code code_end)
  fenced_block(text ${code_end} want ignored)

  file(REMOVE_RECURSE ${work_dir})
  file(MAKE_DIRECTORY ${work_dir})
  file(WRITE ${work_dir}/example.c "${code}")
  run(${cc} -std=c11 -Wall -Wextra -Werror -pedantic ${work_dir}/example.c ${ARGN}
      -o ${work_dir}/example)
  run(${work_dir}/example)
  if(NOT out STREQUAL want)
    message(FATAL_ERROR "the README's example printed\n${out}\nnot\n${want}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  string(REPLACE "|" ";" includes "${INCLUDES}")
  list(TRANSFORM includes PREPEND "-I")
  get_filename_component(libdir ${LIBRARY} DIRECTORY)
  readme_example_check(${WORK_DIR} ${CC} ${includes} ${LIBRARY} -Wl,-rpath,${libdir}
    -lstdc++ -lm -pthread)
endif()
