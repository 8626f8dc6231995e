# The debug-output monitor's own Wine test (tools/dbgmon/tests/burst.sh):
# exact records of a 5000-string burst, escaping, exit codes, a second
# monitor, a grandchild. It hard-link clones the test bed's 32-bit master
# prefix (hence the wine-masters fixture) instead of running wineboot, and
# keeps its folder under the bed's run/ folder, where the bed's sweep also
# removes what an aborted run left (and a hard-link clone needs the same
# file system as the master).
set(FENWARR_DBGMON_DIR ${CMAKE_SOURCE_DIR}/build/win32/tools/dbgmon)
add_test(NAME wine.dbgmon.burst
         COMMAND ${FENWARR_BASH} ${CMAKE_SOURCE_DIR}/tools/dbgmon/tests/burst.sh
                 ${FENWARR_DBGMON_DIR}/dbgmon.exe ${FENWARR_DBGMON_DIR}/odsburst.exe 5000)
set_tests_properties(wine.dbgmon.burst PROPERTIES
    LABELS wine
    FIXTURES_REQUIRED wine-masters
    ENVIRONMENT "WINE_MASTER32=${CMAKE_SOURCE_DIR}/build/wine-bed/master-win32;TMPDIR=${CMAKE_SOURCE_DIR}/build/wine-bed/run"
    TIMEOUT 300)
