// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace kestrix::testing {

TempFolder::TempFolder()
{
    EXPECT_TRUE(dir_.isValid());
}

QString TempFolder::pathOf(const QString& name) const
{
    return dir_.filePath(name);
}

void TempFolder::write(const QString& name, const QByteArray& bytes) const
{
    QFile file(pathOf(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << name.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray TempFolder::read(const QString& name) const
{
    QFile file(pathOf(name));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << name.toStdString();
        return {};
    }
    return file.readAll();
}

bool TempFolder::exists(const QString& name) const
{
    return QFileInfo::exists(pathOf(name));
}

void TempFolder::makeFolder(const QString& name) const
{
    ASSERT_TRUE(QDir(path()).mkdir(name));
}

} // namespace kestrix::testing
