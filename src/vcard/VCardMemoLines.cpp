// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardMemoLines.h"

#include "contacts/MemoProperties.h"

#include <QRegularExpression>

#include <optional>

namespace kestrix::vcard {

namespace {

// "Phone (home, fax)": the label and its types, each a plain word that can
// stand as a TYPE value.
bool splitLabel(const QString& label, QString& base, QStringList& types)
{
    static const QRegularExpression kLabel(
        QStringLiteral("^([^()]+?)(?: \\(([A-Za-z0-9-]+(?:, [A-Za-z0-9-]+)*)\\))?$"));
    const QRegularExpressionMatch match = kLabel.match(label);
    if (!match.hasMatch()) return false;
    base = match.captured(1);
    types = match.captured(2).isEmpty() ? QStringList() : match.captured(2).split(QStringLiteral(", "));
    return true;
}

QByteArray headOf(const QByteArray& name, const QStringList& types)
{
    return types.isEmpty() ? name : name + ";TYPE=" + types.join(QLatin1Char(',')).toUtf8();
}

// A date as each version writes it: 4.0 without dashes ("19800504",
// "--0504"), 3.0 with them, and without a year the way phones write it
// there (Apple's year 1604, with the parameter that says it stands for none).
std::optional<LiftedLine> dateLine(const QByteArray& name, const QString& value, bool v3)
{
    static const QRegularExpression kDate(QStringLiteral("^(\\d{4}|-)-(\\d\\d)-(\\d\\d)$"));
    const QRegularExpressionMatch match = kDate.match(value);
    if (!match.hasMatch() || memoDate(value, {}) != value) {
        // Any other text is a date only 4.0 can write as text.
        if (v3) return std::nullopt;
        return LiftedLine{LiftedLine::Into::Property, name + ";VALUE=text", value};
    }
    const bool yearless = match.captured(1) == QLatin1String("-");
    if (!v3)
        return LiftedLine{LiftedLine::Into::Property, name,
                          (yearless ? QStringLiteral("--") : match.captured(1)) + match.captured(2)
                              + match.captured(3)};
    if (yearless)
        return LiftedLine{LiftedLine::Into::Property, name + ";X-APPLE-OMIT-YEAR=1604",
                          QStringLiteral("1604-%1-%2").arg(match.captured(2), match.captured(3))};
    return LiftedLine{LiftedLine::Into::Property, name, value};
}

std::optional<LiftedLine> liftedOf(const QString& line, bool v3)
{
    const qsizetype colon = line.indexOf(QLatin1String(": "));
    QString base;
    QStringList types;
    if (colon < 1 || !splitLabel(line.first(colon), base, types)) return std::nullopt;
    const QString value = line.sliced(colon + 2);
    // An empty value makes no memo line on the way back; a CR would be
    // told apart only in the note.
    if (value.isEmpty() || value.contains(QLatin1Char('\r'))) return std::nullopt;
    using Into = LiftedLine::Into;
    if (base == QLatin1String("Phone")) return LiftedLine{Into::Property, headOf("TEL", types), value};
    if (base == QLatin1String("E-mail")) return LiftedLine{Into::Property, headOf("EMAIL", types), value};
    if (types.isEmpty() && base == QLatin1String("Department")) return LiftedLine{Into::Department, {}, value};
    if (types.isEmpty() && base == QLatin1String("PO box")) return LiftedLine{Into::PoBox, {}, value};
    if (types.isEmpty() && base == QLatin1String("Country")) return LiftedLine{Into::Country, {}, value};
    // An extension property comes back under its own name.
    static const QRegularExpression kExtension(QStringLiteral("^X-[A-Za-z0-9-]+$"));
    if (kExtension.match(base).hasMatch())
        return LiftedLine{Into::Property, headOf(base.toUtf8(), types), value, true, true};
    const MemoProperty* property = memoPropertyLabelled(base);
    if (!property || !(v3 ? property->inV3 : property->inV4)) return std::nullopt;
    const QByteArray name = headOf(property->property, types);
    switch (property->value) {
    case MemoValue::Date:
        return dateLine(name, value, v3);
    case MemoValue::List:
        return LiftedLine{Into::Property, name, value, true};
    case MemoValue::Text:
        // 4.0's RELATED is a link unless it says otherwise.
        if (!v3 && base == QLatin1String("Related")) return LiftedLine{Into::Property, name + ";VALUE=text", value};
        return LiftedLine{Into::Property, name, value};
    case MemoValue::Uri:
        return LiftedLine{Into::Property, name, value};
    }
    return std::nullopt;
}

} // namespace

MemoLines::MemoLines(const QString& memo, bool v3) : memo_(memo)
{
    // From the end, a line at a time: most memos end in a line of their own,
    // and are not split at all.
    qsizetype end = memo.size();
    while (end >= 0 && !memo.isEmpty()) {
        const qsizetype start = memo.lastIndexOf(QLatin1Char('\n'), end - 1) + 1;
        const QStringView line = QStringView(memo).sliced(start, end - start);
        if (!line.contains(QLatin1String(": "))) break;
        std::optional<LiftedLine> lifted = liftedOf(line.toString(), v3);
        if (!lifted) break;
        lifted_.insert(lifted_.begin(), std::move(*lifted));
        starts_.insert(starts_.begin(), start);
        if (start == 0) break;
        end = start - 1;
    }
}

QString MemoLines::noteWithout(qsizetype count) const
{
    if (count == 0) return memo_;
    const qsizetype start = starts_[starts_.size() - static_cast<size_t>(count)];
    return start == 0 ? QString() : memo_.first(start - 1);
}

std::vector<LiftedLine> MemoLines::lastLines(qsizetype count) const
{
    return {lifted_.end() - count, lifted_.end()};
}

} // namespace kestrix::vcard
