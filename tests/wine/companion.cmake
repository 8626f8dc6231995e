# The companion on its own (companion.sh): Fenwarr64.exe started directly in a
# 64-bit prefix, the part of the 64-bit road that needs no 32-bit program.
fenwarr_wine_test(wine.companion.alone companion.sh)
