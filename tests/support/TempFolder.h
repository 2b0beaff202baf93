// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace kestrix::testing {

// A fresh working directory for one test, removed afterwards.
class TempFolder {
public:
    TempFolder();

    QString path() const { return dir_.path(); }
    QString pathOf(const QString& name) const;

    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;
    bool exists(const QString& name) const;
    void makeFolder(const QString& name) const;

private:
    QTemporaryDir dir_;
};

} // namespace kestrix::testing
