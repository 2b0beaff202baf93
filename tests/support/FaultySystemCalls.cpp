// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The storage's system calls as the test suite links them: each makes the
// real call, unless a test chose it to fail, and a recorder notes what it
// did to the files of one folder.
#include "files/SystemCalls.h"
#include "support/SystemCallFaults.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kestrix::testing {

namespace {

struct Faults {
    bool counting = false;
    long failAt = 0;
    int error = 0;
    bool struck = false;
    std::vector<Call> calls;
    std::optional<Call> always;
    int alwaysError = 0;
    bool folderLocksFail = false;
} gFaults;

struct Recorder {
    bool on = false;
    QByteArray folder;
    std::map<int, QByteArray> paths; // open descriptors in the folder
    std::vector<DiskStep> steps;
} gRecorder;

// Whether the call may go ahead; false, with errno set, for the chosen one.
bool allowed(Call call)
{
    if (gFaults.always == call) {
        errno = gFaults.alwaysError;
        return false;
    }
    if (!gFaults.counting) return true;
    gFaults.calls.push_back(call);
    if (static_cast<long>(gFaults.calls.size()) != gFaults.failAt) return true;
    gFaults.struck = true;
    errno = gFaults.error;
    return false;
}

// The name inside the recorded folder, or nothing for a path elsewhere.
QByteArray nameInFolder(const char* path)
{
    const QByteArray whole(path);
    if (!gRecorder.on || !whole.startsWith(gRecorder.folder + '/')) return {};
    const QByteArray name = whole.mid(gRecorder.folder.size() + 1);
    return name.contains('/') ? QByteArray() : name;
}

ino_t inodeOf(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? info.st_ino : 0;
}

void noteOpened(int fd, const char* path, bool created)
{
    if (fd < 0 || !gRecorder.on) return;
    if (QByteArray(path) == gRecorder.folder) {
        gRecorder.paths[fd] = QByteArrayLiteral(".");
        return;
    }
    const QByteArray name = nameInFolder(path);
    if (name.isEmpty()) return;
    gRecorder.paths[fd] = name;
    if (created) gRecorder.steps.push_back({DiskStep::Create, name, {}, inodeOf(fd), 0, {}});
}

bool recorded(int fd)
{
    return gRecorder.on && gRecorder.paths.count(fd) > 0;
}

} // namespace

const char* nameOf(Call call)
{
    static const char* const names[] = {
        "open",  "mkostemp", "close",  "read",     "pread", "write",   "ftruncate", "lseek",    "copy_file_range",
        "ioctl", "fsync",    "fstat",  "stat",     "lstat", "access",  "faccessat", "fchmod",   "fchown",
        "fcntl", "rename",   "unlink", "readlink", "flock", "opendir", "readdir",   "closedir", "linkat"};
    return names[static_cast<int>(call)];
}

void SystemCallFaults::start(long n, int error)
{
    gFaults = {true, n, error, false, {}, std::nullopt, 0, false};
}

void SystemCallFaults::failEvery(Call call, int error)
{
    gFaults.always = call;
    gFaults.alwaysError = error;
}

void SystemCallFaults::failFolderLocks()
{
    gFaults.folderLocksFail = true;
}

void SystemCallFaults::stop()
{
    gFaults.counting = false;
    gFaults.always.reset();
    gFaults.folderLocksFail = false;
}
const std::vector<Call>& SystemCallFaults::calls()
{
    return gFaults.calls;
}
bool SystemCallFaults::struck()
{
    return gFaults.struck;
}

void DiskRecorder::start(const QByteArray& folder)
{
    gRecorder = {true, folder, {}, {}};
}

std::vector<DiskStep> DiskRecorder::stop()
{
    gRecorder.on = false;
    return std::move(gRecorder.steps);
}

} // namespace kestrix::testing

