// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "contacts/ExchangeFormat.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace kestrix {

// The UID of one vCard, unfolded; empty where it has none.
QString uidOf(QByteArrayView vcard);

// `vcard` with its UID replaced by `uid` (or one added before END): a card
// put to a new place on a server needs a UID no other card there holds.
QByteArray withUid(QByteArrayView vcard, const QString& uid);

// The version a change to `vcard` should be written in: 4.0 where it is
// one, else 3.0, which servers and phones all read.
ExchangeFormat versionOf(QByteArrayView vcard);

} // namespace kestrix
