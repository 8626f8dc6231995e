# Driver package deployment (deploy.sh): the whole package, a package missing
# one co-installer and one INF, no package folder, and a second run over the
# first, on 32-bit Windows and on 64-bit Windows (where the companion's
# records and copies are part of each case).
foreach(arch win32 win64)
  foreach(case full omit nopackage rerun)
    fenwarr_wine_test(wine.deploy.${arch}.${case} deploy.sh ${arch} ${case})
  endforeach()
endforeach()
