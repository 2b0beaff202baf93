// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "Sha256.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace kestrix {

// One version of the card file, as the file system tells it: every change
// puts a new file in place, so its inode names the version.
struct CardFileVersion {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    friend bool operator==(const CardFileVersion&, const CardFileVersion&) = default;
};

// A card a change removed or added, byte for byte as stored, line end
// included, with where it starts in the card file before the change
// (removed) or after it (added): enough to take a change back byte for
// byte, where nothing changed since, without counting cards.
struct RecordedCard {
    qint64 offset = 0;
    QByteArray bytes;
    friend bool operator==(const RecordedCard&, const RecordedCard&) = default;
};

// What one change took from the card file and gave it, when, by which
// command and on which computer.
struct ChangeRecord {
    QByteArray computer;
    QByteArray id;     // names the change: letters and digits, unique among all computers'
    QDateTime when;    // UTC, to the millisecond
    QString command;   // as a person names it: "Save", "Delete", "Import", ...
    QString subject;   // what it was done to: a contact, a file, an earlier change
    QByteArray undoes; // the id of the change this one takes back, else empty
    CardFileVersion before;
    CardFileVersion after;
    std::vector<RecordedCard> removed;
    std::vector<RecordedCard> added;
    friend bool operator==(const ChangeRecord&, const ChangeRecord&) = default;
};

// Writes a record a piece at a time, so a change of a million cards is
// recorded without holding them: the header, each card as the change meets
// it, then the end, which carries a checksum of the whole so a record cut
// short or damaged is known. The pieces are appended, in order, to a file.
class ChangeRecordWriter {
public:
    // All of `header` but its cards and the version after the change,
    // which is known only when the change is about to be put in place.
    QByteArray begin(const ChangeRecord& header);
    QByteArray removed(const RecordedCard& card);
    QByteArray added(const RecordedCard& card);
    QByteArray end(const CardFileVersion& after);

private:
    QByteArray piece(QByteArray bytes);

    Sha256 sum_;
};

// The whole record in one piece.
QByteArray encodeRecord(const ChangeRecord& record);

// The records in a history file's bytes, oldest first. A record cut short
// or whose checksum fails is left out; reading goes on at the next
// record's start. `damaged` counts the stretches that could not be read.
std::vector<ChangeRecord> decodeRecords(QByteArrayView bytes, qsizetype* damaged = nullptr);

// The record of change `id` among `records`; none where it is not there.
const ChangeRecord* recordWithId(const std::vector<ChangeRecord>& records, QByteArrayView id);

// The records of one computer's changes that landed, oldest first. A record
// is ended before its change is put in place, so a change cut off between
// the two leaves a record of a change that never was. It is known by the
// next change starting from the version it started from too, or, for the
// newest, by `current` (where this computer's card file is known) still
// being that version.
std::vector<ChangeRecord> landedChanges(std::vector<ChangeRecord> records,
                                        const std::optional<CardFileVersion>& current);

} // namespace kestrix
