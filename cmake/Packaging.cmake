# Debian packages, one per program: `cpack -G DEB` in the build folder (or
# scripts/package.sh) makes tarewise, sheetwise and corvel .deb files. Libraries the
# programs link are found by dpkg-shlibdeps (Qt 6, libcups2); what they load without
# linking is declared here: the label fonts.
set(corvel_packages tarewise sheetwise corvel)
set(corvel_maintainer "Corvel developers <corvel@example.org>")

install(TARGETS tarewise RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tarewise)
install(TARGETS sheetwise RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sheetwise)
install(TARGETS corvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT corvel)
# Only the station is started by hand; sheetwise is started by the point-of-sale suite
# and, started from a menu, would print the last request again.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/tarewise.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT tarewise)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/tarewise.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT tarewise)

# Every package carries the copyright file and the changelog (compressed without a time
# stamp, so the same sources give the same package).
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND sh -c "gzip -9n < '${CMAKE_SOURCE_DIR}/packaging/changelog' > '${changelog}'"
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(corvel_changelog ALL DEPENDS ${changelog})
foreach(package ${corvel_packages})
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${changelog}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${package})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvel)
set(CPACK_PACKAGE_VENDOR "Corvel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${corvel_packages})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${corvel_maintainer})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(fonts "fonts-wine, fonts-liberation")
set(CPACK_DEBIAN_TAREWISE_PACKAGE_NAME tarewise)
set(CPACK_DEBIAN_TAREWISE_PACKAGE_DEPENDS ${fonts})
# Labels go through the print server; without one they go into PDF files.
set(CPACK_DEBIAN_TAREWISE_PACKAGE_RECOMMENDS cups)
set(CPACK_DEBIAN_TAREWISE_PACKAGE_SECTION misc)
set(CPACK_COMPONENT_TAREWISE_DESCRIPTION
    "label station for a retail scale\nOne window beside a retail scale: pick a product, weigh it and print a\nweighed-item label with its price and an EAN-13 barcode (the item's own code\nor a price-embedded number). Products are kept in a local file; labels go to\na CUPS printer or into PDF files.")
set(CPACK_DEBIAN_SHEETWISE_PACKAGE_NAME sheetwise)
set(CPACK_DEBIAN_SHEETWISE_PACKAGE_DEPENDS ${fonts})
set(CPACK_DEBIAN_SHEETWISE_PACKAGE_RECOMMENDS cups)
set(CPACK_COMPONENT_SHEETWISE_DESCRIPTION
    "print runner for a point-of-sale suite's label requests\nPrints the barcode labels, list pages, sheets of adhesive labels and shelf\ncards a point-of-sale suite requests, then ends. Started by the suite after\nit writes a request file; runs unattended on a print server as well.")
set(CPACK_DEBIAN_CORVEL_PACKAGE_NAME corvel)
set(CPACK_DEBIAN_CORVEL_PACKAGE_DEPENDS ${fonts})
# "corvel request" starts sheetwise after writing a request.
set(CPACK_DEBIAN_CORVEL_PACKAGE_RECOMMENDS sheetwise)
set(CPACK_COMPONENT_CORVEL_DESCRIPTION
    "companion command of the Corvel label programs\nA barcode inspector (EAN-13, EAN-8, UPC-E), a retail scale simulator on a\npseudo-terminal, a request writer that stands in for the point-of-sale suite,\nand a weighed-label printer for tuning label layouts.")
include(CPack)
