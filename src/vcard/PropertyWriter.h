// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <QStringView>

#include <initializer_list>
#include <span>

namespace kestrix::vcard {

// Writes a vCard's content lines onto the end of one buffer: values as
// UTF-8, escaped as the standard asks, lines folded at 75 octets without
// splitting a character, each ended by CR LF.
class PropertyWriter {
public:
    explicit PropertyWriter(QByteArray& out) : out_(out) {}

    // One property: `head` is its name with any group and parameters; the
    // components are escaped and joined with semicolons. `keepCommas` for a
    // list, whose commas separate its values; `keepSemicolons` for another
    // program's property, its parts as written.
    void write(QByteArrayView head, std::initializer_list<QStringView> components, bool keepCommas = false,
               bool keepSemicolons = false);
    void write(QByteArrayView head, const QStringList& components);
    // A line written as it stands, for texts of the program's own.
    void writeRaw(QByteArrayView line);

private:
    bool writeDirect(QByteArrayView head, std::span<const QStringView> components);
    void writeWithCarriageReturns(QByteArrayView head, std::span<const QStringView> components);

    QByteArray& out_;
    bool keepCommas_ = false;
    bool keepSemicolons_ = false;
};

} // namespace kestrix::vcard
