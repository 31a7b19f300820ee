# `cpack -G DEB` in a build folder makes sayloom_<version>_<arch>.deb from exactly what the install rules list, so
# tests and benchmarks never reach the package. `make deb` configures a release build for it in build-deb/.
set(CPACK_PACKAGE_NAME sayloom)
set(CPACK_PACKAGE_VENDOR "The Sayloom developers")
# dpkg takes a maintainer without an address; an invented one would send bug reports nowhere.
set(CPACK_PACKAGE_CONTACT "The Sayloom developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "push-to-talk dictation for the desktop")
# Debian shows the long description as it stands, so it carries its own line breaks.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Hold a trigger key in any application, speak, and let go: the speech is"
    "recognised on this computer with PocketSphinx, cleaned up (fillers,"
    "stutters, spoken line breaks, capitals), corrected against your own"
    "dictionary of words and mishearings, and pasted where you were typing."
    "Nothing leaves the machine.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What dpkg-shlibdeps can't see because nothing links it: the recogniser's English model, the word list the
# dictionary's warnings read, the SVG plugins Qt loads for our icons, and libcanberra's PulseAudio backend that
# plays the cues. Qt's X11 and offscreen platforms ship inside libqt6gui6, which the linked libraries already pull in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "pocketsphinx-en-us, wamerican, libqt6svg6, libcanberra-pulse")
# A sound server for the microphone, and an icon theme for the symbols where the desktop sets none.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, adwaita-icon-theme")

# Every library of ours is static and the system's live in the standard folders, so the installed program needs no
# library search path; Debian rejects one that points anywhere else.
set_target_properties(sayloom PROPERTIES INSTALL_RPATH "")

include(CPack)
