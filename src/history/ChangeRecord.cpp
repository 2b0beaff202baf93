// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ChangeRecord.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace kestrix {

namespace {

// Each record starts on a line of its own with this mark; the cards inside
// are counted in bytes, so a card holding the mark cannot be taken for one.
const QByteArray kStart = QByteArrayLiteral("KESTRIX-CHANGE 1\n");
const QByteArray kEnd = QByteArrayLiteral("end ");

QByteArray versionText(const CardFileVersion& version)
{
    return QByteArray::number(version.device) + ' ' + QByteArray::number(version.inode) + ' '
        + QByteArray::number(version.size);
}

std::optional<CardFileVersion> versionOf(const QByteArray& text)
{
    const QList<QByteArray> parts = text.split(' ');
    if (parts.size() != 3) return std::nullopt;
    bool ok[3] = {};
    CardFileVersion version{parts[0].toULongLong(&ok[0]), parts[1].toULongLong(&ok[1]), parts[2].toLongLong(&ok[2])};
    if (!ok[0] || !ok[1] || !ok[2]) return std::nullopt;
    return version;
}

// Made in one buffer: an import records every card it adds.
QByteArray cardPiece(char side, const RecordedCard& card)
{
    char head[64];
    const int length = std::snprintf(head, sizeof head, "%c %lld %lld\n", side, static_cast<long long>(card.offset),
                                     static_cast<long long>(card.bytes.size()));
    QByteArray piece;
    piece.reserve(length + card.bytes.size() + 1);
    piece.append(head, length);
    piece.append(card.bytes);
    piece.append('\n');
    return piece;
}

// Reads one record's body from `at`; where `at` is left after it.
class RecordReader {
public:
    RecordReader(QByteArrayView bytes, qsizetype at) : bytes_(bytes), at_(at) {}

    std::optional<ChangeRecord> read();
    qsizetype at() const { return at_; }

private:
    std::optional<QByteArray> line();
    bool field(ChangeRecord& record, const QByteArray& key, const QByteArray& value);
    bool card(ChangeRecord& record, const QByteArray& head);

    QByteArrayView bytes_;
    qsizetype at_;
};

std::optional<QByteArray> RecordReader::line()
{
    const qsizetype end = bytes_.indexOf('\n', at_);
    if (end < 0) return std::nullopt;
    QByteArray text = bytes_.sliced(at_, end - at_).toByteArray();
    at_ = end + 1;
    return text;
}

bool RecordReader::field(ChangeRecord& record, const QByteArray& key, const QByteArray& value)
{
    bool ok = true;
    if (key == "computer")
        record.computer = value;
    else if (key == "id")
        record.id = value;
    else if (key == "time")
        ok = (record.when = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODateWithMs)).isValid();
    else if (key == "command")
        record.command = QString::fromUtf8(QByteArray::fromPercentEncoding(value));
    else if (key == "subject")
        record.subject = QString::fromUtf8(QByteArray::fromPercentEncoding(value));
    else if (key == "undoes")
        record.undoes = value;
    else if (key == "before" || key == "after") {
        const std::optional<CardFileVersion> version = versionOf(value);
        if (!version) return false;
        (key == "before" ? record.before : record.after) = *version;
    }
    // A field a later version adds is passed over.
    return ok;
}

bool RecordReader::card(ChangeRecord& record, const QByteArray& head)
{
    const QList<QByteArray> parts = head.split(' ');
    bool offsetOk = false, lengthOk = false;
    const qint64 offset = parts.size() == 3 ? parts[1].toLongLong(&offsetOk) : 0;
    const qint64 length = parts.size() == 3 ? parts[2].toLongLong(&lengthOk) : 0;
    if (!offsetOk || !lengthOk || length < 0 || length + 1 > bytes_.size() - at_) return false;
    if (bytes_[at_ + length] != '\n') return false;
    RecordedCard taken{offset, bytes_.sliced(at_, length).toByteArray()};
    at_ += length + 1;
    (head.startsWith('-') ? record.removed : record.added).push_back(std::move(taken));
    return true;
}

