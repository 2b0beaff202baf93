// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Following the links that lead to the user's files, and only those a
// planter could not abuse. Kestrix resolves the links itself (so that a
// change is built beside the file a link names, and the link stays a link),
// which also means the kernel's own guard against planted links never sees
// them: the same guard is kept here, and kept stricter.
#include "PosixFile.h"
#include "SystemCalls.h"
#include "UserAccess.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <deque>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kestrix::posix {

namespace {

// The same limit the kernel puts on a path's links.
constexpr int kMaxLinkHops = 40;

// A link made by neither this user nor root, found on the way: it is
// followed only if its maker could have changed its target anyway.
struct ForeignLink {
    uid_t owner;
    QByteArray path;
};

void pushComponentsInFront(std::deque<QByteArray>& todo, const QByteArray& path)
{
    const QList<QByteArray> parts = path.split('/');
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) todo.push_front(*part);
}

// Whether the maker of a link could change, or create, what it finally
// leads to: then following it does nothing they could not do themselves.
bool makerMayChange(uid_t maker, const QByteArray& target)
{
    struct stat info {};
    if (sys::stat(target.constData(), &info) == 0) return userMayWrite(maker, info);
    struct stat folder {};
    return sys::stat(folderOf(target).constData(), &folder) == 0 && userMayWrite(maker, folder);
}

// Whether the links of other users a walk went through to `done` may be
// followed, as `trust` decides.
FileStatus mayFollow(const std::vector<ForeignLink>& foreign, const QByteArray& done, const QString& displayName,
                     LinkTrust trust)
{
    for (const ForeignLink& link : foreign) {
        if (trust == LinkTrust::OwnOnly) {
            return FileStatus::failure(displayName,
                                       QStringLiteral("it is the link %1, made by %2: Kestrix writes through a link "
                                                      "only where you made it")
                                           .arg(displayNameOf(link.path), userName(link.owner)));
        }
        if (makerMayChange(link.owner, done)) continue;
        return FileStatus::failure(displayName,
                                   QStringLiteral("it leads through the link %1, made by %2, to %3, which %2 may not "
                                                  "change: Kestrix does not follow such a link")
                                       .arg(displayNameOf(link.path), userName(link.owner), displayNameOf(done)));
    }
    return FileStatus::success();
}

} // namespace

FileStatus followLinks(const QByteArray& start, const QByteArray& name, const QString& displayName,
                       FileLocation& location, LinkTrust trust)
{
    QByteArray done = start;
    std::vector<qsizetype> added; // where each folder this walk added to `done` began
    std::deque<QByteArray> todo;
    pushComponentsInFront(todo, name);
    std::vector<ForeignLink> foreign;
    const uid_t me = ::geteuid();
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    int hops = 0;
    while (!todo.empty()) {
        const QByteArray part = todo.front();
        todo.pop_front();
        if (part.isEmpty() || part == ".") continue;
        if (part == "..") {
            // Every folder added was a real one, so its parent is the one before.
            if (!added.empty()) {
                done.truncate(added.back());
                added.pop_back();
            } else {
                done += "/..";
            }
            continue;
        }
        const QByteArray candidate = done + '/' + part;
        struct stat info {};
        if (sys::lstat(candidate.constData(), &info) != 0) {
            if (errno != ENOENT) return FileStatus::fromErrno(displayName, errno);
            // Nothing there yet: the rest is where the file will be.
            done = candidate;
            for (const QByteArray& rest : todo)
                if (!rest.isEmpty() && rest != ".") done += '/' + rest;
            break;
        }
        if (!S_ISLNK(info.st_mode)) {
            added.push_back(done.size());
            done = candidate;
            continue;
        }
        if (++hops > kMaxLinkHops) return FileStatus::fromErrno(displayName, ELOOP);
        const ssize_t length = sys::readlink(candidate.constData(), target.data(), static_cast<size_t>(target.size()));
        if (length < 0) return FileStatus::fromErrno(displayName, errno);
        if (length == target.size()) return FileStatus::fromErrno(displayName, ENAMETOOLONG);
        if (info.st_uid != me && info.st_uid != 0) foreign.push_back({info.st_uid, candidate});
        const QByteArray next = target.left(length);
        if (next.startsWith('/')) {
            done.clear();
            added.clear();
        }
        pushComponentsInFront(todo, next);
    }
    if (done.isEmpty()) done = "/";
    if (FileStatus trusted = mayFollow(foreign, done, displayName, trust); !trusted.ok()) return trusted;
    location = {folderOf(done), done};
    return FileStatus::success();
}

FileStatus followLinks(const QString& directory, const QString& name, FileLocation& location)
{
    return followLinks(QFile::encodeName(directory), QFile::encodeName(name), name, location);
}

} // namespace kestrix::posix
