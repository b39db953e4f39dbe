# cmake -DCOMPILER=... -DCOMMANDS=compile_commands.json -DPROBE_DIR=... \
#       -DSTAGE_DIR=... -DQT_ROOT=... -P probes_hold.cmake
# Compiles every layer probe of a build with COMPILER, by the build's own
# command: once as it is (it must pass), once with every include root on the
# path (each "layer breach" the probe holds must be reported, and it must fail).
if(NOT COMPILER OR NOT EXISTS "${COMPILER}")
  message("compiler not installed: ${COMPILER}")
  cmake_language(EXIT 77)
endif()

# The breach: all of the build's include roots and all of Qt.
file(GLOB roots LIST_DIRECTORIES true ${STAGE_DIR}/* ${STAGE_DIR}/qt/* ${QT_ROOT} ${QT_ROOT}/Qt*)
set(breach)
foreach(root ${roots})
  if(IS_DIRECTORY ${root})
    list(APPEND breach -I${root})
  endif()
endforeach()

file(READ ${COMMANDS} json)
string(JSON count LENGTH "${json}")
math(EXPR last "${count} - 1")
set(probes 0)
foreach(i RANGE ${last})
  string(JSON file GET "${json}" ${i} file)
  string(FIND "${file}" "${PROBE_DIR}/" at)
  if(NOT at EQUAL 0)
    continue()
  endif()
  math(EXPR probes "${probes} + 1")
  string(JSON dir GET "${json}" ${i} directory)
  string(JSON command GET "${json}" ${i} command)
  separate_arguments(words UNIX_COMMAND "${command}")
  list(POP_FRONT words)  # the build's compiler
  # Only checked, not compiled: no object file and no dependency file.
  set(args)
  set(skip_next FALSE)
  foreach(word ${words})
    if(skip_next)
      set(skip_next FALSE)
    elseif(word MATCHES "^-(o|MT|MF|MQ)$")
      set(skip_next TRUE)
    elseif(NOT word MATCHES "^-(c|MD|MMD)$")
      list(APPEND args ${word})
    endif()
  endforeach()
  get_filename_component(name ${file} NAME)

  execute_process(COMMAND ${COMPILER} ${args} -fsyntax-only WORKING_DIRECTORY ${dir}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(SEND_ERROR "${name} fails under ${COMPILER} as the build has it:\n${out}")
  endif()

  execute_process(COMMAND ${COMPILER} ${args} ${breach} -fsyntax-only WORKING_DIRECTORY ${dir}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  file(STRINGS ${file} rules REGEX "^#error \"layer breach: ")
  if(rc EQUAL 0 OR NOT rules)
    message(SEND_ERROR "${name} passes under ${COMPILER} with every header on the path")
  endif()
  foreach(rule ${rules})
    string(REGEX REPLACE "^#error \"(.*)\"$" "\\1" text "${rule}")
    string(FIND "${out}" "${text}" seen)
    if(seen EQUAL -1)
      message(SEND_ERROR "${name} under ${COMPILER} does not report \"${text}\":\n${out}")
    endif()
  endforeach()
endforeach()
if(probes EQUAL 0)
  message(FATAL_ERROR "no layer probe in ${COMMANDS}")
endif()
message("${probes} layer probes hold under ${COMPILER}")
