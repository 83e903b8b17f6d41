# Each fuzz target built with a plain main that replays its corpus kept in the repository,
# registered as a test.
include(${CMAKE_CURRENT_LIST_DIR}/targets.cmake)
foreach(name ${PICBATCH_FUZZ_TARGETS})
  string(REGEX REPLACE "^fuzz_" "" corpus ${name})
  add_executable(replay_${name} ${CMAKE_CURRENT_LIST_DIR}/${${name}_SOURCE} ${CMAKE_CURRENT_LIST_DIR}/replay_corpus.cpp)
  target_compile_definitions(replay_${name} PRIVATE ${${name}_DEFINITIONS})
  target_link_libraries(replay_${name} PRIVATE pictures imaging)
  add_test(NAME FuzzCorpus.${corpus}
           COMMAND replay_${name} ${CMAKE_CURRENT_LIST_DIR}/corpus/${corpus})
endforeach()