namespace kestrix::sys {

using testing::allowed;
using testing::Call;
using testing::DiskStep;
using testing::gRecorder;

int open(const char* path, int flags, mode_t mode)
{
    if (!allowed(Call::Open)) return -1;
    const bool existed = ::access(path, F_OK) == 0;
    const int fd = ::open(path, flags, mode);
    testing::noteOpened(fd, path, !existed && (flags & O_CREAT));
    if (fd >= 0 && existed && (flags & O_TRUNC) && testing::recorded(fd))
        gRecorder.steps.push_back({DiskStep::Truncate, {}, {}, testing::inodeOf(fd), 0, {}});
    return fd;
}

int mkostemp(char* pathTemplate, int flags)
{
    if (!allowed(Call::Mkostemp)) return -1;
    const int fd = ::mkostemp(pathTemplate, flags);
    testing::noteOpened(fd, pathTemplate, true);
    return fd;
}

int close(int fd)
{
    if (!allowed(Call::Close)) {
        // A failed close still frees the descriptor, as the system's does.
        const int error = errno;
        ::close(fd);
        gRecorder.paths.erase(fd);
        errno = error;
        return -1;
    }
    gRecorder.paths.erase(fd);
    return ::close(fd);
}

ssize_t read(int fd, void* buffer, size_t count)
{
    if (!allowed(Call::Read)) return -1;
    return ::read(fd, buffer, count);
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset)
{
    if (!allowed(Call::Pread)) return -1;
    return ::pread(fd, buffer, count, offset);
}

ssize_t write(int fd, const void* data, size_t count)
{
    if (!allowed(Call::Write)) return -1;
    qint64 offset = 0;
    if (testing::recorded(fd)) {
        struct stat info {};
        ::fstat(fd, &info);
        offset = (::fcntl(fd, F_GETFL) & O_APPEND) ? info.st_size : ::lseek(fd, 0, SEEK_CUR);
    }
    const ssize_t wrote = ::write(fd, data, count);
    if (wrote > 0 && testing::recorded(fd))
        gRecorder.steps.push_back(
            {DiskStep::Write, {}, {}, testing::inodeOf(fd), offset, QByteArray(static_cast<const char*>(data), wrote)});
    return wrote;
}

int ftruncate(int fd, off_t length)
{
    if (!allowed(Call::Ftruncate)) return -1;
    const int result = ::ftruncate(fd, length);
    if (result == 0 && testing::recorded(fd))
        gRecorder.steps.push_back({DiskStep::Truncate, {}, {}, testing::inodeOf(fd), length, {}});
    return result;
}

off_t lseek(int fd, off_t offset, int whence)
{
    if (!allowed(Call::Lseek)) return -1;
    return ::lseek(fd, offset, whence);
}

// A copy inside the kernel is, for a power cut, a write of the bytes copied.
ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t length, unsigned flags)
{
    if (!allowed(Call::CopyFileRange)) return -1;
    const off_t from = inOffset ? *inOffset : ::lseek(in, 0, SEEK_CUR);
    const off_t to = outOffset ? *outOffset : ::lseek(out, 0, SEEK_CUR);
    const ssize_t copied = ::copy_file_range(in, inOffset, out, outOffset, length, flags);
    if (copied > 0 && testing::recorded(out)) {
        QByteArray data(copied, Qt::Uninitialized);
        const ssize_t read = ::pread(in, data.data(), static_cast<size_t>(copied), from);
        data.resize(std::max<ssize_t>(read, 0));
        gRecorder.steps.push_back({DiskStep::Write, {}, {}, testing::inodeOf(out), to, data});
    }
    return copied;
}

// Sharing blocks (FICLONE) is, for a power cut, the source's content written
// over the file's.
int ioctl(int fd, unsigned long request, int source)
{
    if (!allowed(Call::Ioctl)) return -1;
    const int result = ::ioctl(fd, request, source);
    if (result == 0 && testing::recorded(fd)) {
        struct stat info {};
        ::fstat(source, &info);
        QByteArray data(info.st_size, Qt::Uninitialized);
        data.resize(std::max<ssize_t>(::pread(source, data.data(), static_cast<size_t>(data.size()), 0), 0));
        gRecorder.steps.push_back({DiskStep::Truncate, {}, {}, testing::inodeOf(fd), 0, {}});
        gRecorder.steps.push_back({DiskStep::Write, {}, {}, testing::inodeOf(fd), 0, data});
    }
    return result;
}

