// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ChangeRecord.h"
#include "card/CardRecord.h"
#include "files/FileStatus.h"
#include "files/PosixFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace kestrix {

// What taking back or restoring needs to know of the cards a change's
// record holds.
namespace recorded {

CardFileVersion versionOf(const posix::FileVersion& version);
// The version of `name` in `directory` standing now, which tells the changes
// of this computer that landed; none where there is no such file.
FileStatus currentVersion(const QString& directory, const QString& name, std::optional<CardFileVersion>& current);

// Whether a recorded stretch is a card, not only what completed a last card
// cut short (a line end, empty items).
bool isCard(QByteArrayView bytes);

// What tells a card from every other: its number and its contact, the two
// Save's update finds it by.
QString keyOf(const QString& number, const QString& contact);
QString keyOf(const CardRecord& card);

// A card as a message names it: its number and its contact, or its company
// where it has no contact.
QString nameOf(const CardRecord& card);

// What an undo of `change` was done to: "Delete of "Bob"", or for an undo
// or a restore, the change it was, already named.
QString subjectOfUndo(const ChangeRecord& change);

// The line that brings a card back: the recorded bytes where they are a
// card in the stored form, else the card written anew.
QByteArray lineToStore(QByteArrayView bytes);

} // namespace recorded

} // namespace kestrix
