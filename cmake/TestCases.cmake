# Runs inside ctest, before the tests: lists a GoogleTest program's cases
# (under the emulator, so with Wine) and adds them as ctest tests, again only
# when the program is newer than the list.
#
# Cases run together, one process per fixture ("Fixture.*"), unless their
# fixture is named in TAVRIN_OWN_PROCESS: those cases touch what lives as
# long as a process (its DPI awareness, the certificates it has read, a
# program it starts and leaves behind, ...) and keep one process each
# ("Fixture.Case").
#
# Expects TAVRIN_PROGRAM, TAVRIN_EXECUTOR, TAVRIN_WORKDIR, TAVRIN_CTEST_FILE,
# TAVRIN_SETTINGS_FILE (the file that set these), TAVRIN_OWN_PROCESS,
# TAVRIN_TIMEOUT and TAVRIN_RESOURCES.

cmake_policy(PUSH)
cmake_policy(VERSION 3.25)

function(tavrin_quote out value)
  set(${out} "[==[${value}]==]" PARENT_SCOPE)
endfunction()

function(tavrin_write_cases)
  execute_process(
    COMMAND ${TAVRIN_EXECUTOR} "${TAVRIN_PROGRAM}" --gtest_list_tests
    WORKING_DIRECTORY "${TAVRIN_WORKDIR}"
    TIMEOUT 120
    OUTPUT_VARIABLE listing
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Listing the cases of ${TAVRIN_PROGRAM} failed (${result}):\n${listing}")
  endif()

  # "Fixture." lines, each followed by its "  Case" lines; parameters and
  # type names follow a '#'.
  string(REPLACE "\r" "" listing "${listing}")
  string(REPLACE ";" "\\;" listing "${listing}")
  string(REPLACE "\n" ";" lines "${listing}")
  set(script "")
  set(fixture "")
  set(own FALSE)
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE " *#.*" "" line "${line}")
    if(line MATCHES "^([^ ].*)\\.$")
      set(fixture "${CMAKE_MATCH_1}")
      string(REGEX REPLACE "^[^/]*/" "" bare "${fixture}")
      if(bare IN_LIST TAVRIN_OWN_PROCESS OR fixture IN_LIST TAVRIN_OWN_PROCESS)
        set(own TRUE)
      else()
        set(own FALSE)
        list(APPEND names "${fixture}.*")
        set(count_${fixture} 0)
      endif()
    elseif(line MATCHES "^  ([^ ]+)$")
      if(own)
        list(APPEND names "${fixture}.${CMAKE_MATCH_1}")
      else()
        math(EXPR count_${fixture} "${count_${fixture}} + 1")
      endif()
    endif()
  endforeach()

  tavrin_quote(program "${TAVRIN_PROGRAM}")
  foreach(name IN LISTS names)
    # A fixture's process may take the bound of each of its cases.
    set(timeout ${TAVRIN_TIMEOUT})
    if(name MATCHES "^(.*)\\.\\*$")
      math(EXPR timeout "${TAVRIN_TIMEOUT} * ${count_${CMAKE_MATCH_1}}")
    endif()
    tavrin_quote(quoted "${name}")
    tavrin_quote(filter "--gtest_filter=${name}")
    string(APPEND script "add_test(${quoted} ${TAVRIN_EXECUTOR} ${program} ${filter})\n")
    # A filter that selects nothing must not pass for a test that ran.
    string(APPEND script "set_tests_properties(${quoted} PROPERTIES WORKING_DIRECTORY [==[${TAVRIN_WORKDIR}]==]"
                         " TIMEOUT ${timeout} FAIL_REGULAR_EXPRESSION [==[Running 0 tests]==]")
    if(TAVRIN_RESOURCES)
      string(APPEND script " RESOURCE_GROUPS ${TAVRIN_RESOURCES}")
    endif()
    string(APPEND script ")\n")
  endforeach()
  file(WRITE "${TAVRIN_CTEST_FILE}" "${script}")
endfunction()

if(NOT EXISTS "${TAVRIN_CTEST_FILE}" OR NOT "${TAVRIN_CTEST_FILE}" IS_NEWER_THAN "${TAVRIN_PROGRAM}"
   OR NOT "${TAVRIN_CTEST_FILE}" IS_NEWER_THAN "${CMAKE_CURRENT_LIST_FILE}"
   OR NOT "${TAVRIN_CTEST_FILE}" IS_NEWER_THAN "${TAVRIN_SETTINGS_FILE}")
  tavrin_write_cases()
endif()
include("${TAVRIN_CTEST_FILE}")
cmake_policy(POP)
