// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SyncState.h"

#include <QSet>

namespace kestrix {

// The file is lines of text, each ending in LF:
//
//   kestrix-sync-state 1
//   book <address book URL>
//   server <the address the user gave>
//   user <user name>
//   token <sync token>
//   card <number> <href> <etag> <uid> <key>
//   ...
//   end <number of card lines>
//
// Every text is its UTF-8 percent-encoded (all but A-Z a-z 0-9 . _ ~), so it
// holds no blank or line break; an empty text is written "-" (a real "-" is
// encoded). The key is 32 hex digits, its first half then its second. The
// end line tells a file cut short from a whole one.

namespace {

const QByteArray kVersionLine = QByteArrayLiteral("kestrix-sync-state 1");
const QByteArray kEmptyText = QByteArrayLiteral("-");

QByteArray encodedText(const QString& text)
{
    if (text.isEmpty()) return kEmptyText;
    return text.toUtf8().toPercentEncoding({}, QByteArrayLiteral("-"));
}

// Only the one form encodedText writes, so what is read is what was written.
bool decodeText(const QByteArray& field, QString& text)
{
    if (field == kEmptyText) {
        text.clear();
        return true;
    }
    text = QString::fromUtf8(QByteArray::fromPercentEncoding(field));
    return !text.isEmpty() && encodedText(text) == field;
}

QByteArray encodedKey(const CardKey& key)
{
    return QByteArray::number(key.first, 16).rightJustified(16, '0')
        + QByteArray::number(key.second, 16).rightJustified(16, '0');
}

bool decodeKey(const QByteArray& field, CardKey& key)
{
    if (field.size() != 32) return false;
    for (const char c : field)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    bool firstOk = false, secondOk = false;
    key.first = field.left(16).toULongLong(&firstOk, 16);
    key.second = field.mid(16).toULongLong(&secondOk, 16);
    return firstOk && secondOk;
}

// One "word value" line: false when the line is another.
bool decodeTextLine(const QByteArray& line, QByteArrayView word, QString& text)
{
    const QList<QByteArray> parts = line.split(' ');
    return parts.size() == 2 && parts[0] == word && decodeText(parts[1], text);
}

bool decodeCardLine(const QByteArray& line, SyncedCard& card)
{
    const QList<QByteArray> parts = line.split(' ');
    return parts.size() == 6 && parts[0] == "card" && decodeText(parts[1], card.number)
        && decodeText(parts[2], card.href) && decodeText(parts[3], card.etag) && decodeText(parts[4], card.uid)
        && decodeKey(parts[5], card.key);
}

QString lineReason(qsizetype index, const char* what)
{
    return QStringLiteral("line %1 is not %2").arg(index + 1).arg(QLatin1String(what));
}

} // namespace

QByteArray encodeSyncState(const SyncState& state)
{
    QByteArray bytes = kVersionLine + '\n';
    bytes += "book " + encodedText(state.addressBook) + '\n';
    bytes += "server " + encodedText(state.server) + '\n';
    bytes += "user " + encodedText(state.user) + '\n';
    bytes += "token " + encodedText(state.syncToken) + '\n';
    for (const SyncedCard& card : state.cards) {
        bytes += "card " + encodedText(card.number) + ' ' + encodedText(card.href) + ' ' + encodedText(card.etag) + ' '
            + encodedText(card.uid) + ' ' + encodedKey(card.key) + '\n';
    }
    bytes += "end " + QByteArray::number(state.cards.size()) + '\n';
    return bytes;
}

bool decodeSyncState(QByteArrayView bytes, SyncState& state, QString& reason)
{
    state = {};
    const auto refuse = [&reason](QString why) {
        reason = std::move(why);
        return false;
    };
    QList<QByteArray> lines = bytes.toByteArray().split('\n');
    constexpr qsizetype kFirstCard = 5;
    if (lines.size() < kFirstCard + 2 || !lines.back().isEmpty()) return refuse(QStringLiteral("it is cut short"));
    lines.removeLast();
    if (lines[0] != kVersionLine) {
        return refuse(lines[0].startsWith("kestrix-sync-state ")
                          ? QStringLiteral("it is of a version this Kestrix cannot read")
                          : QStringLiteral("it is no sync state"));
    }
    if (!decodeTextLine(lines[1], "book", state.addressBook)) return refuse(lineReason(1, "the address book"));
    if (!decodeTextLine(lines[2], "server", state.server)) return refuse(lineReason(2, "the server"));
    if (!decodeTextLine(lines[3], "user", state.user)) return refuse(lineReason(3, "the user"));
    if (!decodeTextLine(lines[4], "token", state.syncToken)) return refuse(lineReason(4, "the sync token"));
    const qsizetype last = lines.size() - 1;
    QSet<QString> hrefs;
    for (qsizetype i = kFirstCard; i < last; ++i) {
        SyncedCard card;
        if (!decodeCardLine(lines[i], card)) return refuse(lineReason(i, "a card"));
        if (hrefs.contains(card.href)) return refuse(lineReason(i, "a card of an href of its own"));
        hrefs.insert(card.href);
        state.cards.push_back(std::move(card));
    }
    if (lines[last] != "end " + QByteArray::number(last - kFirstCard)) return refuse(QStringLiteral("it is cut short"));
    return true;
}

} // namespace kestrix
