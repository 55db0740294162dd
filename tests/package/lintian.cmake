# Runs Debian's checks on the package that "./build.sh package" made (build-pkg/ at the top of the
# tree): any error or warning fails. Making the package here would strip and compress the whole
# test build, minutes on a busy machine, so without lintian, or without a package as new as the
# files it is made of, the test says why and is skipped. Called by CTest with LINTIAN, SOURCE and
# VERSION set.
if(NOT LINTIAN)
  message(STATUS "skipped: lintian is not installed")
  return()
endif()
file(GLOB debs ${SOURCE}/build-pkg/dorvana_${VERSION}_*.deb)
if(NOT debs)
  message(STATUS "skipped: no package in ${SOURCE}/build-pkg; ./build.sh package makes it")
  return()
endif()
list(GET debs 0 deb)
file(GLOB_RECURSE inputs ${SOURCE}/CMakeLists.txt ${SOURCE}/resources/*)
foreach(input ${inputs})
  if(${input} IS_NEWER_THAN ${deb})
    message(STATUS "skipped: ${deb} is older than ${input}; ./build.sh package makes it again")
    return()
  endif()
endforeach()
execute_process(COMMAND ${LINTIAN} --fail-on error,warning ${deb}
                RESULT_VARIABLE checked OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT checked EQUAL 0)
  message(FATAL_ERROR "lintian on ${deb}:\n${said}")
endif()
message(STATUS "lintian: ${deb} passes\n${said}")