std::optional<ChangeRecord> RecordReader::read()
{
    const qsizetype start = at_;
    ChangeRecord record;
    for (;;) {
        const std::optional<QByteArray> text = line();
        if (!text) return std::nullopt;
        if (text->startsWith(kEnd)) {
            const QByteArray sum =
                Sha256::hash(bytes_.sliced(start, at_ - start - text->size() - 1 + kEnd.size())).toHex();
            if (text->mid(kEnd.size()) != sum) return std::nullopt;
            return record;
        }
        // The next record's start: this one was cut short.
        if (*text == kStart.chopped(1)) return std::nullopt;
        if (text->startsWith("- ") || text->startsWith("+ ")) {
            if (!card(record, *text)) return std::nullopt;
            continue;
        }
        const qsizetype space = text->indexOf(' ');
        if (space <= 0 || !field(record, text->left(space), text->mid(space + 1))) return std::nullopt;
    }
}

} // namespace

QByteArray ChangeRecordWriter::piece(QByteArray bytes)
{
    sum_.addData(bytes);
    return bytes;
}

QByteArray ChangeRecordWriter::begin(const ChangeRecord& header)
{
    Q_ASSERT(!header.computer.contains('\n') && !header.id.contains('\n') && !header.undoes.contains('\n'));
    sum_.reset();
    QByteArray text = "computer " + header.computer + "\nid " + header.id + "\ntime "
        + header.when.toUTC().toString(Qt::ISODateWithMs).toLatin1() + "\ncommand "
        + header.command.toUtf8().toPercentEncoding(" ") + "\nsubject " + header.subject.toUtf8().toPercentEncoding(" ")
        + "\nbefore " + versionText(header.before) + '\n';
    if (!header.undoes.isEmpty()) text += "undoes " + header.undoes + '\n';
    return kStart + piece(text);
}

QByteArray ChangeRecordWriter::removed(const RecordedCard& card)
{
    return piece(cardPiece('-', card));
}

QByteArray ChangeRecordWriter::added(const RecordedCard& card)
{
    return piece(cardPiece('+', card));
}

QByteArray ChangeRecordWriter::end(const CardFileVersion& after)
{
    QByteArray text = piece("after " + versionText(after) + '\n');
    sum_.addData(kEnd);
    return text + kEnd + sum_.result().toHex() + '\n';
}

QByteArray encodeRecord(const ChangeRecord& record)
{
    ChangeRecordWriter writer;
    QByteArray bytes = writer.begin(record);
    for (const RecordedCard& card : record.removed) bytes += writer.removed(card);
    for (const RecordedCard& card : record.added) bytes += writer.added(card);
    return bytes + writer.end(record.after);
}

std::vector<ChangeRecord> decodeRecords(QByteArrayView bytes, qsizetype* damaged)
{
    std::vector<ChangeRecord> records;
    qsizetype stretches = 0;
    bool inDamage = false;
    const auto skipToNextStart = [&](qsizetype from) {
        if (!inDamage) ++stretches;
        inDamage = true;
        // Anywhere, not only at a line's start: the damage may be the line
        // end before it. A mark inside a card fails its checksum.
        return bytes.indexOf(kStart, from);
    };
    qsizetype at = bytes.startsWith(kStart) ? 0 : skipToNextStart(0);
    if (bytes.isEmpty()) at = -1, stretches = 0;
    while (at >= 0 && at < bytes.size()) {
        RecordReader reader(bytes, at + kStart.size());
        std::optional<ChangeRecord> record = reader.read();
        if (!record) {
            at = skipToNextStart(at + 1);
            continue;
        }
        records.push_back(std::move(*record));
        inDamage = false;
        at = reader.at();
        if (at < bytes.size() && !bytes.sliced(at).startsWith(kStart)) at = skipToNextStart(at);
    }
    if (damaged) *damaged = stretches;
    return records;
}

const ChangeRecord* recordWithId(const std::vector<ChangeRecord>& records, QByteArrayView id)
{
    const auto found =
        std::find_if(records.begin(), records.end(), [&](const ChangeRecord& record) { return record.id == id; });
    return found == records.end() ? nullptr : &*found;
}

std::vector<ChangeRecord> landedChanges(std::vector<ChangeRecord> records,
                                        const std::optional<CardFileVersion>& current)
{
    std::vector<ChangeRecord> landed;
    landed.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const ChangeRecord& record = records[i];
        const bool last = i + 1 == records.size();
        const CardFileVersion& next = last ? current.value_or(record.after) : records[i + 1].before;
        if (next == record.before && next != record.after) continue;
        landed.push_back(std::move(records[i]));
    }
    return landed;
}

} // namespace kestrix
