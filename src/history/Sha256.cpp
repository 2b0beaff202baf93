// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Sha256.h"

#include <openssl/evp.h>

#include <cstdlib>

namespace kestrix {

struct Sha256::Context {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(md); }
};

namespace {

// libcrypto fails here only without memory, where nothing can go on; a
// wrong sum would make a sound record read as damaged.
void check(int ok)
{
    if (ok != 1) std::abort();
}

} // namespace

Sha256::Sha256() : context_(std::make_unique<Context>())
{
    if (!context_->md) std::abort();
    reset();
}

Sha256::~Sha256() = default;

void Sha256::reset()
{
    check(EVP_DigestInit_ex(context_->md, EVP_sha256(), nullptr));
}

void Sha256::addData(QByteArrayView bytes)
{
    if (!bytes.isEmpty()) check(EVP_DigestUpdate(context_->md, bytes.data(), static_cast<size_t>(bytes.size())));
}

QByteArray Sha256::result()
{
    QByteArray sum(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int length = 0;
    check(EVP_DigestFinal_ex(context_->md, reinterpret_cast<unsigned char*>(sum.data()), &length));
    sum.truncate(length);
    reset();
    return sum;
}

QByteArray Sha256::hash(QByteArrayView bytes)
{
    Sha256 sum;
    sum.addData(bytes);
    return sum.result();
}

} // namespace kestrix
