# Targets that hold the system's own texts compile their Russian literals
# (UTF-8 in the sources) to Windows-1251 bytes. Never set this on Qt views,
# the host or the simulator: it breaks QString literals and JSON dumps.
function(tolvane_system_target target)
  target_compile_options(${target} PRIVATE -fexec-charset=CP1251)
endfunction()

# One line per test executable: tolvane_add_test(NAME SOURCES... [LIBS ...] [SYSTEM] [LABELS ...])
# SYSTEM marks a test whose literals are system texts (CP1251).
function(tolvane_add_test name)
  cmake_parse_arguments(T "SYSTEM" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE tolvane_testsupport GTest::gtest_main ${T_LIBS})
  if(T_SYSTEM)
    tolvane_system_target(${name})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300 ENVIRONMENT "TOLVANE_BIN=${CMAKE_BINARY_DIR}/bin;TZ=Europe/Moscow")
endfunction()
