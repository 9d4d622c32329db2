# Installs the engine's development part into a temporary prefix, checks that
# its headers include nothing but each other and the C++ library, then
# configures, builds and runs the consumer project against it; then builds
# the same program with what pkg-config says. Called with
#   -DBUILD_DIR= -DSOURCE_DIR= -DWORK_DIR= -DCXX=
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGV}\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component development)

file(GLOB_RECURSE headers ${prefix}/include/gloam/*)
if(NOT headers)
  message(FATAL_ERROR "no headers installed under ${prefix}/include/gloam")
endif()
foreach(header IN LISTS headers)
  file(STRINGS ${header} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    if(line MATCHES "<([^>]+)>")
      # The C++ library's headers have no extension and no folder.
      if(NOT CMAKE_MATCH_1 MATCHES "^[a-z_]+$")
        message(FATAL_ERROR "${header} includes a library header: ${line}")
      endif()
    elseif(line MATCHES "\"([^\"]+)\"")
      if(NOT EXISTS ${prefix}/include/gloam/${CMAKE_MATCH_1})
        message(FATAL_ERROR "${header} includes ${CMAKE_MATCH_1}, which is not installed")
      endif()
    endif()
  endforeach()
endforeach()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/app)
message("${out}")

file(GLOB_RECURSE pc ${prefix}/*/gloam.pc)
get_filename_component(pcdir "${pc}" DIRECTORY)
run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pcdir} pkg-config --cflags --libs gloam)
separate_arguments(flags UNIX_COMMAND "${out}")
run(${CXX} -std=c++20 ${SOURCE_DIR}/main.cpp -o ${WORK_DIR}/app-pkg-config ${flags})
run(${WORK_DIR}/app-pkg-config)
message("pkg-config: ${out}")
