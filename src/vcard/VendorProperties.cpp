// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VendorProperties.h"

#include "contacts/MemoProperties.h"

namespace kestrix::vcard {

std::optional<QString> leftOutBecause(const VCardProperty& property)
{
    if (property.is("X-MS-OL-DESIGN")) return QStringLiteral("Outlook's card design (X-MS-OL-DESIGN)");
    if (property.is("X-ABADR")) return QStringLiteral("Apple's address format (X-ABADR)");
    return std::nullopt;
}

namespace {

// The words Android's relation types stand for, from 1.
constexpr const char* kRelations[] = {"assistant", "brother", "child",  "domestic partner", "father",      "friend",
                                      "manager",   "mother",  "parent", "partner",          "referred by", "relative",
                                      "sister",    "spouse"};

// The type word of a row: the label its writer gave (type 0), else the
// table's word for its number.
QString typeWord(const QStringList& components, const char* const* words, int count)
{
    const int type = components.value(2).toInt();
    if (type == 0) return components.value(3).trimmed();
    return type >= 1 && type <= count ? QLatin1String(words[type - 1]) : QString();
}

} // namespace

std::optional<MemoLine> androidRow(const QStringList& components, int order)
{
    const QString kind = components.value(0).trimmed();
    const QString data = components.value(1);
    if (data.isEmpty()) return std::nullopt;
    if (kind == QLatin1String("vnd.android.cursor.item/nickname"))
        return MemoLine{order, QStringLiteral("Nickname"), data};
    if (kind == QLatin1String("vnd.android.cursor.item/relation")) {
        const QString word = typeWord(components, kRelations, int(std::size(kRelations)));
        return MemoLine{order, QStringLiteral("Related"),
                        word.isEmpty() ? data : QStringLiteral("%1 (%2)").arg(data, word)};
    }
    if (kind == QLatin1String("vnd.android.cursor.item/contact_event")) {
        static constexpr const char* kEvents[] = {"Anniversary", "Event", "Birthday"};
        QString label = typeWord(components, kEvents, int(std::size(kEvents)));
        if (label.isEmpty()) label = QStringLiteral("Event");
        return MemoLine{order, label, memoDate(data, std::nullopt)};
    }
    return std::nullopt;
}

} // namespace kestrix::vcard
