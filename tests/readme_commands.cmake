# Runs the commands of README.md's sections "Getting Quendle" and "Using the
# library" as a user types them, in order, on a fresh copy of this tree, so
# that the instructions cannot drift from what works:
#
#   cmake -DSOURCE_DIR=<this tree> -DWORK_DIR=<scratch folder> -P readme_commands.cmake
#
# The copy, WORK_DIR/quendle, holds the files git tracks or would track, as
# they are in the working tree. Each section runs in one bash (set -e) from
# the copy's top, its blocks in order:
#  - a ```sh block as it stands, its commands traced and its standard output
#    kept;
#  - a ```c or ```cmake block is saved where the shell stands, under the name
#    the text before it ends with ("... as `demo.c`:"); without one the test
#    fails, as a user would not know where it goes;
#  - a ```text block after a ```sh block is what that block's output ends
#    with;
#  - any other block (a Windows command prompt's) is shown, not run.
# HOME is WORK_DIR/home, so "$HOME/.local" and "~" lie in the scratch folder;
# no PKG_CONFIG_PATH, LD_LIBRARY_PATH or CMAKE_PREFIX_PATH, and nothing on
# PATH in the caller's home comes from the caller; the compiler cache stays
# the caller's.
#
# `sudo apt install` of the Debian packages really installs them (as root
# without sudo, through a stand-in `sudo` that runs the command, as the
# README tells root to do). Once the section has run, the installed
# quendle-solve solves the example system, the packages are removed with
# `apt-get remove`, and dpkg must have forgotten them: a package left in the
# "config-files" state would be there until purged. This happens only where
# it leaves the machine as it was (none of the three packages known to dpkg
# before, apt runnable without a password); elsewhere the apt lines only list
# the packages they name, and the test says so. A lock in /tmp keeps two
# trees' runs from installing at once.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/run_command.cmake)

set(packages libmtrx0 libmtrx-dev quendle-solve)
set(tree ${WORK_DIR}/quendle)
set(home ${WORK_DIR}/home)
set(outputs ${WORK_DIR}/outputs)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${tree} ${home} ${outputs})

