// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SystemCalls.h"

#include <sys/ioctl.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kestrix::sys {

int open(const char* path, int flags, mode_t mode)
{
    return ::open(path, flags, mode);
}
int mkostemp(char* pathTemplate, int flags)
{
    return ::mkostemp(pathTemplate, flags);
}
int close(int fd)
{
    return ::close(fd);
}
ssize_t read(int fd, void* buffer, size_t count)
{
    return ::read(fd, buffer, count);
}
ssize_t pread(int fd, void* buffer, size_t count, off_t offset)
{
    return ::pread(fd, buffer, count, offset);
}
ssize_t write(int fd, const void* data, size_t count)
{
    return ::write(fd, data, count);
}
int ftruncate(int fd, off_t length)
{
    return ::ftruncate(fd, length);
}
off_t lseek(int fd, off_t offset, int whence)
{
    return ::lseek(fd, offset, whence);
}
ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t length, unsigned flags)
{
    return ::copy_file_range(in, inOffset, out, outOffset, length, flags);
}
int ioctl(int fd, unsigned long request, int source)
{
    return ::ioctl(fd, request, source);
}
int fsync(int fd)
{
    return ::fsync(fd);
}
int fstat(int fd, struct stat* info)
{
    return ::fstat(fd, info);
}
int stat(const char* path, struct stat* info)
{
    return ::stat(path, info);
}
int lstat(const char* path, struct stat* info)
{
    return ::lstat(path, info);
}
int access(const char* path, int mode)
{
    return ::access(path, mode);
}
int faccessat(int dirFd, const char* path, int mode, int flags)
{
    return ::faccessat(dirFd, path, mode, flags);
}
int fchmod(int fd, mode_t mode)
{
    return ::fchmod(fd, mode);
}
int fchown(int fd, uid_t owner, gid_t group)
{
    return ::fchown(fd, owner, group);
}
int fcntl(int fd, int command, int argument)
{
    return ::fcntl(fd, command, argument);
}
int rename(const char* from, const char* to)
{
    return ::rename(from, to);
}
int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    return ::linkat(fromFolder, from, toFolder, to, flags);
}
int unlink(const char* path)
{
    return ::unlink(path);
}
ssize_t readlink(const char* path, char* buffer, size_t size)
{
    return ::readlink(path, buffer, size);
}
int flock(int fd, int operation)
{
    return ::flock(fd, operation);
}
DIR* opendir(const char* path)
{
    return ::opendir(path);
}
struct dirent* readdir(DIR* folder)
{
    return ::readdir(folder);
}
int closedir(DIR* folder)
{
    return ::closedir(folder);
}

} // namespace kestrix::sys
