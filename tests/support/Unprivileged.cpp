// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "support/Unprivileged.h"
#include "support/ScratchState.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <grp.h>
#include <iostream>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrix::testing {

void runUnprivileged(const QString& folder, const std::function<void()>& body, const std::vector<gid_t>& groups)
{
    const bool root = ::geteuid() == 0;
    uid_t uid = ::getuid();
    gid_t gid = ::getgid();
    if (root) {
        const passwd* nobody = ::getpwnam("nobody");
        ASSERT_NE(nobody, nullptr) << "no user \"nobody\" to run as";
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), uid, gid), 0);
    }
    std::cout.flush();
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
            std::perror("cannot become nobody");
            ::_exit(2);
        }
        // Only the thread that forked lives on here, without the time limit's
        // watch: when the test is stopped, this goes with it. Set after the
        // change of user, which clears it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (root) keepStateInScratchFolderOf(uid);
        body();
        std::cout.flush();
        std::fflush(nullptr);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const bool passed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    EXPECT_TRUE(passed) << "the part run as " << (root ? "nobody" : "this user") << " failed (wait status " << status
                        << ")";
}

} // namespace kestrix::testing
