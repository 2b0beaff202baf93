// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// A merge that knows what the other computer did: the records of changes
// that travel with the card file tell, for a card only one side holds,
// whether the other side deleted it or this side is new to it.
#include "ConflictMerge.h"

#include "CardFileNames.h"
#include "ItemReader.h"
#include "card/CardKeySet.h"
#include "card/CardLine.h"
#include "card/RecordNumberRule.h"
#include "files/SystemCalls.h"
#include "history/MergeKnowledge.h"
#include "history/RecordedCards.h"

#include <QHash>

#include <cerrno>
#include <unistd.h>

namespace kestrix {

namespace {

using Side = MergeKnowledge::Side;

// A card here that the copy lacks goes where the other side removed it and
// this side did not add it again since.
bool goesFromHere(const MergeKnowledge& knowledge, const CardKeySet::Key& card)
{
    const std::optional<qint64> gone = knowledge.removed(Side::Elsewhere, card);
    const std::optional<qint64> back = knowledge.added(Side::Here, card);
    return gone && (!back || *back < *gone);
}

// A card of the copy that this file lacks comes, unless this side removed
// it and the other did not add it again since.
bool comesFromCopy(const MergeKnowledge& knowledge, const CardKeySet::Key& card)
{
    const std::optional<qint64> gone = knowledge.removed(Side::Here, card);
    const std::optional<qint64> back = knowledge.added(Side::Elsewhere, card);
    return !gone || (back && *back > *gone);
}

QString nameOf(QByteArrayView line)
{
    return recorded::nameOf(cardOfLine(line));
}

// A text as a key: a merge of a million cards holds a key of each card's
// number and contact, where a set of the texts took seconds to fill.
CardKeySet::Key textKey(QStringView text)
{
    static thread_local CardKeySet::TextKey key;
    key.clear();
    key.add(text);
    return key.key();
}

} // namespace

// What the copies hold that this file lacks and may come, with their keys;
// `unreadable` names a copy that failed to read half way.
FileStatus ConflictMerge::cardsOfCopies(std::vector<ConflictCopy>& copies, const CardKeySet& here,
                                        const MergeKnowledge& knowledge, CopyCards& cards,
                                        std::optional<size_t>& unreadable)
{
    QByteArray line, scratch;
    CardKeySet coming;
    for (size_t i = 0; i < copies.size(); ++i) {
        if (sys::lseek(copies[i].fd, 0, SEEK_SET) < 0) {
            unreadable = i;
            return FileStatus::fromErrno(copies[i].name, errno);
        }
        ItemReader reader(copies[i].fd, copies[i].name);
        StoredCard card;
        while (!reader.atEnd() && card.readFrom(reader)) {
            line.resize(0);
            card.appendLineTo(line);
            const CardKeySet::Key key = CardKeySet::keyOf(line, scratch);
            cards.keys.insert(key);
            cards.versions.insert(textKey(recorded::keyOf(card.text(Field::RecordNumber), card.text(Field::CCNAME))));
            if (const std::optional<double> number = numberFromText(card.text(Field::RecordNumber));
                number && isPlainWholeNumber(card.text(Field::RecordNumber)))
                cards.largestNumber = std::max(cards.largestNumber.value_or(*number), *number);
            if (here.contains(key) || !coming.insert(key)) continue;
            if (comesFromCopy(knowledge, key)) {
                cards.coming.push_back(line);
            } else {
                cards.stayedDeleted << nameOf(line);
            }
        }
        if (!reader.status().ok()) {
            unreadable = i;
            return reader.status();
        }
    }
    return FileStatus::success();
}

// The cards here that go, being gone on the other side: their keys, and
// the number and contact of every card that stays.
FileStatus ConflictMerge::cardsGoingFromHere(const CopyCards& copies, const MergeKnowledge& knowledge,
                                             CardKeySet& going, CardKeySet& staying, CardKeySet& numbersStaying,
                                             QStringList& names, QStringList& keptChanged)
{
    QByteArray line, scratch;
    const FileStatus scanned = cards_.scan(
        false,
        [&](const StoredCard& card, const QString& number) {
            line.resize(0);
            card.appendLineTo(line);
            const CardKeySet::Key key = CardKeySet::keyOf(line, scratch);
            if (!copies.keys.contains(key) && goesFromHere(knowledge, key)) {
                if (going.insert(key)) names << nameOf(line);
            } else {
                const QString version = recorded::keyOf(number, card.text(Field::CCNAME));
                staying.insert(textKey(version));
                numbersStaying.insert(textKey(number));
                // Deleted there, changed here meanwhile: it stays, and is told.
                if (!copies.keys.contains(key) && !copies.versions.contains(textKey(version))
                    && knowledge.removedAVersion(Side::Elsewhere, version))
                    keptChanged << nameOf(line);
            }
            return ScanStep::Next;
        },
        AfterScan::CloseFiles);
    return scanned.isMissing() ? FileStatus::success() : scanned;
}

// A card changed on both sides: the other side's version comes under a
// fresh number, with a line in its memo saying where it came from.
QByteArray ConflictMerge::renumbered(QByteArrayView line, const QString& number, const QString& from)
{
    CardRecord card = cardOfLine(line);
    QString& memo = card[indexOf(Field::MEMO)];
    if (!memo.isEmpty()) memo += QStringLiteral("\r\n");
    memo += QStringLiteral("Card %1 as another computer changed it while it was changed here too (merged from %2).")
                .arg(card[indexOf(Field::RecordNumber)], QString(from).replace(QLatin1Char('"'), QLatin1Char('\'')));
    card[indexOf(Field::RecordNumber)] = number;
    return cardLine(card);
}

// The number after `number`, or the first where it is empty: above the
// counter and every number a card here or in the copies holds.
FileStatus ConflictMerge::freshNumber(const CopyCards& theirs, QString& number)
{
    if (number.isEmpty()) {
        if (FileStatus issued = counter_.next(number); !issued.ok()) return issued;
        if (theirs.largestNumber && numberFromText(number) <= theirs.largestNumber)
            number = nextRecordNumber(textFromNumber(*theirs.largestNumber)).value_or(QString());
    } else {
        number = nextRecordNumber(number).value_or(QString());
    }
    if (!number.isEmpty()) return FileStatus::success();
    return FileStatus::failure(names::kCardFile,
                               QStringLiteral("no number is left to give a card changed on both computers"));
}

FileStatus ConflictMerge::mergeThreeWay(std::vector<ConflictCopy>& copies, const MergeKnowledge& knowledge,
                                        std::optional<size_t>& unreadable)
{
    CardKeySet here;
    if (FileStatus scanned = keysOfStoredCards(here); !scanned.ok()) return scanned;
    CopyCards theirs;
    if (FileStatus read = cardsOfCopies(copies, here, knowledge, theirs, unreadable); !read.ok()) return read;
    CardKeySet going;
    CardKeySet staying, numbersStaying;
    QStringList removed, keptChanged;
    if (FileStatus scanned =
            cardsGoingFromHere(theirs, knowledge, going, staying, numbersStaying, removed, keptChanged);
        !scanned.ok())
        return scanned;
    QStringList names;
    for (const ConflictCopy& copy : copies) names << copy.name;
    const QString from = names.join(QStringLiteral(", "));

    // Changed on both sides: both versions stay, the other's under a fresh
    // number, issued before the cards are put in place as Add issues it.
    QByteArrayList lines;
    QStringList added, bothChanged, sameNumber;
    QString number;
    for (const QByteArray& line : theirs.coming) {
        const CardRecord card = cardOfLine(line);
        if (!staying.contains(textKey(recorded::keyOf(card)))) {
            lines << line;
            added << recorded::nameOf(card);
            // Two computers apart can issue one number to two cards: both
            // stay, each found by its contact.
            if (numbersStaying.contains(textKey(card[indexOf(Field::RecordNumber)])))
                sameNumber << recorded::nameOf(card);
            if (knowledge.removedAVersion(Side::Here, recorded::keyOf(card))) keptChanged << recorded::nameOf(card);
            continue;
        }
        if (FileStatus issued = freshNumber(theirs, number); !issued.ok()) return issued;
        lines << renumbered(line, number, from);
        bothChanged << QStringLiteral("%1 as %2").arg(recorded::nameOf(card), number);
    }
    if (!number.isEmpty())
        if (FileStatus written = counter_.write(number); !written.ok()) return written;
    if (!lines.isEmpty() || going.size() > 0) {
        QByteArray line, scratch;
        FileStatus status = cards_.rewrite(
            {QStringLiteral("Merge"), from},
            [&](const StoredCard& card) {
                line.resize(0);
                card.appendLineTo(line);
                return going.contains(CardKeySet::keyOf(line, scratch));
            },
            lines);
        if (!status.ok()) return status;
    }
    tellThreeWay(from, added, removed, bothChanged, keptChanged, theirs.stayedDeleted);
    if (!sameNumber.isEmpty())
        notices_.add({CardFileNotice::Kind::MergeSameNumber, from, sameNumber.size(), {}, sameNumber});
    return FileStatus::success();
}

void ConflictMerge::tellThreeWay(const QString& from, const QStringList& added, const QStringList& removed,
                                 const QStringList& bothChanged, const QStringList& keptChanged,
                                 const QStringList& stayedDeleted)
{
    using Kind = CardFileNotice::Kind;
    // A card that went in one version and came in another was changed there.
    QStringList changed, came, went;
    for (const QString& card : added) (removed.contains(card) ? changed : came) << card;
    for (const QString& card : removed)
        if (!added.contains(card)) went << card;
    notices_.add({Kind::Merged, from, came.size(), {}, came});
    if (!changed.isEmpty()) notices_.add({Kind::MergeChanged, from, changed.size(), {}, changed});
    if (!went.isEmpty()) notices_.add({Kind::MergeRemoved, from, went.size(), {}, went});
    if (!bothChanged.isEmpty()) notices_.add({Kind::MergeBothChanged, from, bothChanged.size(), {}, bothChanged});
    if (!keptChanged.isEmpty()) notices_.add({Kind::MergeKeptChanged, from, keptChanged.size(), {}, keptChanged});
    if (!stayedDeleted.isEmpty())
        notices_.add({Kind::MergeStayedDeleted, from, stayedDeleted.size(), {}, stayedDeleted});
}

} // namespace kestrix
