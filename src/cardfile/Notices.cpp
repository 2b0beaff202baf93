// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Notices.h"

#include "files/FileStatus.h"

#include <utility>

namespace kestrix {

void Notices::add(CardFileNotice notice)
{
    gathered_.push_back(std::move(notice));
}

void Notices::addOnce(CardFileNotice notice)
{
    if (told_.insert(notice.kind).second) add(std::move(notice));
}

void Notices::notMerged(const FileStatus& status)
{
    if (status.ok() || !toldNotMerged_.insert(status.file()).second) return;
    add({CardFileNotice::Kind::CopyNotMerged,
         status.file(),
         0,
         status.reason(),
         {},
         status.concernsFolder() ? status.error() : 0});
}

std::vector<CardFileNotice> Notices::take()
{
    return std::exchange(gathered_, {});
}

} // namespace kestrix
