// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CardFileNames.h"
#include "CardScan.h"
#include "Notices.h"
#include "card/CardChanges.h"
#include "card/CardRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kestrix {

class FileStatus;
struct ChangeRecord;
class StoredCard;

namespace testing {
struct Module1Access;
}

// The state every window shares, created once by main() and handed to the
// windows: the last record number read or issued, and the two file slots
// (slot 1 for the card file, slot 2 for the scratch and counter files).
//
// All files live in one directory, the program's working directory in normal
// use. Operations report success or the failure with its reason
// (files/FileStatus.h); they never talk to the user. The work is done by
// parts with one job each (the card file, the counter, the change lock,
// conflict merge, notices), which no window sees.
class Module1 {
public:
    static inline const QString& kCardFile = names::kCardFile;
    static inline const QString& kScratchFile = names::kScratchFile;
    static inline const QString& kCounterFile = names::kCounterFile;

    // The computer's identity, for the records of changes, is kept in
    // `stateFolder`; by default the user's (history/ComputerIdentity.h).
    explicit Module1(QString directory);
    Module1(QString directory, QString stateFolder);
    Module1(const Module1&) = delete;
    Module1& operator=(const Module1&) = delete;
    ~Module1();

    // The record number most recently read from a card or the counter file,
    // or "1" after the card file had to be created. Empty at start.
    QString RecordNumber;

    // Closes both slots, putting in place what was written to them. Every
    // operation closes what it needs first, and the program's end closes the
    // rest, so no window calls this.
    FileStatus CloseAllFiles();

    // Adds one card line to the end of the card file, whole or not at all. A
    // last card cut short is completed first (see StoredCard::completion), so
    // the new card stands on a line of its own and reads as itself.
    FileStatus AppendCard(const CardRecord& card);

    // What a source of cards to add gives each time it is asked: a card, the
    // end of its cards, or a stop (the user cancelled: nothing is stored).
    enum class NextCard { Card, End, Stop };
    using CardSource = std::function<NextCard(CardRecord& card)>;

    // Adds the cards `next` gives as new cards, each with a freshly issued
    // number, as Add issues them (written into field 14), all as one change:
    // one counter write and one new card file, holding the lock throughout.
    // The cards stream into the new file as they come, so memory does not
    // grow with their number. Where they cannot all be stored (a stop, a
    // failure, a number that can no longer be told from the one before),
    // nothing is, and the counter stays as it was. `added` counts the cards
    // stored. `from` names where they came from, for the change's record.
    FileStatus AddCards(const CardSource& next, qsizetype& added, const QString& from = {});
    // The same for cards in hand; their numbers are written into them.
    FileStatus AddCards(std::vector<CardRecord>& cards);

    // Rewrites the card file without every card whose contact name equals
    // `contact`, through the scratch file. The card file is replaced only when
    // the scratch file was written completely, and then in one step.
    FileStatus RewriteWithoutContact(const QString& contact);

    // Save's update: rewrites the card file without the stored cards that hold
    // both `card`'s record number and its contact name, and adds `card` at the
    // end, as one change: the file goes from the old cards straight to the
    // kept cards plus `card`, never to the old cards gone and the new one
    // missing. Cards of the same contact under other numbers stay: the user
    // was asked about this card only. The scratch file holds the kept cards.
    FileStatus ReplaceCard(const CardRecord& card);

    // A sync's changes as one change, recorded as "Sync" with `server`, so
    // one undo takes them all back: the matching cards deleted, replaced
    // under their numbers (moving to the end, as an update does) and the
    // additions numbered as Add numbers them. A card whose key no longer
    // matches (edited since the sync saw it) or that is gone stays as it is,
    // reported in `applied`. All of it lands, or none of it: the counter
    // and the history too. With nothing that matches and nothing to add,
    // nothing changes and nothing is recorded.
    FileStatus ApplyCardChanges(const CardChanges& changes, CardChangesApplied& applied, const QString& server);
    // The name of the file beside the card file that keeps this computer's
    // state of its last CardDAV sync.
    FileStatus SyncStateName(QString& name);

    // One change of the card file as its record tells it: the cards it took
    // and gave as the user sees them.
    struct Change {
        QByteArray id;
        QDateTime when;
        QString computer; // who made it: user@host
        bool madeHere = false;
        QString command;
        QString subject;
        std::vector<CardRecord> removed;
        std::vector<CardRecord> added;
        bool isUndo = false;
        bool takenBack = false; // an undo took it back since
        // The cards it took or gave: an update counts the card once.
        qsizetype cards() const { return static_cast<qsizetype>(std::max(removed.size(), added.size())); }
    };
    // Every computer's changes of this card file, newest first: those this
    // user may trust, and of those only the changes that landed.
    FileStatus ChangeHistory(std::vector<Change>& changes);

    // The change UndoLastChange would take back, if there is one.
    FileStatus ChangeToUndo(std::optional<Change>& change);

    // What an undo took back: the change, and the cards that stayed as they
    // are because a later change touched them.
    struct Undone {
        Change change;
        QStringList stayed;
    };
    // Takes back the newest change made on this computer that is not itself
    // an undo and was not taken back. Where nothing changed the card file
    // since, the file is again byte for byte what it was; otherwise card by
    // card: the cards the change gave that are still as it gave them go,
    // and the cards it took come back where no card of their number and
    // contact stands now. The undo is a change with a record of its own. The
    // counter stays: a number once issued is not issued again.
    FileStatus UndoLastChange(Undone& undone);
    // Takes back change `id` of the history (ChangeHistory), whichever
    // computer made it, as UndoLastChange does; an undo too, which gives
    // back what that undo took back.
    FileStatus UndoChange(const QByteArray& id, Undone& undone);

