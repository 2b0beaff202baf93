// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardMerge.h"

#include "RawVCard.h"
#include "VCardReader.h"
#include "vcard/VCardWriter.h"

#include <QSet>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace kestrix {

namespace {

using Properties = std::vector<RawProperty>;

QByteArray joined(const Properties& properties, const std::vector<bool>& left = {})
{
    QByteArray bytes;
    for (size_t i = 0; i < properties.size(); ++i)
        if (left.empty() || !left[i]) bytes += properties[i].bytes;
    return bytes;
}

std::optional<CardRecord> imported(QByteArrayView vcard)
{
    ImportResult result = readVCards(vcard);
    if (result.cards.size() != 1) return std::nullopt;
    return result.cards.front();
}

bool sameBoxes(const CardRecord& a, const CardRecord& b, bool withMemo)
{
    for (int i = 0; i < kFieldCount - 1; ++i)
        if (a[i] != b[i] && (withMemo || i != indexOf(Field::MEMO))) return false;
    return true;
}

// The properties whose values fill a box, and for each TEL, EMAIL and ADR
// the boxes it fills: those that read otherwise without it. Which they are
// is the import's own choice, asked of the import rather than told again.
struct BoxProperties {
    std::vector<bool> box;
    std::vector<unsigned> fills; // a bit a field
};

BoxProperties boxProperties(const Properties& properties, const CardRecord& serverCard)
{
    BoxProperties found{std::vector<bool>(properties.size()), std::vector<unsigned>(properties.size())};
    QSet<QByteArray> firstTaken;
    for (size_t i = 0; i < properties.size(); ++i) {
        const QByteArray& name = properties[i].name;
        if (name == "FN" || name == "N" || name == "ORG" || name == "NOTE") {
            found.box[i] = !firstTaken.contains(name);
            firstTaken.insert(name);
        } else if (name == "KIND" || name == "X-ABSHOWAS") {
            found.box[i] = true;
        } else if (name == "TEL" || name == "EMAIL" || name == "ADR") {
            std::vector<bool> without(properties.size());
            without[i] = true;
            const std::optional<CardRecord> card = imported(joined(properties, without));
            for (int f = 0; f < kFieldCount - 1; ++f)
                if (f != indexOf(Field::MEMO) && (!card || (*card)[f] != serverCard[f])) found.fills[i] |= 1u << f;
            found.box[i] = found.fills[i] != 0;
        }
    }
    return found;
}

// The memo less the lines the kept properties give it, found from its end;
// nothing where the memo no longer holds them all. A CR before a line
// break is the break's, not the line's.
std::optional<QString> memoWithout(const QString& memo, const QStringList& kept)
{
    if (kept.isEmpty()) return memo;
    QStringList lines = memo.split(QLatin1Char('\n'));
    const auto bare = [](QStringView line) { return line.endsWith(u'\r') ? line.chopped(1) : line; };
    qsizetype at = lines.size();
    for (qsizetype k = kept.size() - 1; k >= 0; --k) {
        while (at > 0 && bare(lines[at - 1]) != bare(kept[k])) --at;
        if (at == 0) return std::nullopt;
        lines.removeAt(--at);
    }
    return lines.join(QLatin1Char('\n'));
}

// The lines of the server's memo that its kept properties give, and which
// properties give them: those the memo lacks when the property is left out.
struct KeptMemo {
    QStringList lines;
    std::vector<bool> givers;
};

// Which of `all` are missing from `left`, by the longest common run of
// lines, so that lines a removal adds elsewhere do not count as lost.
std::vector<bool> missingLines(const QStringList& all, const QStringList& left)
{
    const qsizetype n = all.size(), m = left.size();
    std::vector<qsizetype> common(static_cast<size_t>((n + 1) * (m + 1)));
    const auto at = [&](qsizetype i, qsizetype j) -> qsizetype& {
        return common[static_cast<size_t>(i * (m + 1) + j)];
    };
    for (qsizetype i = n - 1; i >= 0; --i)
        for (qsizetype j = m - 1; j >= 0; --j)
            at(i, j) = all[i] == left[j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    std::vector<bool> missing(static_cast<size_t>(n), true);
    for (qsizetype i = 0, j = 0; i < n && j < m;) {
        if (all[i] == left[j]) {
            missing[static_cast<size_t>(i++)] = false;
            ++j;
        } else if (at(i + 1, j) >= at(i, j + 1)) {
            ++i;
        } else {
            ++j;
        }
    }
    return missing;
}

KeptMemo keptMemo(const Properties& properties, const std::vector<bool>& box, const QString& serverMemo)
{
    const QStringList all = serverMemo.split(QLatin1Char('\n'));
    std::vector<bool> given(static_cast<size_t>(all.size()));
    KeptMemo kept{{}, std::vector<bool>(properties.size())};
    for (size_t i = 0; i < properties.size(); ++i) {
        // A group's label names a value; it gives no line of its own.
        const QByteArray& name = properties[i].name;
        if (box[i] || name.isEmpty() || name == "BEGIN" || name == "END" || name == "VERSION" || name == "X-ABLABEL")
            continue;
        std::vector<bool> without(properties.size());
        without[i] = true;
        const std::optional<CardRecord> card = imported(joined(properties, without));
        const QStringList left = card ? (*card)[indexOf(Field::MEMO)].split(QLatin1Char('\n')) : QStringList();
        const std::vector<bool> missing = missingLines(all, left);
        for (size_t k = 0; k < missing.size(); ++k) {
            given[k] = given[k] || missing[k];
            kept.givers[i] = kept.givers[i] || missing[k];
        }
    }
    for (qsizetype k = 0; k < all.size(); ++k)
        if (given[static_cast<size_t>(k)]) kept.lines << all[k];
    return kept;
}

// The export's properties for `card` but its frame, its group named anew so
// that it cannot join one of the server's; its UID only where the server
// has none.
Properties exportedProperties(const CardRecord& card, ExchangeFormat format, const Properties& server)
{
    QSet<QByteArray> groups;
    bool serverUid = false;
    for (const RawProperty& property : server) {
        groups.insert(property.group);
        serverUid = serverUid || property.name == "UID";
    }
    int free = 1;
    while (groups.contains("item" + QByteArray::number(free))) ++free;
    const QByteArray group = "item" + QByteArray::number(free);
    QByteArray bytes;
    appendVCard(bytes, card, format == ExchangeFormat::VCard3 ? format : ExchangeFormat::VCard4);
    Properties exported;
    for (RawProperty& property : rawProperties(bytes)) {
        const QByteArray& name = property.name;
        if (name == "BEGIN" || name == "END" || name == "VERSION" || (name == "UID" && serverUid)) continue;
        if (!property.group.isEmpty()) {
            property.bytes = group + property.bytes.sliced(property.group.size());
            property.group = group;
        }
        exported.push_back(std::move(property));
    }
    return exported;
}

// The server's properties with each box property given way to the
// export's property of its name, in its place; the export's others before
// END. A KIND the export does not write stays. `dropped` are left out;
// `asServer` box properties stand for the export's as the server wrote
// them.
struct Placing {
    std::vector<bool> box, dropped, asServer;
};

QByteArray placed(const Properties& server, const Placing& placing, const Properties& exported)
{
    const std::vector<bool>&box = placing.box, &dropped = placing.dropped;
    std::vector<bool> used(exported.size());
    QByteArray out;
    const auto put = [&](size_t j) {
        for (size_t k = j; k < exported.size(); ++k)
            if (k == j || (!used[k] && !exported[j].group.isEmpty() && exported[k].group == exported[j].group)) {
                out += exported[k].bytes;
                used[k] = true;
            }
    };
    bool ended = false;
    for (size_t i = 0; i < server.size(); ++i) {
        const RawProperty& property = server[i];
        if (property.name == "END" && !ended) {
            ended = true;
            for (size_t j = 0; j < exported.size(); ++j)
                if (!used[j]) put(j);
        }
        if (dropped[i]) continue;
        if (!box[i]) {
            out += property.bytes;
            continue;
        }
        size_t j = 0;
        while (j < exported.size() && (used[j] || exported[j].name != property.name)) ++j;
        if (j < exported.size() && placing.asServer[i]) {
            out += property.bytes;
            used[j] = true;
        } else if (j < exported.size()) {
            put(j);
        } else if (property.name == "KIND" || property.name == "X-ABSHOWAS")
            out += property.bytes;
    }
    return out;
}

// `properties` with the `box` ones given way to the export of `written`,
// its memo less the lines the kept properties give; where that imports as
// `card`.
std::optional<QByteArray> mergedWith(const Properties& properties, const std::vector<bool>& box,
                                     const CardRecord& written, const CardRecord& card, ExchangeFormat format,
                                     const KeptMemo& kept)
{
    const std::optional<QString> note = memoWithout(card[indexOf(Field::MEMO)], kept.lines);
    if (!note) return std::nullopt;
    CardRecord toExport = written;
    toExport[indexOf(Field::MEMO)] = *note;
    const Properties exported = exportedProperties(toExport, format, properties);
    const std::vector<bool> none(properties.size());
    Placing placing{box, none, none};
    QByteArray merged = placed(properties, placing, exported);
    const auto readsAsCard = [&](const QByteArray& vcard) {
        const std::optional<CardRecord> back = imported(vcard);
        return back && sameBoxes(*back, card, true);
    };
    if (!readsAsCard(merged)) return std::nullopt;
    // A name, company or note the server wrote as the export would mean it
    // stays in the server's own spelling.
    for (size_t i = 0; i < properties.size(); ++i) {
        const QByteArray& name = properties[i].name;
        if (!box[i] || (name != "FN" && name != "N" && name != "ORG" && name != "NOTE")) continue;
        placing.asServer[i] = true;
        QByteArray candidate = placed(properties, placing, exported);
        if (readsAsCard(candidate))
            merged = std::move(candidate);
        else
            placing.asServer[i] = false;
    }
    return merged;
}

} // namespace

QByteArray mergeCardIntoVCard(QByteArrayView server, const CardRecord& card, ExchangeFormat format)
{
    const std::optional<CardRecord> serverCard = imported(server);
    if (serverCard && sameBoxes(*serverCard, card, true)) return server.toByteArray();
    const Properties properties = rawProperties(server);
    QByteArray exportOnly;
    appendVCard(exportOnly, card, format == ExchangeFormat::VCard3 ? format : ExchangeFormat::VCard4);
    if (!serverCard) return exportOnly;

    const QString& serverMemo = (*serverCard)[indexOf(Field::MEMO)];
    const BoxProperties boxes = boxProperties(properties, *serverCard);
    // A number or address whose boxes the card left as they were stays as
    // the server wrote it, with its types and label; the export leaves
    // those boxes out.
    std::vector<bool> changedBox = boxes.box;
    CardRecord written = card;
    for (size_t i = 0; i < properties.size(); ++i) {
        bool same = boxes.fills[i] != 0;
        for (int f = 0; f < kFieldCount - 1; ++f)
            if (boxes.fills[i] & (1u << f)) same = same && card[f] == (*serverCard)[f];
        if (!same) continue;
        changedBox[i] = false;
        for (int f = 0; f < kFieldCount - 1; ++f)
            if (boxes.fills[i] & (1u << f)) written[f].clear();
    }
    if (changedBox != boxes.box)
        if (auto merged =
                mergedWith(properties, changedBox, written, card, format, keptMemo(properties, changedBox, serverMemo)))
            return *merged;
    const KeptMemo kept = keptMemo(properties, boxes.box, serverMemo);
    if (auto merged = mergedWith(properties, boxes.box, card, card, format, kept)) return *merged;
    // The memo's kept lines changed: their properties give way to what
    // the export makes of the memo.
    const std::vector<bool> none(properties.size());
    QByteArray merged =
        placed(properties, {boxes.box, kept.givers, none}, exportedProperties(card, format, properties));
    const std::optional<CardRecord> back = imported(merged);
    return back && sameBoxes(*back, card, true) ? merged : exportOnly;
}

} // namespace kestrix
