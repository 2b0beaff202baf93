// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "MemoProperties.h"

#include <QRegularExpression>

namespace kestrix {

namespace {

// Properties a vCard reader finds no box for, with their memo labels. Those
// a version does not define, or whose value the memo line cannot give back
// exactly (GEO's two numbers, links to photos), stay memo lines on export.
constexpr MemoProperty kMemoProperties[] = {
    {"TITLE", "Title", MemoValue::Text, true, true},
    {"ROLE", "Role", MemoValue::Text, true, true},
    {"URL", "Web", MemoValue::Uri, true, true},
    {"BDAY", "Birthday", MemoValue::Date, true, true},
    {"ANNIVERSARY", "Anniversary", MemoValue::Date, false, true},
    {"NICKNAME", "Nickname", MemoValue::List, true, true},
    {"CATEGORIES", "Categories", MemoValue::List, true, true},
    {"GEO", "Geo", MemoValue::Text, false, false},
    {"TZ", "Time zone", MemoValue::Text, false, true},
    {"IMPP", "Chat", MemoValue::Uri, true, true},
    {"LANG", "Language", MemoValue::Text, false, true},
    {"GENDER", "Gender", MemoValue::Text, false, true},
    {"RELATED", "Related", MemoValue::Text, false, true},
    {"MEMBER", "Member", MemoValue::Uri, false, false},
    {"LABEL", "Address label", MemoValue::Text, true, false},
    {"MAILER", "Mailer", MemoValue::Text, true, false},
    {"SORT-STRING", "Sort as", MemoValue::Text, true, false},
    {"PHOTO", "Photo", MemoValue::Uri, false, false},
    {"LOGO", "Logo", MemoValue::Uri, false, false},
    {"SOUND", "Sound", MemoValue::Uri, false, false},
    {"KEY", "Key", MemoValue::Uri, false, false},
    {"FBURL", "Free/busy", MemoValue::Uri, true, true},
    {"CALURI", "Calendar", MemoValue::Uri, true, true},
    {"CALADRURI", "Calendar request", MemoValue::Uri, true, true},
    {"SOURCE", "Source", MemoValue::Uri, true, true},
    {"AGENT", "Agent", MemoValue::Text, false, false},
    {"CLASS", "Class", MemoValue::Text, true, false},
};

// Other programs' CSV headers (in lower case) for the table's properties
// and for the memo's own labels of ORG units.
constexpr std::pair<const char*, const char*> kColumnLabels[] = {
    {"job title", "Title"},
    {"organization 1 - title", "Title"},
    {"organization 1 - job description", "Role"},
    {"web page", "Web"},
    {"website", "Web"},
    {"web site", "Web"},
    {"website 1 - value", "Web"},
    {"nickname", "Nickname"},
    {"birthday", "Birthday"},
    {"anniversary", "Anniversary"},
    {"department", "Department"},
    {"organization 1 - department", "Department"},
    {"categories", "Categories"},
    {"group membership", "Categories"},
    {"labels", "Categories"},
    {"gender", "Gender"},
    {"language", "Language"},
};

bool sameNoCase(QByteArrayView a, const char* b)
{
    const QByteArrayView other(b);
    if (a.size() != other.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != other[i]) return false;
    }
    return true;
}

} // namespace

const MemoProperty* memoPropertyNamed(QByteArrayView name)
{
    for (const MemoProperty& row : kMemoProperties)
        if (sameNoCase(name, row.property)) return &row;
    return nullptr;
}

const MemoProperty* memoPropertyLabelled(QStringView label)
{
    for (const MemoProperty& row : kMemoProperties)
        if (label == QLatin1String(row.label)) return &row;
    return nullptr;
}

QStringList memoLabelsOfColumns(const QStringList& headers)
{
    QStringList labels;
    bool jobTitle = false;
    for (const QString& header : headers) {
        const QString lower = header.trimmed().toLower();
        jobTitle = jobTitle || lower == QLatin1String("job title");
        QString label = header;
        for (const auto& [column, memoLabel] : kColumnLabels)
            if (lower == QLatin1String(column)) label = QLatin1String(memoLabel);
        labels.append(label);
    }
    if (jobTitle)
        for (qsizetype i = 0; i < headers.size(); ++i)
            if (headers[i].trimmed().compare(QLatin1String("title"), Qt::CaseInsensitive) == 0)
                labels[i] = QStringLiteral("Name prefix");
    return labels;
}

QString memoDate(const QString& value, std::optional<int> omittedYear)
{
    // ISO 8601 as vCard writes it, basic or extended: a date, or a month and
    // day after two dashes.
    static const QRegularExpression kDate(QStringLiteral("^(\\d{4}|--)-?(\\d\\d)-?(\\d\\d)$"));
    const QRegularExpressionMatch match = kDate.match(value.trimmed());
    if (!match.hasMatch()) return value;
    const QString month = match.captured(2), day = match.captured(3);
    if (month.toInt() < 1 || month.toInt() > 12 || day.toInt() < 1 || day.toInt() > 31) return value;
    QString year = match.captured(1);
    if (year != QLatin1String("--") && omittedYear && year.toInt() == *omittedYear) year = QStringLiteral("--");
    return year == QLatin1String("--") ? QStringLiteral("--%1-%2").arg(month, day)
                                       : QStringLiteral("%1-%2-%3").arg(year, month, day);
}

} // namespace kestrix
