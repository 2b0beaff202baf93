// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CardFolder.h"
#include "CardScan.h"
#include "ChangeLocking.h"
#include "Notices.h"
#include "StoredCard.h"
#include "files/PosixFile.h"
#include "history/ChangeRecording.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

#include <functional>
#include <optional>

namespace kestrix {

// The card file: read a card at a time, appended to, and rewritten without
// some of its cards. The operations that change it expect the caller to hold
// the change lock (Module1::lockForChange) throughout.
class CardFile {
public:
    // What a change is, for its record: the command and what it was done to.
    struct ChangeLabel {
        QString command;
        QString subject;
        QByteArray undoes = {}; // the change an undo takes back
    };
    CardFile(CardFolder& folder, Notices& notices, const ChangeLocking& locking, ChangeRecording& recording)
        : folder_(folder), notices_(notices), locking_(locking), recording_(recording)
    {}

    // Opens the card file in slot 1 for reading. A missing file is created
    // empty when `createIfMissing` is set (RecordNumber then becomes "1").
    // On failure slot 1 stays empty, so a scan reads no card.
    FileStatus OpenCardFileForReading(bool createIfMissing);
    // True when no card is left in slot 1, or nothing readable is open there.
    bool AtEndOfCards();
    // Reads the next card into `card` and its record number into RecordNumber.
    bool ReadCard(StoredCard& card);
    // Success, or the read error that cut the last scan of slot 1 short.
    FileStatus cardReadStatus();
    // See Module1::ScanCards.
    FileStatus scan(bool createIfMissing, const CardVisitor& visit, AfterScan after);
    // See Module1::LargestRecordNumber.
    FileStatus largestRecordNumber(std::optional<double>& largest);

    // Adds lines to the end of the card file, whole or not at all.
    FileStatus append(const ChangeLabel& label, QByteArrayView lines);
    // An append in steps, for lines that come a few at a time: `slot` is
    // opened on a copy of the card file, the card file's last card completed
    // where it was cut short; then lines are written to the slot, and its
    // close puts the new file in place.
    FileStatus beginAppending(FileSlot& slot, const ChangeLabel& label);
    FileStatus finishAppending(FileSlot& slot);

    // Rewrites the card file without the cards `drop` picks, through the
    // scratch file, and adds `appended`, a card line each, at the end, as
    // one change. `appended` is read once every card has met `drop`, which
    // may add to it.
    using CardTest = std::function<bool(const StoredCard& card)>;
    FileStatus rewrite(const ChangeLabel& label, const CardTest& drop, const QByteArrayList& appended);
    // Whether the last rewrite put its file in place, even where a step
    // after failed: the numbers its cards carry are then issued.
    bool rewritePlaced() const { return placed_; }
    // See Module1::CheckCardFileReplaceable.
    FileStatus checkReplaceable();

private:
    FileStatus completionOfCopiedCards(const FileSlot& slot, QByteArray& completion);
    FileStatus copyKeptCards(const CardTest& drop, qint64& written);
    FileStatus recordCard(bool removed, qint64 offset, qint64 begin, qint64 end);
    FileStatus putRewriteInPlace(AtomicFile& replacement, const QByteArrayList& appended, qint64 written);
    void noteOtherNames(nlink_t otherNames);

    CardFolder& folder_;
    Notices& notices_;
    const ChangeLocking& locking_;
    ChangeRecording& recording_;
    // How the card file ended when a scan last read it to its end: which
    // version of the file it was, and what completes its last card. Saves
    // the append from reading the whole file a second time.
    struct KnownEnd {
        posix::FileVersion version;
        QByteArray completion;
    };
    std::optional<KnownEnd> knownEnd_;
    bool placed_ = false;
};

} // namespace kestrix
