// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace kestrix {

// One property of a vCard as its bytes stand: its continuation lines, and
// its line ends, included, so that what is passed on is passed on unchanged.
// A line that is no property (a blank one) stands alone, without a name.
struct RawProperty {
    QByteArray bytes;
    QByteArray name;  // in upper case, without its group
    QByteArray group; // in lower case; empty without one
};

// The properties of `vcard` in their order, BEGIN and END included. Folded
// lines (RFC 6350 3.2) and 2.1's quoted-printable soft line breaks stay
// with the property they continue.
std::vector<RawProperty> rawProperties(QByteArrayView vcard);

} // namespace kestrix
