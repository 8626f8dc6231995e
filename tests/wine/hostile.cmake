# Hostile input on 32-bit Windows 7 (hostile.sh): a 4,000-character hardware
# ID, 500 hardware IDs on one node and a 2,000-character driver name ("ids");
# directories where the package's files are expected ("package"); 5,000
# seeded device nodes, 1% of them listed and driverless ("bulk", about 20 s:
# the run itself takes about 7 s, 1.4 ms per node, the rest is seeding and
# two registry dumps; about 75 s under user-mode emulation, longer on a busy
# machine, hence its own limit in the table of CMakeLists.txt).
fenwarr_wine_test(wine.hostile.ids hostile.sh ids)
fenwarr_wine_test(wine.hostile.package hostile.sh package)
fenwarr_wine_test(wine.hostile.bulk hostile.sh bulk 5000)