int fsync(int fd)
{
    if (!allowed(Call::Fsync)) return -1;
    const int result = ::fsync(fd);
    if (result == 0 && testing::recorded(fd)) {
        if (gRecorder.paths[fd] == ".")
            gRecorder.steps.push_back({DiskStep::SyncFolder, {}, {}, 0, 0, {}});
        else
            gRecorder.steps.push_back({DiskStep::SyncFile, {}, {}, testing::inodeOf(fd), 0, {}});
    }
    return result;
}

int fstat(int fd, struct stat* info)
{
    if (!allowed(Call::Fstat)) return -1;
    return ::fstat(fd, info);
}

int stat(const char* path, struct stat* info)
{
    if (!allowed(Call::Stat)) return -1;
    return ::stat(path, info);
}

int lstat(const char* path, struct stat* info)
{
    if (!allowed(Call::Lstat)) return -1;
    return ::lstat(path, info);
}

int faccessat(int dirFd, const char* path, int mode, int flags)
{
    if (!allowed(Call::Faccessat)) return -1;
    return ::faccessat(dirFd, path, mode, flags);
}

int access(const char* path, int mode)
{
    if (!allowed(Call::Access)) return -1;
    return ::access(path, mode);
}

int fchmod(int fd, mode_t mode)
{
    if (!allowed(Call::Fchmod)) return -1;
    return ::fchmod(fd, mode);
}

int fchown(int fd, uid_t owner, gid_t group)
{
    if (!allowed(Call::Fchown)) return -1;
    return ::fchown(fd, owner, group);
}

int fcntl(int fd, int command, int argument)
{
    if (!allowed(Call::Fcntl)) return -1;
    return ::fcntl(fd, command, argument);
}

int rename(const char* from, const char* to)
{
    if (!allowed(Call::Rename)) return -1;
    const int result = ::rename(from, to);
    const QByteArray fromName = testing::nameInFolder(from);
    const QByteArray toName = testing::nameInFolder(to);
    if (result == 0 && !fromName.isEmpty() && !toName.isEmpty())
        gRecorder.steps.push_back({DiskStep::Rename, fromName, toName, 0, 0, {}});
    return result;
}

// Only exports name a nameless file, outside the folders the power-cut
// test follows: not recorded.
int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    if (!allowed(Call::Linkat)) return -1;
    return ::linkat(fromFolder, from, toFolder, to, flags);
}

int unlink(const char* path)
{
    if (!allowed(Call::Unlink)) return -1;
    const int result = ::unlink(path);
    const QByteArray name = testing::nameInFolder(path);
    if (result == 0 && !name.isEmpty()) gRecorder.steps.push_back({DiskStep::Unlink, name, {}, 0, 0, {}});
    return result;
}

ssize_t readlink(const char* path, char* buffer, size_t size)
{
    if (!allowed(Call::Readlink)) return -1;
    return ::readlink(path, buffer, size);
}

int flock(int fd, int operation)
{
    if (!allowed(Call::Flock)) return -1;
    struct stat info {};
    if (testing::gFaults.folderLocksFail && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        errno = EBADF;
        return -1;
    }
    return ::flock(fd, operation);
}

DIR* opendir(const char* path)
{
    if (!allowed(Call::Opendir)) return nullptr;
    return ::opendir(path);
}

struct dirent* readdir(DIR* folder)
{
    if (!allowed(Call::Readdir)) return nullptr;
    return ::readdir(folder);
}

int closedir(DIR* folder)
{
    if (!allowed(Call::Closedir)) {
        // A failed close still frees the folder, as the system's does.
        const int error = errno;
        ::closedir(folder);
        errno = error;
        return -1;
    }
    return ::closedir(folder);
}

} // namespace kestrix::sys
