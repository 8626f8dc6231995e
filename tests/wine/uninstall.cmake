# The way back (uninstall.sh): install, then FenwarrUninstall.exe with foreign INF files in the driver
# store and listed and unlisted device nodes, then a second run that finds nothing; on 32-bit Windows,
# through the companion's uninstall mode on 64-bit Windows, and with the package folder gone.
foreach(case win32.road win64.road win32.nopackage)
  string(REPLACE "." ";" args ${case})
  fenwarr_wine_test(wine.uninstall.${case} uninstall.sh ${args})
endforeach()
