// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace kestrix::vcard {

// A memo line the export writes back as the property the import took it
// from: "Title: Buyer" as TITLE, "Phone (home): 555" as TEL;TYPE=home,
// "Country: Sweden" into the address, "Department: Sales" into ORG.
struct LiftedLine {
    enum class Into { Property, Department, PoBox, Country };
    Into into = Into::Property;
    QByteArray head;              // the property's name and parameters
    QString value;                // as the property holds it
    bool keepsCommas = false;     // a list: its commas separate values
    bool keepsSemicolons = false; // another program's property: its parts stay as that program wrote them
};

// A card's memo as the export sees it: the lines at its end that are such
// memo lines can leave the note for properties of their own.
class MemoLines {
public:
    // `memo` must outlive this.
    MemoLines(const QString& memo, bool v3);

    // How many lines at the end of the memo can be written as properties.
    qsizetype liftable() const { return static_cast<qsizetype>(lifted_.size()); }
    // The memo but for its last `count` lines, which leave it.
    QString noteWithout(qsizetype count) const;
    // The last `count` lines, as properties, in the memo's order.
    std::vector<LiftedLine> lastLines(qsizetype count) const;

private:
    const QString& memo_;
    std::vector<LiftedLine> lifted_; // for the liftable lines at the end
    std::vector<qsizetype> starts_;  // where each of them starts in the memo
};

} // namespace kestrix::vcard
