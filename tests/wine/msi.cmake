# The shipped installer (msi.sh): the fixture wine-msi builds the MSI of the sample package with
# scripts/release from what the win32 and win64 presets built (unsigned), and the same as the next
# version (msi-build.sh); then each road installs it with msiexec /qn while dbgmon records, installs it
# again (and the same version built once more), upgrades, refuses the downgrade and removes it with msiexec /x /qn.
set(FENWARR_MSI_DIR ${CMAKE_BINARY_DIR}/release)
add_test(NAME wine-msi COMMAND ${FENWARR_BASH} ${CMAKE_CURRENT_SOURCE_DIR}/msi-build.sh ${FENWARR_MSI_DIR})
set_tests_properties(wine-msi PROPERTIES
    LABELS "wine;release"
    FIXTURES_SETUP wine-msi)

foreach(arch win32 win64)
  fenwarr_wine_test(wine.msi.${arch} msi.sh ${arch})
  set_property(TEST wine.msi.${arch} APPEND PROPERTY FIXTURES_REQUIRED wine-msi)
  set_property(TEST wine.msi.${arch} APPEND PROPERTY ENVIRONMENT
               "FENWARR_MSI=${FENWARR_MSI_DIR}/FenwarrDriverPackage-${PROJECT_VERSION}.msi"
               "FENWARR_MSI_REBUILT=${FENWARR_MSI_DIR}/FenwarrDriverPackage-rebuilt.msi"
               "FENWARR_MSI_NEXT=${FENWARR_MSI_DIR}/FenwarrDriverPackage-next.msi"
               "FENWARR_VERSION=${PROJECT_VERSION}")
endforeach()
