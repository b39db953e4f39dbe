# Each library's headers are reachable only by the targets that link it.
#
# A library's include root is a folder of its own in the build tree that holds
# links to its headers alone, under their usual paths ("check/SqlText.h"), so
# sources include them as before; an include of a library one does not link
# finds no such file and fails to compile. The source tree itself is on no
# include path: target_link_libraries is the whole truth about what a target
# may include. Qt's modules are held to the same rule (rc_seal_qt), and the
# probes of cmake/LayerProbes.cmake, compiled by the build itself, fail it
# when a library can reach a header it must not.

set(RC_STAGE_DIR ${CMAKE_BINARY_DIR}/include)
set(RC_PROBE_DIR ${CMAKE_BINARY_DIR}/layers)
set_property(GLOBAL PROPERTY RC_LAYER_PROBE_COUNT 0)

# rc_stage_headers(TARGET): makes TARGET's include root from the headers among
# its sources and gives it to TARGET and to whatever links it.
function(rc_stage_headers target)
  get_target_property(sources ${target} SOURCES)
  get_target_property(dir ${target} SOURCE_DIR)
  set(root ${RC_STAGE_DIR}/${target})
  file(REMOVE_RECURSE ${root})
  foreach(src ${sources})
    if(src MATCHES "\\.h$")
      get_filename_component(abs ${src} ABSOLUTE BASE_DIR ${dir})
      file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${abs})
      get_filename_component(parent ${root}/${rel} DIRECTORY)
      file(MAKE_DIRECTORY ${parent})
      file(CREATE_LINK ${abs} ${root}/${rel} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
  rc_layer_library(${target})
endfunction()

# The include root of the tests and benchmarks: their own folders only.
function(rc_stage_test_folders)
  set(root ${RC_STAGE_DIR}/tests_and_benches)
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(folder tests bench)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  set(RC_TEST_INCLUDE_DIR ${root} PARENT_SCOPE)
endfunction()

# rc_seal_qt(): each Qt module's headers reachable only by the targets that
# link it, in every spelling. Qt's imported targets all put Qt's include root
# on the path of whatever links any of them, so that with Qt Core alone
# <QtWidgets/QWidget> compiles (only <QWidget> fails). Here each module's
# target gives instead an include root of its own that holds that module
# alone (for <QtCore/QString>), beside the module's folder it gives already
# (for <QString>); Qt's headers include each other in the long spelling, so
# they find what they need through the roots of the modules they belong to.
# Sets RC_QT_INCLUDE_ROOT, Qt's own root. Call where Qt was found, after
# find_package.
function(rc_seal_qt)
  get_target_property(core Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
  list(FILTER core INCLUDE REGEX "/QtCore$")
  get_filename_component(qt_root "${core}" DIRECTORY)
  if(NOT IS_DIRECTORY "${qt_root}/QtCore")
    message(FATAL_ERROR "Qt's include root not found among Qt6::Core's include folders")
  endif()
  file(REMOVE_RECURSE ${RC_STAGE_DIR}/qt)
  get_property(targets DIRECTORY PROPERTY IMPORTED_TARGETS)
  foreach(target ${targets})
    get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
    if(NOT dirs OR NOT qt_root IN_LIST dirs)
      continue()
    endif()
    list(REMOVE_ITEM dirs ${qt_root})
    # Qt6::Widgets is the module QtWidgets; targets that are no module
    # (Qt6::Platform, the tools) only lose the root.
    string(REGEX REPLACE "^Qt6::" "Qt" module ${target})
    if(target MATCHES "^Qt6::" AND IS_DIRECTORY ${qt_root}/${module})
      set(root ${RC_STAGE_DIR}/qt/${module})
      file(MAKE_DIRECTORY ${root})
      file(CREATE_LINK ${qt_root}/${module} ${root}/${module} SYMBOLIC)
      list(APPEND dirs ${root})
    endif()
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${dirs}")
  endforeach()
  set(RC_QT_INCLUDE_ROOT ${qt_root} PARENT_SCOPE)
endfunction()

# rc_layer_probe(LIBRARY [USERS] [REACHES header...] FORBIDS header...)
# A probe: a source of tests of the preprocessor alone (__has_include, so no
# compiler's wording of a missing file matters), compiled by the normal build,
# that stops the build with "layer breach: ..." when a FORBIDS header is found
# and with "layer probe: ..." when a REACHES header is not (a probe that finds
# nothing at all proves nothing). Headers are written as they are included:
# <QtWidgets/QWidget>, check/SqlText.h.
#   LIBRARY  the library whose reach is probed; ALL for every library of the
#            layers (rc_stage_headers) and of the tests' support
#   USERS    probe what a target linking LIBRARY can include, so what LIBRARY
#            links PUBLIC; without it, what LIBRARY's own sources can include,
#            and the probe is one of them
# A library this configuration does not build (the fuzz build has two) is
# passed over.
function(rc_layer_probe library)
  cmake_parse_arguments(P "USERS" "" "REACHES;FORBIDS" ${ARGN})
  if(NOT P_FORBIDS OR P_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "rc_layer_probe(${library} ${ARGN}): FORBIDS headers expected")
  endif()
  if(library STREQUAL "ALL")
    get_property(libraries GLOBAL PROPERTY RC_LAYER_LIBRARIES)
  elseif(TARGET ${library})
    set(libraries ${library})
  elseif(RC_FUZZ OR NOT RC_BUILD_TESTS)
    return()  # not built here
  else()
    message(FATAL_ERROR "rc_layer_probe: no library ${library}")
  endif()
  foreach(lib ${libraries})
    if(P_USERS)
      set(whose "what links ${lib}")
      set(kind users)
    else()
      set(whose "${lib}'s sources")
      set(kind sources)
    endif()
    get_property(n GLOBAL PROPERTY RC_LAYER_PROBE_COUNT)
    math(EXPR n "${n} + 1")
    set_property(GLOBAL PROPERTY RC_LAYER_PROBE_COUNT ${n})
    set(text "// Layer probe ${n}, written by cmake/Layers.cmake: what ${whose} can include.\n")
    foreach(header ${P_REACHES})
      rc_include_form(${header} form)
      string(APPEND text "#if !__has_include(${form})\n"
                         "#error \"layer probe: ${whose} cannot find ${header}\"\n#endif\n")
    endforeach()
    foreach(header ${P_FORBIDS})
      rc_include_form(${header} form)
      string(APPEND text "#if __has_include(${form})\n"
                         "#error \"layer breach: ${whose} can include ${header}\"\n#endif\n")
    endforeach()
    set(src ${RC_PROBE_DIR}/${lib}_${kind}_${n}.cpp)
    # Written only when it changes, so that a new configure rebuilds nothing.
    set(old "")
    if(EXISTS ${src})
      file(READ ${src} old)
    endif()
    if(NOT old STREQUAL text)
      file(WRITE ${src} "${text}")
    endif()
    if(P_USERS)
      add_library(layer_probe_${n} OBJECT ${src})
      target_link_libraries(layer_probe_${n} PRIVATE ${lib})
      set_property(GLOBAL APPEND PROPERTY RC_LAYER_USER_PROBES layer_probe_${n})
    else()
      target_sources(${lib} PRIVATE ${src})
    endif()
  endforeach()
endfunction()

# "<QString>" stays as it is; check/SqlText.h becomes "check/SqlText.h".
function(rc_include_form header out)
  if(header MATCHES "^<.*>$")
    set(${out} "${header}" PARENT_SCOPE)
  else()
    set(${out} "\"${header}\"" PARENT_SCOPE)
  endif()
endfunction()

# rc_layer_library(TARGET): TARGET is one of the libraries ALL probes.
function(rc_layer_library target)
  set_property(GLOBAL APPEND PROPERTY RC_LAYER_LIBRARIES ${target})
endfunction()

# rc_layer_probes_before(TARGET...): the probes of what links a library are
# built before these targets (a library's own probes are among its sources),
# so that building the program alone stops at a breach as well.
function(rc_layer_probes_before)
  get_property(probes GLOBAL PROPERTY RC_LAYER_USER_PROBES)
  foreach(target ${ARGN})
    if(TARGET ${target} AND probes)
      add_dependencies(${target} ${probes})
    endif()
  endforeach()
endfunction()
