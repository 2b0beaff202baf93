# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

# `cpack -G DEB` in the build folder makes the Debian package of what
# `cmake --install` puts in place: the program and its desktop integration.

set(KESTRIX_MAINTAINER "Kestrix maintainers <kestrix@example.org>"
  CACHE STRING "Maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME kestrix)
set(CPACK_PACKAGE_VENDOR Kestrix)
set(CPACK_PACKAGE_CONTACT "${KESTRIX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Kept in lines of a terminal's width, as dpkg shows them.
set(CPACK_PACKAGE_DESCRIPTION [[Kestrix keeps business contacts on cards in plain text files: company,
contact, addresses, phones, e-mail and a memo. Cards are added, edited,
found in a list and deleted in one window. Started from the application
menu, Kestrix keeps its cards in ~/Kestrix.]])
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME kestrix)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Depends is worked out from the libraries the program links against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without it Qt falls back to X11 under Wayland, where the window is matched to
# its menu entry by class rather than by application id.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)

include(CPack)
