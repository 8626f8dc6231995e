# The 64-bit hand-off (handoff.sh): the whole 64-bit road with the companion
# removing seeded ghost nodes, a missing companion, and 32-bit Windows where
# the companion is never started.
fenwarr_wine_test(wine.handoff.win64.road handoff.sh win64 road)
fenwarr_wine_test(wine.handoff.win64.no-companion handoff.sh win64 no-companion)
fenwarr_wine_test(wine.handoff.win32.road handoff.sh win32 road)
