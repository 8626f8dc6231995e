# Device maintenance on 32-bit Windows (devices.sh): listed and unlisted nodes
# with and without a driver, lower-case IDs, a match on the second string,
# two adjacent driverless nodes, long IDs and driver names, a REG_SZ list
# ("maintenance", under Windows 7 and XP); unusual property values: empty,
# NUL-only, unterminated and REG_BINARY hardware-ID lists, empty and odd
# drivers ("values").
foreach(version win7 winxp)
  fenwarr_wine_test(wine.devices.maintenance.${version} devices.sh maintenance ${version})
endforeach()
fenwarr_wine_test(wine.devices.values.win7 devices.sh values win7)
