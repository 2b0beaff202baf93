// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ConflictCopies.h"

#include <QByteArray>

namespace kestrix {

namespace {

bool isDigits(QByteArrayView text, qsizetype count)
{
    if (text.size() < count) return false;
    for (qsizetype i = 0; i < count; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

// "20261207-105153": a date and a time of day without separators.
bool isCompactStamp(QByteArrayView text)
{
    return text.size() == 15 && isDigits(text, 8) && text[8] == '-' && isDigits(text.sliced(9), 6);
}

// Syncthing: ".sync-conflict-<date>-<time>", then the device that made the
// change by the first seven letters of its ID (newer versions).
bool isSyncthingMark(QByteArrayView mark)
{
    const QByteArrayView prefix(".sync-conflict-");
    if (!mark.startsWith(prefix)) return false;
    const QByteArrayView rest = mark.sliced(prefix.size());
    if (rest.size() == 15) return isCompactStamp(rest);
    if (rest.size() != 23 || !isCompactStamp(rest.first(15)) || rest[15] != '-') return false;
    for (const char c : rest.sliced(16))
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

// A note in parentheses after the name: "(conflicted copy ...)" in whatever
// letter case, with a user or computer name before it or not, or Seafile's
// "(SFConflict ...)".
bool isConflictNote(QByteArrayView mark)
{
    if (!mark.startsWith(" (") || !mark.endsWith(")")) return false;
    const QByteArray note = mark.sliced(2, mark.size() - 3).toByteArray();
    return note.toLower().contains("conflicted copy") || note.startsWith("SFConflict ");
}

} // namespace

bool isConflictCopyOf(QByteArrayView entry, QByteArrayView fileName)
{
    if (entry == fileName) return false;
    const qsizetype dot = fileName.lastIndexOf('.');
    const QByteArrayView stem = dot > 0 ? fileName.first(dot) : fileName;
    const QByteArrayView extension = dot > 0 ? fileName.sliced(dot) : QByteArrayView();
    // Seafile also writes its note after the whole name.
    if (entry.startsWith(fileName) && isConflictNote(entry.sliced(fileName.size())) && !extension.isEmpty()
        && entry.sliced(fileName.size()).startsWith(" (SFConflict "))
        return true;
    if (!entry.startsWith(stem) || !entry.endsWith(extension) || entry.size() <= stem.size() + extension.size())
        return false;
    const QByteArrayView mark = entry.sliced(stem.size(), entry.size() - stem.size() - extension.size());
    if (isSyncthingMark(mark) || isConflictNote(mark)) return true;
    const QByteArrayView ownCloud("_conflict-");
    return mark.startsWith(ownCloud) && isCompactStamp(mark.sliced(ownCloud.size()));
}

} // namespace kestrix
