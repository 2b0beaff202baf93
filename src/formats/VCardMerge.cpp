// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardMerge.h"

#include "RawVCard.h"
#include "VCardReader.h"
#include "vcard/VCardWriter.h"

#include <QSet>
#include <QStringList>

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

// The properties whose values fill a box. A TEL, EMAIL or ADR does where
// the boxes read otherwise without it: the import's own choice, asked of
// the import rather than told again here.
std::vector<bool> boxProperties(const Properties& properties, const CardRecord& serverCard)
{
    std::vector<bool> box(properties.size());
    QSet<QByteArray> firstTaken;
    for (size_t i = 0; i < properties.size(); ++i) {
        const QByteArray& name = properties[i].name;
        if (name == "FN" || name == "N" || name == "ORG" || name == "NOTE") {
            box[i] = !firstTaken.contains(name);
            firstTaken.insert(name);
        } else if (name == "KIND" || name == "X-ABSHOWAS") {
            box[i] = true;
        } else if (name == "TEL" || name == "EMAIL" || name == "ADR") {
            std::vector<bool> without(properties.size());
            without[i] = true;
            const std::optional<CardRecord> card = imported(joined(properties, without));
            box[i] = !card || !sameBoxes(*card, serverCard, false);
        }
    }
    return box;
}

// The memo less the lines the kept properties give it, found from its end;
// nothing where the memo no longer holds them all. A CR before a line
// break is the break's, not the line's.
std::optional<QString> memoWithout(const QString& memo, const QString& keptLines)
{
    if (keptLines.isEmpty()) return memo;
    QStringList lines = memo.split(QLatin1Char('\n'));
    const QStringList kept = keptLines.split(QLatin1Char('\n'));
    const auto bare = [](QStringView line) { return line.endsWith(u'\r') ? line.chopped(1) : line; };
    qsizetype at = lines.size();
    for (qsizetype k = kept.size() - 1; k >= 0; --k) {
        while (at > 0 && bare(lines[at - 1]) != bare(kept[k])) --at;
        if (at == 0) return std::nullopt;
        lines.removeAt(--at);
    }
    return lines.join(QLatin1Char('\n'));
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
// END. A KIND the export does not write stays. `dropped` are left out.
QByteArray placed(const Properties& server, const std::vector<bool>& box, const std::vector<bool>& dropped,
                  const Properties& exported)
{
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
        if (j < exported.size())
            put(j);
        else if (property.name == "KIND" || property.name == "X-ABSHOWAS")
            out += property.bytes;
    }
    return out;
}

// The kept properties that give the memo a line: where the user changed
// those lines, they give way to what the export makes of the memo.
std::vector<bool> memoGivers(const Properties& server, const std::vector<bool>& box, const QString& keptMemo)
{
    std::vector<bool> givers(server.size());
    for (size_t i = 0; i < server.size(); ++i) {
        if (box[i] || server[i].name.isEmpty() || server[i].name == "BEGIN" || server[i].name == "END") continue;
        std::vector<bool> without = box;
        without[i] = true;
        const std::optional<CardRecord> card = imported(joined(server, without));
        givers[i] = (card ? (*card)[indexOf(Field::MEMO)] : QString()) != keptMemo;
    }
    return givers;
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

    const std::vector<bool> box = boxProperties(properties, *serverCard);
    const std::optional<CardRecord> keptCard = imported(joined(properties, box));
    const QString keptMemo = keptCard ? (*keptCard)[indexOf(Field::MEMO)] : QString();
    const std::vector<bool> none(properties.size());
    if (const std::optional<QString> note = memoWithout(card[indexOf(Field::MEMO)], keptMemo)) {
        CardRecord written = card;
        written[indexOf(Field::MEMO)] = *note;
        QByteArray merged = placed(properties, box, none, exportedProperties(written, format, properties));
        const std::optional<CardRecord> back = imported(merged);
        if (back && sameBoxes(*back, card, true)) return merged;
    }
    const std::vector<bool> givers = memoGivers(properties, box, keptMemo);
    QByteArray merged = placed(properties, box, givers, exportedProperties(card, format, properties));
    const std::optional<CardRecord> back = imported(merged);
    return back && sameBoxes(*back, card, true) ? merged : exportOnly;
}

} // namespace kestrix
