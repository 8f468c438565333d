# Installing as a Linux program (cmake --install, or the .deb that
# scripts/package.sh makes with CPack): kitemail and kitemail-cli in bin;
# kitemail-cli-qt, the half of kitemail-cli that loads Qt, in lib/kitemail
# off the user's PATH, where kitemail-cli looks for it (../lib/kitemail from
# its own folder); the desktop entry, the icon, the AppStream metadata, the
# manual pages, the bash completion, the copyright and the changelog under
# share.
include(GNUInstallDirs)

# Where the published repository (with its docs/ pictures) is found; the
# software centres' link and screenshot.
set(KITEMAIL_HOMEPAGE "https://kitemail.example.jp" CACHE STRING "Kitemail Pro's home page, without a trailing /")

set(KITEMAIL_PROGRAMS kitemail-cli)
if(KITEMAIL_BUILD_GUI)
  list(APPEND KITEMAIL_PROGRAMS kitemail)
endif()
install(TARGETS ${KITEMAIL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS kitemail-cli-qt RUNTIME DESTINATION lib/kitemail)

set(dist ${PROJECT_SOURCE_DIR}/dist)
# Manual pages and the changelog are installed compressed, as Debian keeps them.
set(pages kitemail-cli)
if(KITEMAIL_BUILD_GUI)
  list(APPEND pages kitemail)
  install(FILES ${dist}/kitemail.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${dist}/kitemail.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  configure_file(${dist}/jp.example.kitemail.metainfo.xml.in ${PROJECT_BINARY_DIR}/jp.example.kitemail.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/jp.example.kitemail.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
foreach(page ${pages})
  set(gz ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${dist}/${page}.1 ${gz}
    DEPENDS ${dist}/${page}.1
    VERBATIM)
  list(APPEND compressed ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
set(changelog ${PROJECT_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
  COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${dist}/changelog ${changelog}
  DEPENDS ${dist}/changelog
  VERBATIM)
add_custom_target(kitemail_dist_files ALL DEPENDS ${compressed} ${changelog})
# The package's name, not the project's: Debian looks in /usr/share/doc/kitemail.
install(FILES ${dist}/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kitemail)
install(FILES ${dist}/kitemail-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME kitemail-cli)

# The .deb: Debian's Qt 6 runtime libraries, no -dev packages. OpenSSL is
# loaded by Qt's TLS plug-in, so it is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kitemail)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kitemail Pro developers <kitemail@example.jp>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write and send short mails to Japanese mobile phones")
# Lines of the description stay under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION [[
Kitemail Pro counts a message exactly as the receiving mobile service
counts it, splits one that is too long into numbered parts and sends it as
ISO-2022-JP mail over SMTP (STARTTLS, TLS, SMTP AUTH, POP before SMTP).
A window and the command-line tool kitemail-cli.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KITEMAIL_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libqt6core6 (>= 6.4), libqt6network6 (>= 6.4), libssl3, libqt6keychain1")
if(KITEMAIL_BUILD_GUI)
  # Qt's translations: its dialogs and standard buttons in the desktop's language.
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
         ", libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), qt6-translations-l10n")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic")
endif()
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
include(CPack)
