// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "RecordedCards.h"

#include "card/CardLine.h"

#include <algorithm>

namespace kestrix::recorded {

CardFileVersion versionOf(const posix::FileVersion& version)
{
    return {static_cast<quint64>(version.device), static_cast<quint64>(version.inode),
            static_cast<qint64>(version.size)};
}

FileStatus currentVersion(const QString& directory, const QString& name, std::optional<CardFileVersion>& current)
{
    current.reset();
    int fd = -1;
    posix::FileVersion version;
    const FileStatus opened = posix::openForReading(directory, name, fd, &version);
    if (opened.isMissing()) return FileStatus::success();
    if (!opened.ok()) return opened;
    current = versionOf(version);
    return posix::closeFile(fd, name);
}

bool isCard(QByteArrayView bytes)
{
    const CardRecord card = cardOfLine(bytes);
    return std::any_of(card.begin(), card.end(), [](const QString& text) { return !text.isEmpty(); });
}

QString keyOf(const QString& number, const QString& contact)
{
    return number + QChar(0x1f) + contact;
}

QString keyOf(const CardRecord& card)
{
    return keyOf(card[indexOf(Field::RecordNumber)], card[indexOf(Field::CCNAME)]);
}

QString nameOf(const CardRecord& card)
{
    const QString& contact = card[indexOf(Field::CCNAME)];
    return QStringLiteral("%1 (%2)").arg(card[indexOf(Field::RecordNumber)],
                                         contact.isEmpty() ? card[indexOf(Field::CNAME)] : contact);
}

QString subjectOfUndo(const ChangeRecord& change)
{
    const bool ofAChange = !change.undoes.isEmpty() || change.command == QLatin1String("Restore");
    return ofAChange ? QStringLiteral("%1 of %2").arg(change.command, change.subject)
                     : QStringLiteral("%1 of \"%2\"").arg(change.command, change.subject);
}

QByteArray lineToStore(QByteArrayView bytes)
{
    return isStoredLine(bytes) ? bytes.toByteArray() : cardLine(cardOfLine(bytes));
}

} // namespace kestrix::recorded
