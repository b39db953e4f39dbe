# Each library's headers are reachable only by the targets that link it.
#
# A library's include root is a folder of its own in the build tree that holds
# links to its headers alone, under their usual paths ("check/SqlText.h"), so
# sources include them as before; an include of a library one does not link
# finds no such file and fails to compile. The source tree itself is on no
# include path: target_link_libraries is the whole truth about what a target
# may include.

set(RC_STAGE_DIR ${CMAKE_BINARY_DIR}/include)

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
