// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "UserAccess.h"

#include <algorithm>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace kestrix {

namespace {

// The password database entry of `user`, or false where it has none.
bool passwordEntry(uid_t user, QByteArray& name, gid_t& primaryGroup)
{
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<size_t>(suggested > 0 ? suggested : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
    name = entry.pw_name;
    primaryGroup = entry.pw_gid;
    return true;
}

} // namespace

bool userInGroup(uid_t user, gid_t group)
{
    if (user == ::geteuid()) {
        if (::getegid() == group) return true;
        const int count = ::getgroups(0, nullptr);
        std::vector<gid_t> groups(static_cast<size_t>(std::max(count, 0)));
        const int got = ::getgroups(count, groups.data());
        return std::find(groups.begin(), groups.begin() + std::max(got, 0), group) != groups.begin() + std::max(got, 0);
    }
    QByteArray name;
    gid_t primary = 0;
    if (!passwordEntry(user, name, primary)) return false;
    if (primary == group) return true;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    while (::getgrouplist(name.constData(), primary, groups.data(), &count) < 0) {
        if (count <= static_cast<int>(groups.size())) return false;
        groups.resize(static_cast<size_t>(count));
    }
    return std::find(groups.begin(), groups.begin() + count, group) != groups.begin() + count;
}

bool userMayWrite(uid_t user, const struct stat& info)
{
    if (user == 0) return true;
    // A folder is written by making entries in it, which also takes search.
    const mode_t needed = S_ISDIR(info.st_mode) ? S_IWOTH | S_IXOTH : S_IWOTH;
    const int shift = info.st_uid == user ? 6 : userInGroup(user, info.st_gid) ? 3 : 0;
    return ((info.st_mode >> shift) & needed) == needed;
}

bool userMayReplaceIn(uid_t user, const struct stat& folder, uid_t fileOwner)
{
    if (!userMayWrite(user, folder)) return false;
    return !(folder.st_mode & S_ISVTX) || user == 0 || user == fileOwner || user == folder.st_uid;
}

QString userName(uid_t user)
{
    QByteArray name;
    gid_t primary = 0;
    if (passwordEntry(user, name, primary)) return QString::fromLocal8Bit(name);
    return QString::number(user);
}

} // namespace kestrix
