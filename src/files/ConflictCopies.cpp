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

// "2026-12-07": a date with dashes.
bool isDashedDate(QByteArrayView text)
{
    return text.size() == 10 && isDigits(text, 4) && text[4] == '-' && isDigits(text.sliced(5), 2) && text[7] == '-'
        && isDigits(text.sliced(8), 2);
}

// Nextcloud and ownCloud 2.5 on: "conflicted copy 2026-12-07 105153".
bool isNextcloudNote(QByteArrayView note)
{
    const QByteArrayView prefix("conflicted copy ");
    if (!note.startsWith(prefix)) return false;
    const QByteArrayView stamp = note.sliced(prefix.size());
    return stamp.size() == 17 && isDashedDate(stamp.first(10)) && stamp[10] == ' ' && isDigits(stamp.sliced(11), 6);
}

// Dropbox: "laptop's conflicted copy 2026-12-07", a count " (1)" after the
// date when there are several on one day; the words in either letter case.
bool isDropboxNote(QByteArrayView original)
{
    const QByteArray note = original.toByteArray().toLower();
    for (const QByteArrayView marker :
         {QByteArrayView("'s conflicted copy "), QByteArrayView("\xE2\x80\x99s conflicted copy ")}) {
        const qsizetype at = note.indexOf(marker);
        if (at <= 0) continue;
        QByteArrayView rest = QByteArrayView(note).sliced(at + marker.size());
        if (rest.size() < 10 || !isDashedDate(rest.first(10))) return false;
        rest = rest.sliced(10);
        if (rest.isEmpty()) return true;
        if (!rest.startsWith(" (") || !rest.endsWith(")") || rest.size() < 4) return false;
        return isDigits(rest.sliced(2), rest.size() - 3);
    }
    return false;
}

// Seafile: "SFConflict ann@example.com 2026-12-07-10-51-53".
bool isSeafileNote(QByteArrayView note)
{
    const QByteArrayView prefix("SFConflict ");
    if (!note.startsWith(prefix) || note.size() < prefix.size() + 21) return false;
    const QByteArrayView stamp = note.last(19);
    const QByteArrayView who = note.sliced(prefix.size(), note.size() - prefix.size() - 20);
    return note[note.size() - 20] == ' ' && !who.isEmpty() && isDashedDate(stamp.first(10)) && stamp[10] == '-'
        && isDigits(stamp.sliced(11), 2) && stamp[13] == '-' && isDigits(stamp.sliced(14), 2) && stamp[16] == '-'
        && isDigits(stamp.sliced(17), 2);
}

// A note in parentheses after the name, exactly as one of the engines
// writes it: a file someone named "kest1 (my notes).dat" is not a copy.
bool isConflictNote(QByteArrayView mark)
{
    if (!mark.startsWith(" (") || !mark.endsWith(")")) return false;
    const QByteArrayView note = mark.sliced(2, mark.size() - 3);
    return isNextcloudNote(note) || isDropboxNote(note) || isSeafileNote(note);
}

} // namespace

bool isConflictCopyOf(QByteArrayView entry, QByteArrayView fileName)
{
    if (entry == fileName) return false;
    const qsizetype dot = fileName.lastIndexOf('.');
    const QByteArrayView stem = dot > 0 ? fileName.first(dot) : fileName;
    const QByteArrayView extension = dot > 0 ? fileName.sliced(dot) : QByteArrayView();
    // Seafile also writes its note after the whole name.
    if (entry.startsWith(fileName) && entry.size() > fileName.size() + 3) {
        const QByteArrayView after = entry.sliced(fileName.size());
        if (after.startsWith(" (") && after.endsWith(")") && isSeafileNote(after.sliced(2, after.size() - 3)))
            return true;
    }
    if (!entry.startsWith(stem) || !entry.endsWith(extension) || entry.size() <= stem.size() + extension.size())
        return false;
    const QByteArrayView mark = entry.sliced(stem.size(), entry.size() - stem.size() - extension.size());
    if (isSyncthingMark(mark) || isConflictNote(mark)) return true;
    const QByteArrayView ownCloud("_conflict-");
    return mark.startsWith(ownCloud) && isCompactStamp(mark.sliced(ownCloud.size()));
}

} // namespace kestrix
