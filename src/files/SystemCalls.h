// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

// Every call the storage makes on the file system, under the same names and
// with the same meaning as the C library's. The program links the plain calls
// (SystemCalls.cpp); the test suite links a version that can fail any one
// call with a chosen error and record what each operation does to the disk.
namespace kestrix::sys {

int open(const char* path, int flags, mode_t mode = 0);
int mkostemp(char* pathTemplate, int flags);
int close(int fd);
ssize_t read(int fd, void* buffer, size_t count);
ssize_t pread(int fd, void* buffer, size_t count, off_t offset);
ssize_t write(int fd, const void* data, size_t count);
int ftruncate(int fd, off_t length);
off_t lseek(int fd, off_t offset, int whence);
ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t length, unsigned flags);
// Only for FICLONE: makes `fd` share all of `source`'s blocks.
int ioctl(int fd, unsigned long request, int source);
int fsync(int fd);
int fstat(int fd, struct stat* info);
int stat(const char* path, struct stat* info);
int lstat(const char* path, struct stat* info);
int access(const char* path, int mode);
int faccessat(int dirFd, const char* path, int mode, int flags);
int fchmod(int fd, mode_t mode);
int fchown(int fd, uid_t owner, gid_t group);
int fcntl(int fd, int command, int argument = 0);
int rename(const char* from, const char* to);
int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags);
int unlink(const char* path);
ssize_t readlink(const char* path, char* buffer, size_t size);
int flock(int fd, int operation);
DIR* opendir(const char* path);
struct dirent* readdir(DIR* folder);
int closedir(DIR* folder);

} // namespace kestrix::sys
