// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardRecord.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kestrix {

// The stored line of a card: every field in double quotes, commas between,
// CR LF at the end. Fields are written as UTF-8.
QByteArray cardLine(const CardRecord& card);

// The counter file's content: the number text in quotes, then CR LF.
QByteArray counterLine(const QString& number);

// The format has no escape for a double quote, so a field that holds one
// cannot be stored. Returns the first such field.
std::optional<Field> firstFieldWithDoubleQuote(const CardRecord& card);

} // namespace kestrix
