// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "VCardLines.h"

#include "contacts/ContactData.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kestrix::vcard {

// What a program's own property says, for the memo: phones and address
// books write layout hints and markers of their own beside the contact.

// Why `property` is left out, when it is a layout hint or an internal marker
// that holds no contact data (Outlook's card design, Apple's address format);
// nothing for any other property.
std::optional<QString> leftOutBecause(const VCardProperty& property);

// An Android row (X-ANDROID-CUSTOM), given as its components (the kind of
// row, then its data), as a memo line where its meaning is known: a
// nickname, a relation, an event. Nothing for rows of other kinds, which
// stay as they are.
std::optional<MemoLine> androidRow(const QStringList& components, int order);

} // namespace kestrix::vcard
