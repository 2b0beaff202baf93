// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "VCardValues.h"
#include "contacts/ContactData.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

namespace kestrix::vcard {

// What one card's content lines, each ended by a line feed (an unfolded
// line holds none), say of its contact. What could not be taken goes to
// `issues`; the names of the properties whose bytes were not UTF-8, and were
// read as Windows-1252, to `notUtf8`.
ContactData readContact(Version version, QByteArrayView lines, HeadCache& heads, std::vector<QString>& issues,
                        QStringList& notUtf8);

} // namespace kestrix::vcard
