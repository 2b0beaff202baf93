// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "support/PowerCut.h"

#include <QDir>
#include <QFile>

#include <set>
#include <sys/stat.h>

namespace kestrix::testing {

namespace {

struct Inode {
    QByteArray synced;                     // what an fsync put on the disk
    std::vector<const DiskStep*> unsynced; // writes and truncations since
};

void apply(QByteArray& content, const DiskStep& step, qint64 budget)
{
    if (step.kind == DiskStep::Truncate) {
        content.resize(step.offset, '\0');
        return;
    }
    const QByteArray data = step.data.left(budget);
    if (content.size() < step.offset + data.size()) content.resize(step.offset + data.size(), '\0');
    content.replace(step.offset, data.size(), data);
}

// The inode's content with `budget` of its unsynced bytes kept, in order.
QByteArray contentKeeping(const Inode& inode, qint64 budget)
{
    QByteArray content = inode.synced;
    for (const DiskStep* step : inode.unsynced) {
        if (step->kind == DiskStep::Write && budget <= 0) break;
        apply(content, *step, budget);
        if (step->kind == DiskStep::Write) budget -= step->data.size();
    }
    return content;
}

qint64 unsyncedBytes(const Inode& inode)
{
    qint64 bytes = 0;
    for (const DiskStep* step : inode.unsynced) bytes += step->data.size();
    return bytes;
}

} // namespace

Folder readFolder(const QByteArray& path)
{
    Folder folder;
    const QDir dir(QFile::decodeName(path));
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        struct stat info {};
        const QByteArray file = path + '/' + QFile::encodeName(name);
        if (::stat(file.constData(), &info) != 0) continue;
        QFile reader(QFile::decodeName(file));
        if (!reader.open(QIODevice::ReadOnly)) continue;
        folder[QFile::encodeName(name)] = {info.st_ino, reader.readAll()};
    }
    return folder;
}

std::vector<std::vector<std::optional<QByteArray>>>
powerCutStates(const Folder& start, const std::vector<DiskStep>& steps, size_t count, const QList<QByteArray>& names)
{
    std::map<ino_t, Inode> inodes;
    std::map<QByteArray, ino_t> entries;
    for (const auto& [name, file] : start) {
        inodes[file.inode] = {file.content, {}};
        entries[name] = file.inode;
    }
    const std::map<QByteArray, ino_t> startEntries = entries;
    std::vector<const DiskStep*> folderSteps;
    size_t folderSynced = 0;
    for (size_t i = 0; i < count; ++i) {
        const DiskStep& step = steps[i];
        switch (step.kind) {
        case DiskStep::Create:
            inodes[step.inode] = {};
            folderSteps.push_back(&step);
            break;
        case DiskStep::Write:
        case DiskStep::Truncate:
            inodes[step.inode].unsynced.push_back(&step);
            break;
        case DiskStep::SyncFile: {
            Inode& inode = inodes[step.inode];
            inode.synced = contentKeeping(inode, unsyncedBytes(inode));
            inode.unsynced.clear();
            break;
        }
        case DiskStep::SyncFolder:
            folderSynced = folderSteps.size();
            break;
        case DiskStep::Rename:
        case DiskStep::Unlink:
            folderSteps.push_back(&step);
            break;
        }
    }

    std::vector<std::vector<std::optional<QByteArray>>> states;
    for (size_t kept = folderSynced; kept <= folderSteps.size(); ++kept) {
        // The folder's entries with the first `kept` of its steps on the disk.
        std::map<QByteArray, ino_t> now = startEntries;
        for (size_t i = 0; i < kept; ++i) {
            const DiskStep& step = *folderSteps[i];
            if (step.kind == DiskStep::Create) now[step.name] = step.inode;
            if (step.kind == DiskStep::Unlink) now.erase(step.name);
            if (step.kind == DiskStep::Rename && now.count(step.name)) {
                now[step.name2] = now[step.name];
                now.erase(step.name);
            }
        }
        std::vector<ino_t> varying;
        for (const QByteArray& name : names)
            if (now.count(name)) varying.push_back(now[name]);
        // Every combination of none, half or all of each file's unsynced bytes.
        size_t combinations = 1;
        for (size_t i = 0; i < varying.size(); ++i) combinations *= 3;
        std::set<std::vector<std::optional<QByteArray>>> seen;
        for (size_t combination = 0; combination < combinations; ++combination) {
            std::map<ino_t, QByteArray> contents;
            size_t choice = combination;
            for (ino_t inode : varying) {
                const qint64 all = unsyncedBytes(inodes[inode]);
                const qint64 budget = std::array<qint64, 3>{0, all / 2, all}[choice % 3];
                choice /= 3;
                if (!contents.count(inode)) contents[inode] = contentKeeping(inodes[inode], budget);
            }
            std::vector<std::optional<QByteArray>> state;
            for (const QByteArray& name : names) {
                if (now.count(name))
                    state.push_back(contents[now[name]]);
                else
                    state.push_back(std::nullopt);
            }
            if (seen.insert(state).second) states.push_back(state);
        }
    }
    return states;
}

} // namespace kestrix::testing