# The fresh copy.
execute_process(COMMAND git -C ${SOURCE_DIR} -c core.quotePath=off
    ls-files --cached --others --exclude-standard
  RESULT_VARIABLE rc OUTPUT_VARIABLE listed ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message("README commands: skipped, ${SOURCE_DIR} is not a git working tree (${err})")
  return()
endif()
string(REGEX MATCHALL "[^\n]+" listed "${listed}")
set(names "")
foreach(name IN LISTS listed)
  # (what the working tree has deleted is not copied)
  if(EXISTS ${SOURCE_DIR}/${name} AND NOT IS_DIRECTORY ${SOURCE_DIR}/${name})
    string(APPEND names "${name}\n")
  endif()
endforeach()
file(WRITE ${WORK_DIR}/files.txt "${names}")
run(${CMAKE_COMMAND} -E chdir ${SOURCE_DIR}
  ${CMAKE_COMMAND} -E tar cf ${WORK_DIR}/tree.tar --files-from=${WORK_DIR}/files.txt)
run(${CMAKE_COMMAND} -E chdir ${tree} ${CMAKE_COMMAND} -E tar xf ${WORK_DIR}/tree.tar)
file(REMOVE ${WORK_DIR}/tree.tar)

# The bash script of the section `title`, in `script`; how many blocks it
# runs or saves, in `count`. They are numbered from 1 in that order; the
# output of a ```sh block `n` goes to outputs/<section>-<n>.out, and what it
# must end with, if anything, is left in expect_<section>_<n> in the caller's
# scope.
function(section_script section title script count)
  file(READ ${tree}/README.md readme)
  string(FIND "${readme}" "\n## ${title}\n" start)
  if(start LESS 0)
    message(FATAL_ERROR "README.md has no section '${title}'")
  endif()
  string(SUBSTRING "${readme}" ${start} -1 text)
  string(SUBSTRING "${text}" 1 -1 after_heading)
  string(FIND "${after_heading}" "\n## " end)
  if(end GREATER_EQUAL 0)
    math(EXPR end "${end} + 2")
    string(SUBSTRING "${text}" 0 ${end} text)
  endif()
  string(APPEND text "\n")

  set(body "set -ex\n")
  set(n 0)
  set(last_sh "")
  while(TRUE)
    string(FIND "${text}" "\n```" open)
    if(open LESS 0)
      break()
    endif()
    string(SUBSTRING "${text}" 0 ${open} prose)
    math(EXPR from "${open} + 4")
    string(SUBSTRING "${text}" ${from} -1 text)
    string(FIND "${text}" "\n" eol)
    string(SUBSTRING "${text}" 0 ${eol} kind)
    math(EXPR from "${eol} + 1")
    string(SUBSTRING "${text}" ${from} -1 text)
    string(FIND "${text}" "\n```\n" close)
    if(close LESS 0)
      message(FATAL_ERROR "README.md, '${title}': a ```${kind} block is not closed")
    endif()
    math(EXPR close "${close} + 1")
    string(SUBSTRING "${text}" 0 ${close} block)
    math(EXPR from "${close} + 3")
    string(SUBSTRING "${text}" ${from} -1 text)

    if(kind STREQUAL "sh")
      math(EXPR n "${n} + 1")
      set(last_sh ${n})
      string(APPEND body "{\n${block}} >${outputs}/${section}-${n}.out\n")
    elseif(kind MATCHES "^(c|cmake)$")
      if(NOT prose MATCHES "`([^`\n]+)`\\)?:[ \t\n]*$")
        message(FATAL_ERROR "README.md, '${title}': no file named for the ```${kind} block\n${block}")
      endif()
      math(EXPR n "${n} + 1")
      set(last_sh "")
      string(APPEND body "cat >'${CMAKE_MATCH_1}' <<'README_BLOCK_END'\n${block}README_BLOCK_END\n")
    elseif(kind STREQUAL "text" AND last_sh)
      set(expect_${section}_${last_sh} "${block}" PARENT_SCOPE)
      set(last_sh "")
    else()
      set(last_sh "")
    endif()
  endwhile()
  if(n EQUAL 0)
    message(FATAL_ERROR "README.md, '${title}': no block to run")
  endif()
  file(WRITE ${script} "${body}")
  set(${count} ${n} PARENT_SCOPE)
endfunction()

# Runs a section's script from the top of the copy: its status in `rc_var`,
# its trace (the commands and their standard error) in `trace_var`.
function(run_section script rc_var trace_var)
  execute_process(COMMAND bash ${script} WORKING_DIRECTORY ${tree}
    RESULT_VARIABLE rc OUTPUT_VARIABLE ignored ERROR_VARIABLE trace)
  set(${rc_var} "${rc}" PARENT_SCOPE)
  set(${trace_var} "${trace}" PARENT_SCOPE)
endfunction()

# Stops the test with the section's trace and the output of its blocks when
# its script failed (status `rc`) or a block's output does not end as the
# README shows.
function(check_section section title rc trace)
  set(shown "")
  file(GLOB outs ${outputs}/${section}-*.out)
  list(SORT outs COMPARE NATURAL)
  foreach(out IN LISTS outs)
    file(READ ${out} text)
    string(APPEND shown "--- ${out}:\n${text}")
  endforeach()
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "README.md, '${title}': the commands failed (${rc}):\n${trace}\n${shown}")
  endif()
  foreach(out IN LISTS outs)
    string(REGEX MATCH "-([0-9]+)\\.out$" ignored "${out}")
    set(block ${CMAKE_MATCH_1})
    set(want "${expect_${section}_${block}}")
    if(want STREQUAL "")
      continue()
    endif()
    file(READ ${out} got)
    string(REPLACE "\r\n" "\n" got "${got}")
    string(LENGTH "${got}" got_length)
    string(LENGTH "${want}" want_length)
    set(tail "")
    if(got_length GREATER_EQUAL want_length)
      math(EXPR from "${got_length} - ${want_length}")
      string(SUBSTRING "${got}" ${from} -1 tail)
    endif()
    if(NOT tail STREQUAL want)
      message(FATAL_ERROR "README.md, '${title}': block ${block} printed\n${got}\n"
                          "which does not end as the README shows:\n${want}")
    endif()
  endforeach()
endfunction()

# Whatever dpkg knows of the three packages ("ii libmtrx0" lines), "" when
# nothing.
function(dpkg_knows var)
  execute_process(COMMAND dpkg-query -W "-f=\${db:Status-Abbrev} \${Package}\n" ${packages}
    OUTPUT_VARIABLE known ERROR_QUIET)
  string(REGEX REPLACE "(^|\n)un [^\n]*" "" known "${known}")
  string(STRIP "${known}" known)
  set(${var} "${known}" PARENT_SCOPE)
endfunction()

