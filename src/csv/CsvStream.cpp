// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CsvStream.h"

#include "CsvColumns.h"
#include "card/TextEncoding.h"
#include "contacts/CardMapping.h"

#include <QStringDecoder>

namespace kestrix {

namespace {

QString decodeField(QByteArrayView bytes, bool& notUtf8)
{
    if (!bytes.isValidUtf8()) {
        notUtf8 = true;
        return decodeWindows1252(bytes);
    }
    // The file's byte order mark is gone; one at the start of a field is the
    // field's text, which fromUtf8 would drop.
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        return decoder.decode(bytes);
    }
    return QString::fromUtf8(bytes);
}

int knownColumns(const CsvRow& header)
{
    int known = 0;
    bool notUtf8 = false;
    for (qsizetype i = 0; i < header.count(); ++i)
        if (csvColumnFor(decodeField(header.field(i), notUtf8)).role != CsvRole::Unknown) ++known;
    return known;
}

} // namespace

std::optional<char> csvSeparatorIn(TextInput& input)
{
    // Nothing: no CSV of contacts.
    return decideOnStart<std::optional<char>>(input, [](QByteArrayView text, bool whole, std::optional<char>& best) {
        best.reset();
        int bestKnown = 0;
        CsvRow header;
        for (char separator : {',', ';', '\t'}) {
            TextInput look(text);
            CsvRowReader rows(look, separator);
            rows.setLimit(kLargestCardBytes);
            rows.setFieldLimit(kMostCardFields);
            if (!rows.next(header)) return true;
            if (!header.ended && !whole) return false; // the row may go on
            if (header.cut) continue;
            const int known = knownColumns(header);
            if (known > bestKnown) {
                best = separator;
                bestKnown = known;
            }
        }
        return true;
    });
}

CsvCards::CsvCards(TextInput& input, char separator) : rows_(input, separator)
{
    rows_.setLimit(kLargestCardBytes);
    rows_.setFieldLimit(kMostCardFields);
    std::vector<CsvColumn> columns;
    if (rows_.next(row_)) {
        for (qsizetype i = 0; i < row_.count(); ++i) {
            headers_.append(decodeField(row_.field(i), headerNotUtf8_).trimmed());
            columns.push_back(csvColumnFor(headers_.back()));
            headerFields_.push_back(row_.field(i).trimmed().toByteArray());
        }
    }
    contacts_ = CsvContactReader(std::move(columns), headers_);
}

bool CsvCards::next(CardRecord& card, std::vector<ImportIssue>& issues)
{
    for (;;) {
        if (!rows_.next(row_)) return false;
        ++position_;
        QStringList notUtf8;
        if (row_.cut) {
            // What the row holds before the cut may name it.
            reportSkipped(contacts_.read(cellsOf(notUtf8)), position_,
                          {row_.tooManyFields ? tooManyFieldsReason(row_.fields) : tooLargeReason(row_.size)}, issues);
            continue;
        }
        if (row_.text.isEmpty() || repeatsHeader()) continue;
        if (headerNotUtf8_) {
            notUtf8.append(QStringLiteral("the header row"));
            headerNotUtf8_ = false;
        }
        const std::vector<CsvCell> cells = cellsOf(notUtf8);
        std::vector<QString> reasons;
        if (row_.unterminated) reasons.push_back(QStringLiteral("the file ends inside a quoted field of this row"));
        if (fitCard(contacts_.read(cells), position_, std::move(reasons), notUtf8, card, issues)) return true;
    }
}

bool CsvCards::repeatsHeader() const
{
    if (row_.count() != static_cast<qsizetype>(headerFields_.size())) return false;
    for (qsizetype i = 0; i < row_.count(); ++i)
        if (row_.field(i).trimmed() != headerFields_[i]) return false;
    return true;
}

std::vector<CsvCell> CsvCards::cellsOf(QStringList& notUtf8) const
{
    std::vector<CsvCell> cells;
    for (qsizetype i = 0; i < row_.count(); ++i) {
        const QByteArrayView field = row_.field(i);
        if (field.isEmpty()) continue;
        bool fieldNotUtf8 = false;
        cells.push_back({static_cast<int>(i), decodeField(field, fieldNotUtf8)});
        if (!fieldNotUtf8) continue;
        const bool named = i < headers_.size() && !headers_[i].isEmpty();
        notUtf8.append(named ? shortLabel(headers_[i]) : QStringLiteral("column %1").arg(i + 1));
    }
    return cells;
}

} // namespace kestrix