    // Brings back the cards change `id` took (ChangeHistory), appended as one
    // change, keeping every change since; a card whose number and contact
    // the file holds again stays out and is named in `stayed`.
    struct Restored {
        Change change;
        qsizetype cards = 0;
        QStringList stayed;
    };
    FileStatus RestoreCards(const QByteArray& id, Restored& restored);

    // Each computer keeps the changes of the last 30 days, or as many of the
    // newest as fit in a size its user sets (64 MiB at first), whichever is
    // less. Sets that size for this computer; at least kLeastHistoryLimit.
    static constexpr qint64 kLeastHistoryLimit = 1024 * 1024;
    FileStatus SetHistoryLimit(qint64 bytes);

    // Reads the counter file into RecordNumber (last item wins), creating it
    // empty when it does not exist; `heldANumber`, when given, tells whether
    // its last item is a plain whole number. Issuing a number is one change:
    // hold lockForChange() from here to WriteCounter, or two processes could
    // read the same number.
    FileStatus ReadCounter(bool* heldANumber = nullptr);

    // The number Add issues next: one more than the last issued (ReadCounter),
    // or, where the counter holds no plain whole number, one more than every
    // number the counter or a card holds. A failure, naming the file the
    // number came from, where that number can no longer be counted on: too
    // large, or so large that one more reads the same and would be issued
    // twice. Hold lockForChange() from here to WriteCounter.
    FileStatus NextRecordNumber(QString& next);

    // The largest record number any card of the card file holds, by the rule
    // Add counts by; nothing when no card holds one it can count on. A scan:
    // RecordNumber ends with the last card's number.
    FileStatus LargestRecordNumber(std::optional<double>& largest);

    // Replaces the counter file's content with `number`, on the disk at once;
    // the file stays open in slot 2.
    FileStatus WriteCounter(const QString& number);

    // Whether a change could put a new card file in place now, as far as
    // permissions and what stands there tell: the checks a change makes
    // first, without writing anything.
    FileStatus CheckCardFileReplaceable();

    // See CardScan.h.
    using ScanStep = kestrix::ScanStep;
    using CardVisitor = kestrix::CardVisitor;
    using AfterScan = kestrix::AfterScan;

    // A scan, the one way every window reads the cards: CloseAllFiles,
    // OpenCardFileForReading, then every card in file order is read (its
    // number into RecordNumber) and handed to `visit`, until the file ends or
    // `visit` says Stop. Returns the open's status (Missing for a missing file
    // not created) or the read error that cut the scan short.
    FileStatus ScanCards(bool createIfMissing, const CardVisitor& visit,
                         AfterScan after = AfterScan::LeaveCardFileOpen);

    // The read every run makes first, before the window shows or a command
    // runs: a missing card file is created, and RecordNumber ends with the
    // last card's number. Leaves no file open.
    FileStatus ReadAtStart();

    // While it lives, this process holds the folder's change lock (see
    // ChangeLock). The operations that change the card file take it for
    // themselves; a handler that makes several steps one change (Add's
    // counter read and write) holds it across them. Taken again while held,
    // it is simply held longer. Never hold it while the user is asked
    // something: the other window would wait on the answer.
    class [[nodiscard]] ChangeGuard {
    public:
        ChangeGuard(const ChangeGuard&) = delete;
        ChangeGuard& operator=(const ChangeGuard&) = delete;
        ~ChangeGuard();
        // Success while the lock is held; otherwise why nothing may change.
        const FileStatus& status() const { return *status_; }

    private:
        friend class Module1;
        ChangeGuard(Module1* module, const FileStatus& status);
        Module1* module_;
        std::unique_ptr<const FileStatus> status_;
    };
    ChangeGuard lockForChange();

    // How long a change waits for another process to finish its own.
    std::chrono::milliseconds lockPatience = std::chrono::seconds(5);

    // Whether each change is recorded, to be undone; off only to measure
    // what the record costs.
    void recordChanges(bool on);

    // Looks for the copies sync engines make of the card and counter files
    // when two computers changed them while apart, and merges them in: every
    // card a copy holds that the card file does not is added to it, as one
    // change, and the counter takes the largest number of all; then the
    // copies are removed, so the engine carries the merge to the other
    // computers. A merge never removes a card. Every change does this first,
    // under its lock; this is for the start and for the command line, and
    // leaves no file open. The notices say what was merged.
    FileStatus MergeConflictCopies();

    // What the user should hear beside how a change went (see Notices.h).
    using Notice = CardFileNotice;
    // The notices gathered since the last call.
    std::vector<Notice> takeNotices();

    const QString& directory() const;

private:
    FileStatus takeBackChange(const ChangeRecord& change, const std::vector<ChangeRecord>& own, QStringList& stayed);
    FileStatus takeBackCardByCard(const ChangeRecord& change, QStringList& stayed);
    FileStatus landedChanges(std::vector<ChangeRecord>& own, std::vector<Change>* everyones,
                             std::vector<ChangeRecord>* others = nullptr);

    // The tests look at what the slots hold between operations.
    friend struct testing::Module1Access;

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kestrix
