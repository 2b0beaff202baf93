// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ContactImport.h"

#include "CardTransfer.h"
#include "cardfile/Module1.h"
#include "files/FileStatus.h"
#include "files/PosixFile.h"
#include "files/SystemCalls.h"
#include "formats/ContactReader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace kestrix {

namespace {

// The reports kept in full; the window shows a dozen, a terminal a screenful.
constexpr qsizetype kIssuesKept = 1000;

void keep(std::vector<ImportIssue> found, ImportOutcome& outcome)
{
    for (ImportIssue& issue : found) {
        if (!issue.notice) outcome.anyCardNotWhole = true;
        if (static_cast<qsizetype>(outcome.issues.size()) < kIssuesKept)
            outcome.issues.push_back(std::move(issue));
        else
            ++outcome.moreIssues;
    }
}

// The file's bytes a read at a time; the first failure is kept in `status`.
ByteSource readerOf(int fd, const QString& name, FileStatus& status)
{
    return [fd, name, &status](char* buffer, qsizetype capacity) -> qsizetype {
        for (;;) {
            const ssize_t got = sys::read(fd, buffer, static_cast<size_t>(capacity));
            if (got >= 0) return got;
            if (errno == EINTR) continue;
            status = FileStatus::fromErrno(name, errno);
            return -1;
        }
    };
}

} // namespace

ImportOutcome importContacts(Module1& module, const QByteArray& path, std::optional<ExchangeFormat> format,
                             const ImportProgress& progress)
{
    ImportOutcome outcome;
    const QString name = posix::displayNameOf(posix::baseNameOf(path));
    outcome.status = refuseCardFiles(module, path);
    posix::FileLocation location;
    if (outcome.status.ok())
        outcome.status = posix::followLinks(posix::folderOf(path), posix::baseNameOf(path), name, location);
    int fd = -1;
    if (outcome.status.ok()) outcome.status = posix::openRegularPath(location.path, name, O_RDONLY, fd);
    struct stat info {};
    if (outcome.status.ok() && sys::fstat(fd, &info) != 0) outcome.status = FileStatus::fromErrno(name, errno);
    if (!outcome.status.ok()) {
        (void)posix::closeFile(fd, name);
        return outcome;
    }

    FileStatus read = FileStatus::success();
    ContactReader reader(readerOf(fd, name, read), format);
    keep(reader.takeIssues(), outcome);
    if (!reader.recognised()) {
        // A file that could not be read is told as such, not as no contacts.
        outcome.status = read;
        outcome.recognised = !read.ok();
        outcome.reason = reader.reason();
        (void)posix::closeFile(fd, name);
        return outcome;
    }
    // As the window starts: a missing card file is created, and the last
    // card's number is where numbering goes on when the counter holds none.
    // Only for contacts: a file that holds none leaves the folder as it was.
    outcome.status = module.ReadAtStart();
    if (!outcome.status.ok()) {
        (void)posix::closeFile(fd, name);
        return outcome;
    }
    FileStatus stored = module.AddCards(
        [&](CardRecord& card) {
            if (progress && !progress(reader.consumed(), info.st_size)) {
                outcome.stopped = true;
                return Module1::NextCard::Stop;
            }
            const bool more = reader.next(card);
            keep(reader.takeIssues(), outcome);
            // A file that fails half way must not pass for a shorter one.
            if (!more) return reader.sourceFailed() ? Module1::NextCard::Stop : Module1::NextCard::End;
            return Module1::NextCard::Card;
        },
        outcome.stored);
    if (!read.ok()) stored = read;
    if (!outcome.stopped) outcome.status = stored;
    // Only read from: a failed close loses nothing.
    (void)posix::closeFile(fd, name);
    return outcome;
}

} // namespace kestrix
