// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "carddav/DavClient.h"

namespace kestrix {

// One request and its answer, no redirects followed; `authorization` is the
// Authorization header's value, or empty for none. Waits at most the
// settings' timeout for each piece of the answer and reads at most their
// number of bytes.
DavReply transferOnce(QNetworkAccessManager& network, const DavRequest& request, const QByteArray& authorization,
                      const DavClientSettings& settings);

} // namespace kestrix
