// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ContactReader.h"

#include "contacts/CardStream.h"
#include "contacts/InputBytes.h"
#include "csv/CsvStream.h"
#include "vcard/VCardStream.h"

#include <algorithm>
#include <utility>

namespace kestrix {

struct ContactReader::State {
    explicit State(ByteSource source) : input(std::move(source)) {}

    TextInput input;
    bool recognised = false;
    QString reason;
    ContentKind kind = ContentKind::NotContacts;
    // One of these reads the cards, in the same allocation as the rest.
    std::optional<VCardCards> vcards;
    std::optional<CsvCards> csv;
    CardStream* cards = nullptr;
    std::vector<ImportIssue> issues;
};

namespace {

// The start of the content, buffered and not taken, is all of it.
bool isEmpty(TextInput& input)
{
    return input.ended() && input.buffered().trimmed().isEmpty();
}

// What the start of the content is, told as detectContent tells it unless
// `format` names it. A vCard file named so may start with anything; it is
// not looked at further here.
struct Start {
    ContentDetection detection;
    std::optional<char> separator; // of CSV
};

Start startOf(TextInput& input, std::optional<ExchangeFormat> format)
{
    const bool csv = format == ExchangeFormat::Csv;
    Start start;
    if (!csv)
        if (const std::optional<ContentKind> version = leadingVCardVersionIn(input, false)) {
            start.detection.kind = *version;
            return start;
        }
    if (format && !csv) return start;
    start.separator = csvSeparatorIn(input);
    if (start.separator) {
        start.detection.kind = ContentKind::Csv;
    } else if (csv) {
        start.detection.reason =
            isEmpty(input) ? QStringLiteral("is empty") : QStringLiteral("its first line names no contact columns");
    } else if (isEmpty(input)) {
        start.detection.reason = QStringLiteral("the file is empty");
    } else if (const QByteArrayView text = input.buffered();
               text.first(std::min<qsizetype>(text.size(), 4096)).contains('\0')) {
        start.detection.reason = QStringLiteral("the file is not text");
    } else {
        start.detection.reason =
            QStringLiteral("the file holds neither vCards (BEGIN:VCARD) nor a CSV header row naming contact columns");
    }
    return start;
}

} // namespace

ContentDetection detectContent(QByteArrayView bytes)
{
    TextInput input(sourceOf(bytes));
    return startOf(input, std::nullopt).detection;
}

ContactReader::ContactReader(ByteSource source, std::optional<ExchangeFormat> format)
    : state_(std::make_unique<State>(std::move(source)))
{
    State& state = *state_;
    TextInput& input = state.input;
    const Start start = startOf(input, format);
    state.kind = start.detection.kind;
    state.reason = start.detection.reason;
    if (start.separator) {
        state.cards = &state.csv.emplace(input, *start.separator);
    } else if (state.kind != ContentKind::NotContacts) {
        state.cards = &state.vcards.emplace(input);
    } else if (format && format != ExchangeFormat::Csv) {
        // Named vCards may start after anything at all.
        if (state.vcards.emplace(input).findFirstCard()) {
            state.kind = leadingVCardVersionIn(input, true).value_or(ContentKind::VCard21);
            state.cards = &*state.vcards;
        } else {
            state.reason = QStringLiteral("holds no vCard (no BEGIN:VCARD line)");
        }
    }
    if (input.failed()) {
        state.cards = nullptr;
        state.kind = ContentKind::NotContacts;
        state.reason = QStringLiteral("it could not be read");
    }
    state.recognised = state.cards != nullptr;
}

ContactReader::~ContactReader() = default;

bool ContactReader::recognised() const
{
    return state_->recognised;
}

const QString& ContactReader::reason() const
{
    return state_->reason;
}

ContentKind ContactReader::kind() const
{
    return state_->kind;
}

bool ContactReader::next(CardRecord& card)
{
    State& state = *state_;
    if (!state.cards) return false;
    const auto before = static_cast<std::ptrdiff_t>(state.issues.size());
    const bool got = state.cards->next(card, state.issues);
    if (state.input.failed()) {
        // The content ended where the source failed: what was read last is
        // no card, and its report no finding.
        state.issues.erase(state.issues.begin() + before, state.issues.end());
        state.cards = nullptr;
        return false;
    }
    return got;
}

std::vector<ImportIssue> ContactReader::takeIssues()
{
    return std::exchange(state_->issues, {});
}

qint64 ContactReader::consumed() const
{
    return state_->input.consumed();
}

bool ContactReader::sourceFailed() const
{
    return state_->input.failed();
}

ImportResult readWhole(QByteArrayView bytes, std::optional<ExchangeFormat> format)
{
    ContactReader reader(sourceOf(bytes), format);
    ImportResult result;
    result.recognised = reader.recognised();
    result.reason = reader.reason();
    result.kind = reader.kind();
    auto takeIssues = [&] {
        for (ImportIssue& issue : reader.takeIssues()) result.issues.push_back(std::move(issue));
    };
    CardRecord card;
    while (reader.next(card)) {
        result.cards.push_back(std::move(card));
        takeIssues();
    }
    takeIssues();
    return result;
}

} // namespace kestrix
