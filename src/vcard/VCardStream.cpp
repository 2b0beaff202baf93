// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardStream.h"

#include "VCardContact.h"

#include <algorithm>

namespace kestrix {

using vcard::Version;

namespace {

// The properties that name a card too large in its report; the first of
// each is kept.
enum NameProperty : unsigned { FullName = 1u << 0, NameParts = 1u << 1, Organization = 1u << 2 };

bool isVersionLine(QByteArrayView line, Version& version)
{
    if (line.size() <= 8 || line.first(8).compare("VERSION:", Qt::CaseInsensitive) != 0) return false;
    const QByteArrayView value = line.sliced(8).trimmed();
    version = value == "2.1" ? Version::V21 : value.startsWith("4") ? Version::V40 : Version::V30;
    return true;
}

ContentKind kindOf(QByteArrayView version)
{
    version = version.trimmed();
    if (version == "2.1") return ContentKind::VCard21;
    if (version.startsWith("4")) return ContentKind::VCard4;
    return ContentKind::VCard3;
}

// 2.1 embeds a card in another as the value of an AGENT left empty.
bool isEmptyAgent(QByteArrayView line)
{
    line = line.trimmed();
    if (!line.endsWith(':')) return false;
    VCardProperty property;
    return parseContentLine(line, property) && property.is("AGENT") && property.value.isEmpty();
}

// Binary data says so in a parameter ("B", "BASE64"), or is a data: URI;
// most lines are neither, and need not be parsed or looked up.
bool mayBeBinary(QByteArrayView lineStart)
{
    if (lineStart.contains(';')) return true;
    const QByteArrayView value = lineStart.sliced(lineStart.indexOf(':') + 1);
    return value.size() >= 5 && value.first(5).compare("data:", Qt::CaseInsensitive) == 0;
}

bool mayBeBinary(const VCardProperty& property)
{
    if (property.value.size() >= 5 && property.value.first(5).compare("data:", Qt::CaseInsensitive) == 0) return true;
    return std::any_of(property.parameters.begin(), property.parameters.end(), [](const VCardParameter& parameter) {
        return parameter.value.contains('b') || parameter.value.contains('B');
    });
}

} // namespace

std::optional<ContentKind> leadingVCardVersionIn(TextInput& input, bool begun)
{
    // Nothing: the content starts with no vCard.
    using Found = std::optional<ContentKind>;
    return decideOnStart<Found>(input, [begun](QByteArrayView text, bool whole, Found& found) {
        TextInput look(text);
        VCardLineReader reader(look);
        reader.setLimit(kLineStartBytes);
        VCardLine line;
        QByteArray buffer;
        bool inCard = begun;
        for (;;) {
            buffer.resize(0);
            if (!reader.next(buffer, line)) break;
            // A line at the end of what is buffered may go on past it.
            if (!whole && look.buffered().isEmpty()) return false;
            const QByteArrayView bytes = line.cut ? QByteArrayView() : line.in(buffer);
            if (!inCard) {
                if (!line.cut && bytes.trimmed().isEmpty()) continue;
                if (!isBeginVCard(bytes)) return true;
                inCard = true;
                continue;
            }
            VCardProperty property;
            if (isEndVCard(bytes)) {
                found = ContentKind::VCard21; // as below
                return true;
            }
            if (parseContentLine(bytes, property) && property.is("VERSION")) {
                found = kindOf(property.value);
                return true;
            }
        }
        if (!whole) return false;
        // No VERSION: 3.0 and 4.0 demand one, so the card is most like 2.1's.
        if (inCard) found = ContentKind::VCard21;
        return true;
    });
}

VCardCards::VCardCards(TextInput& input) : lines_(input)
{
    lines_.setValueFilter([this](QByteArrayView lineStart) {
        VCardProperty property;
        return inCard_ && mayBeBinary(lineStart) && parseContentLine(lineStart, property) && mayBeBinary(property)
            && vcard::isBinaryValue(heads_.of(property), property.value);
    });
}

bool VCardCards::findFirstCard()
{
    lines_.setLimit(kLineStartBytes);
    for (;;) {
        scratch_.resize(0);
        if (!lines_.next(scratch_, line_)) return false;
        if (!line_.cut && isBeginVCard(line_.in(scratch_))) {
            startCard();
            return true;
        }
    }
}

bool VCardCards::next(CardRecord& card, std::vector<ImportIssue>& issues)
{
    for (;;) {
        // The card's lines are read straight into what holds them.
        const bool holding = inCard_ && depth_ == 1 && !tooLarge_;
        lines_.setLimit(holding ? kLargestCardBytes - cardBytes_ + 1 : kLineStartBytes);
        QByteArray& into = holding ? held_ : scratch_;
        scratch_.resize(0);
        if (!lines_.next(into, line_)) {
            if (!inCard_) return false;
            inCard_ = false;
            return finishCard(Ending::ContentEnds, card, issues);
        }
        const bool whole = !line_.cut;
        const QByteArrayView bytes = line_.in(into);
        if (!inCard_) {
            if (whole && isBeginVCard(bytes)) startCard();
            continue;
        }
        if (whole && isBeginVCard(bytes)) {
            into.truncate(line_.start);
            if (agentBefore_) {
                ++depth_;
                embedded_ = true;
                agentBefore_ = false;
                continue;
            }
            // The card before has no END:VCARD; the cards after it stay whole.
            const bool taken = finishCard(Ending::NextBegins, card, issues);
            startCard();
            if (taken) return true;
            continue;
        }
        agentBefore_ = whole && isEmptyAgent(bytes);
        if (whole && isEndVCard(bytes)) {
            into.truncate(line_.start);
            if (--depth_ > 0) continue;
            inCard_ = false;
            if (finishCard(Ending::End, card, issues)) return true;
            continue;
        }
        takeLine(bytes, whole);
    }
}

void VCardCards::startCard()
{
    inCard_ = true;
    depth_ = 1;
    ++position_;
    agentBefore_ = embedded_ = tooLarge_ = false;
    version_ = Version::V30;
    lines_.setKeepFoldingBlank(false);
    cardBytes_ = cardLines_ = 0;
    held_.resize(0);
    nameLines_.resize(0);
    namesKept_ = 0;
}

// `line` is the end of held_ when the card is held, and stays there.
void VCardCards::takeLine(QByteArrayView line, bool whole)
{
    cardBytes_ += line_.size;
    ++cardLines_;
    if (depth_ > 1) return; // an embedded card's lines are not taken
    if (whole && isVersionLine(line, version_)) lines_.setKeepFoldingBlank(version_ == Version::V21);
    if (!tooLarge_ && (cardBytes_ > kLargestCardBytes || cardLines_ > kMostCardFields)) {
        becomeTooLarge(whole);
        return;
    }
    if (tooLarge_) {
        if (whole) keepForName(line);
        return;
    }
    if (!line.isEmpty()) held_.append('\n');
}

// From here on the card is only counted; what names it is kept for the
// report.
void VCardCards::becomeTooLarge(bool lastWhole)
{
    tooLarge_ = true;
    const QByteArrayView held(held_);
    for (QByteArrayView lines = held.first(line_.start); !lines.isEmpty();) {
        const qsizetype lineFeed = lines.indexOf('\n');
        keepForName(lines.first(lineFeed));
        lines = lines.sliced(lineFeed + 1);
    }
    if (lastWhole) keepForName(held.sliced(line_.start));
    held_ = QByteArray();
}

void VCardCards::keepForName(QByteArrayView line)
{
    if (line.size() > kLineStartBytes) return;
    VCardProperty property;
    if (!parseContentLine(line, property)) return;
    const unsigned kind = property.is("FN") ? FullName
        : property.is("N")                  ? NameParts
        : property.is("ORG")                ? Organization
                                            : 0u;
    if (kind == 0 || (namesKept_ & kind) != 0) return;
    namesKept_ |= kind;
    nameLines_.append(line);
    nameLines_.append('\n');
}

bool VCardCards::finishCard(Ending ending, CardRecord& card, std::vector<ImportIssue>& issues)
{
    std::vector<QString> reasons;
    if (ending == Ending::ContentEnds)
        reasons.push_back(QStringLiteral("the file ends before the card does (no END:VCARD)"));
    if (ending == Ending::NextBegins)
        reasons.push_back(QStringLiteral("it has no END:VCARD: it ends where the next card begins"));
    if (embedded_) reasons.push_back(QStringLiteral("a vCard embedded in this one not imported"));
    QStringList notUtf8;
    if (tooLarge_) {
        std::vector<QString> unused;
        const ContactData named = vcard::readContact(version_, nameLines_, heads_, unused, notUtf8);
        reasons.insert(reasons.begin(),
                       cardBytes_ > kLargestCardBytes ? tooLargeReason(cardBytes_) : tooManyFieldsReason(cardLines_));
        reportSkipped(named, position_, std::move(reasons), issues);
        return false;
    }
    const ContactData contact = vcard::readContact(version_, held_, heads_, reasons, notUtf8);
    return fitCard(contact, position_, std::move(reasons), notUtf8, card, issues);
}

} // namespace kestrix
