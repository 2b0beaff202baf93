// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "files/UserAccess.h"

#include <gtest/gtest.h>

#include <pwd.h>

namespace kestrix::testing {
namespace {

struct stat folderOf(uid_t owner, gid_t group, mode_t mode)
{
    struct stat info = {};
    info.st_mode = S_IFDIR | mode;
    info.st_uid = owner;
    info.st_gid = group;
    return info;
}

} // namespace

// Whether another user could have put a file where it stands decides
// whether Kestrix follows their link or merges their copy: the folder's
// modes answer it, the sticky bit included.
TEST(UserAccess, WhoMayReplaceAFileInAFolder)
{
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const uid_t user = nobody->pw_uid;
    const gid_t usersGroup = nobody->pw_gid;
    const gid_t otherGroup = usersGroup == 0 ? 1 : 0;
    ASSERT_TRUE(userInGroup(user, usersGroup));
    ASSERT_FALSE(userInGroup(user, otherGroup));

    struct Row {
        const char* folder;
        struct stat info;
        uid_t fileOwner;
        bool mayReplace;
    };
    const Row rows[] = {
        {"own folder", folderOf(user, otherGroup, 0700), 0, true},
        {"someone's, open to all", folderOf(0, otherGroup, 0777), 0, true},
        {"someone's, read only to all", folderOf(0, otherGroup, 0755), user, false},
        {"someone's, open to the user's group", folderOf(0, usersGroup, 0770), 0, true},
        {"someone's, open to another group", folderOf(0, otherGroup, 0770), user, false},
        {"sticky, the user's own file", folderOf(0, otherGroup, 01777), user, true},
        {"sticky, someone's file", folderOf(0, otherGroup, 01777), 0, false},
        {"sticky, the user's own folder", folderOf(user, otherGroup, 01755), 0, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(userMayReplaceIn(user, row.info, row.fileOwner), row.mayReplace) << row.folder;
        // Root may do anything anywhere.
        EXPECT_TRUE(userMayReplaceIn(0, row.info, row.fileOwner)) << row.folder;
    }
    EXPECT_FALSE(userMayWrite(user, folderOf(0, otherGroup, 0775)));
    EXPECT_TRUE(userMayWrite(0, folderOf(user, usersGroup, 0500)));
}

} // namespace kestrix::testing
