# The shipped installer (msi.sh): scripts/release builds the MSI of the sample package from what the win32
# and win64 presets built (the fixture wine-msi, unsigned), then each road installs it with msiexec /qn
# while dbgmon records, installs it again, and removes it with msiexec /x /qn.
set(FENWARR_MSI_DIR ${CMAKE_BINARY_DIR}/release)
add_test(NAME wine-msi
         COMMAND ${FENWARR_BASH} ${CMAKE_SOURCE_DIR}/scripts/release --no-build --out ${FENWARR_MSI_DIR})
set_tests_properties(wine-msi PROPERTIES
    LABELS "wine;release"
    FIXTURES_SETUP wine-msi
    # The tests' MSI is never signed, whatever the environment says.
    ENVIRONMENT_MODIFICATION "FENWARR_SIGN_PFX=unset:;FENWARR_SIGN_PASSWORD=unset:"
    TIMEOUT 120)

foreach(arch win32 win64)
  fenwarr_wine_test(wine.msi.${arch} msi.sh ${arch})
  set_property(TEST wine.msi.${arch} APPEND PROPERTY FIXTURES_REQUIRED wine-msi)
  set_property(TEST wine.msi.${arch} APPEND PROPERTY ENVIRONMENT
               "FENWARR_MSI=${FENWARR_MSI_DIR}/FenwarrDriverPackage-${PROJECT_VERSION}.msi"
               "FENWARR_VERSION=${PROJECT_VERSION}")
endforeach()
