// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArrayView>

#include <functional>

namespace kestrix {

// Where a reader takes its bytes from: puts up to `capacity` bytes into `buffer` and returns how many;
// 0 at the end; -1 when the bytes cannot be had (the caller of the reader keeps why).
using ByteSource = std::function<qsizetype(char* buffer, qsizetype capacity)>;

// The bytes of `bytes`, which must outlive the source, handed out in turn.
ByteSource sourceOf(QByteArrayView bytes);

} // namespace kestrix