# The environment of a user with a fresh home.
if(NOT DEFINED ENV{CCACHE_DIR})
  execute_process(COMMAND ccache -k cache_dir OUTPUT_VARIABLE cache_dir ERROR_QUIET
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(cache_dir)
    if(NOT DEFINED ENV{CCACHE_CONFIGPATH} AND EXISTS "$ENV{HOME}/.config/ccache/ccache.conf")
      set(ENV{CCACHE_CONFIGPATH} "$ENV{HOME}/.config/ccache/ccache.conf")
    endif()
    set(ENV{CCACHE_DIR} "${cache_dir}")
  endif()
endif()
# Programs installed in the caller's home (a Python of pyenv's before
# Debian's, say) are not a fresh user's.
set(path "")
string(REPLACE ":" ";" entries "$ENV{PATH}")
foreach(entry IN LISTS entries)
  if(NOT entry MATCHES "^$ENV{HOME}(/|$)")
    list(APPEND path "${entry}")
  endif()
endforeach()
list(JOIN path ":" path)
set(ENV{PATH} "${path}")
set(ENV{HOME} ${home})
foreach(variable PKG_CONFIG_PATH PKG_CONFIG_LIBDIR LD_LIBRARY_PATH CMAKE_PREFIX_PATH DESTDIR
    XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME MAKEFLAGS MFLAGS MAKELEVEL MAKEOVERRIDES)
  unset(ENV{${variable}})
endforeach()
set(ENV{PIP_DISABLE_PIP_VERSION_CHECK} 1)

execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
find_program(sudo_program sudo NO_CACHE)
if(uid STREQUAL "0" AND NOT sudo_program)
  file(WRITE ${WORK_DIR}/bin/sudo "#!/bin/sh\nexec \"$@\"\n")
  file(CHMOD ${WORK_DIR}/bin/sudo PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  set(ENV{PATH} "${WORK_DIR}/bin:$ENV{PATH}")
  set(sudo "")
else()
  set(sudo sudo -n)
endif()

section_script(getting "Getting Quendle" ${WORK_DIR}/getting.sh getting_count)
section_script(library "Using the library" ${WORK_DIR}/library.sh library_count)

# The packages, under the lock.
file(LOCK /tmp/quendle-readme-packages.lock GUARD PROCESS TIMEOUT 3600)
dpkg_knows(before)
set(install ON)
if(before)
  set(install OFF)
  set(why "dpkg knows them already:\n${before}")
elseif(NOT uid STREQUAL "0")
  execute_process(COMMAND sudo -n true RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(NOT rc EQUAL 0)
    set(install OFF)
    set(why "sudo asks for a password")
  endif()
endif()
if(NOT install)
  message("README.md: the Debian packages are not installed (${why}); "
          "the `sudo apt install` lines only list them")
  file(READ ${WORK_DIR}/getting.sh script)
  string(REGEX REPLACE "(^|\n)sudo apt install " "\\1ls -l -- " script "${script}")
  file(WRITE ${WORK_DIR}/getting.sh "${script}")
endif()

run_section(${WORK_DIR}/getting.sh getting_rc getting_trace)
if(install)
  set(solved "")
  if(getting_rc EQUAL 0)
    execute_process(COMMAND quendle-solve ${tree}/tests/console/data/example.txt
      RESULT_VARIABLE solve_rc OUTPUT_VARIABLE solved ERROR_VARIABLE solve_err)
  endif()
  dpkg_knows(installed)
  if(installed)
    execute_process(COMMAND ${sudo} apt-get remove -y -qq ${packages}
      RESULT_VARIABLE remove_rc OUTPUT_VARIABLE remove_out ERROR_VARIABLE remove_out)
    if(NOT remove_rc EQUAL 0)
      message(FATAL_ERROR "apt-get remove ${packages} failed (${remove_rc}):\n${remove_out}")
    endif()
  endif()
  dpkg_knows(after)
  if(after)
    message(FATAL_ERROR "after apt-get remove, dpkg still knows the packages:\n${after}")
  endif()
  if(getting_rc EQUAL 0)
    file(READ ${tree}/tests/console/data/example.txt input)
    file(READ ${tree}/tests/console/data/example.report report)
    if(NOT solve_rc EQUAL 0 OR NOT solved STREQUAL "${input}${report}")
      message(FATAL_ERROR "the installed quendle-solve (status ${solve_rc}) wrote\n${solved}\n${solve_err}")
    endif()
    string(REGEX MATCHALL "(^|\n)ii [^\n]+" installed_lines "${installed}")
    list(LENGTH installed_lines installed_count)
    if(NOT installed_count EQUAL 3)
      message(FATAL_ERROR "the README's apt lines installed\n${installed}\nnot the three packages")
    endif()
  endif()
endif()
file(LOCK /tmp/quendle-readme-packages.lock RELEASE)
check_section(getting "Getting Quendle" "${getting_rc}" "${getting_trace}")

run_section(${WORK_DIR}/library.sh library_rc library_trace)
check_section(library "Using the library" "${library_rc}" "${library_trace}")
if(install)
  set(how "the Debian packages installed and removed")
else()
  set(how "the Debian packages not installed")
endif()
message("README.md: ${getting_count} blocks of 'Getting Quendle' and ${library_count} of "
        "'Using the library' ran as written (${how})")
