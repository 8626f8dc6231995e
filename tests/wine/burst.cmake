# The debug-output monitor's own Wine test (dbgmon-burst.sh, which runs tools/dbgmon/tests/burst.sh):
# exact records of a 5000-string burst, escaping, the --time column, exit codes, a second monitor (also one
# holding the Global\ names only), a sender through the Global\ names (as a session-0 process sends) alone
# and beside a plain one, each string exact and in its sender's order, and, beside a stranger sending every
# 100 ms, the command's tree alone in the record (a grandchild included, by job object and by snapshots),
# every sender with --all, and the end within 2 s of the tree's. It hard-link clones the test bed's master prefix (hence the wine-masters fixture) instead
# of running wineboot, and keeps its folder under the bed's run/ folder, where the bed's sweep also
# removes what an aborted run left.
add_test(NAME wine.dbgmon.burst
         COMMAND ${FENWARR_BASH} ${CMAKE_CURRENT_SOURCE_DIR}/dbgmon-burst.sh 5000)
set_tests_properties(wine.dbgmon.burst PROPERTIES
    LABELS wine
    FIXTURES_REQUIRED wine-masters
    ENVIRONMENT "${FENWARR_WINE_ENV}")
fenwarr_wine_limit(wine.dbgmon.burst ${FENWARR_WINE_SCENARIO_LIMIT})
