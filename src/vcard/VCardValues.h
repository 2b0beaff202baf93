// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "VCardLines.h"
#include "contacts/ContactData.h"
#include "contacts/MemoProperties.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QVarLengthArray>

#include <array>
#include <memory>
#include <optional>
#include <vector>

// What a vCard property's name and parameters say, and its value as text.
namespace kestrix::vcard {

enum class Version { V21, V30, V40 };

// The TYPE values the mapping looks at.
enum TypeBit : unsigned {
    Work = 1u << 0,
    Home = 1u << 1,
    Cell = 1u << 2,
    Fax = 1u << 3,
    Pref = 1u << 4,
    SpecialPhone = 1u << 5, // pager, car, video and the like: no box of their own
};

enum class PropertyKind {
    Structural,
    GroupLabel,
    FullName,
    Name,
    Organization,
    Address,
    Phone,
    Email,
    Note,
    Kind,
    Other
};

// What a property's name and parameters say. Cards written by one program
// repeat the same few, so the reader works each out once (see HeadCache).
struct PropertyHead {
    PropertyKind kind = PropertyKind::Other;
    unsigned typeBits = 0;
    int prefRank = kNoPreference;
    bool quotedPrintable = false;
    bool binary = false;
    bool takesUri = false;  // a photo, logo, sound or key: may be a data: URI
    bool valueUri = false;  // VALUE=uri
    bool valueText = false; // VALUE=text
    // For a CHARSET other than UTF-8 that the toolkit knows; made once, as
    // the toolkit looks the name up anew for each.
    std::shared_ptr<QStringDecoder> decoder;
    std::vector<int> carriageReturns;   // which line breaks stand for a lone CR, from 1, in order
    std::optional<MemoValue> memoValue; // for a property without a box: what its value holds
    std::optional<int> omittedYear;     // X-APPLE-OMIT-YEAR: the year a date was given for none
    QString label;                      // the memo's label, as in "Phone (home, fax)"
    QString upperName;                  // the name as a report gives it
};

// The heads met so far, by their bytes (name and parameters). Bounded, so
// a file of ever-new parameters cannot grow it without end.
class HeadCache {
public:
    const PropertyHead& of(const VCardProperty& property);

private:
    // The few heads met last, looked at before any hashing, which costs
    // more than comparing a few bytes: the lines of a file repeat few heads.
    struct Recent {
        QByteArrayView key; // the table's own, which stays until an insertion
        const PropertyHead* head = nullptr;
    };
    static constexpr std::size_t kRecent = 64;

    QHash<QByteArray, PropertyHead> heads_;
    std::array<Recent, kRecent> recent_;
};

// Whether the value is binary data (a photo, say), which is not imported:
// encoded as such, or a data: URI. Its first few bytes tell.
bool isBinaryValue(const PropertyHead& head, QByteArrayView value);

// The value's text: quoted-printable decoded first, then its CHARSET when
// the toolkit knows it; otherwise UTF-8 when the bytes are valid UTF-8,
// else Windows-1252, and then `notUtf8` is set. A CR LF inside becomes one
// line feed.
QString decodeValue(QByteArrayView raw, const PropertyHead& head, bool& notUtf8);

// Undoes the text escapes: \n and \N (not in 2.1, which has none), \\, \,
// and \;. Splits compound values at unescaped semicolons. A line break its
// writer marked as a lone CR comes back as one; the marks count the line
// breaks of the whole value.
class Unescaper {
public:
    Unescaper(Version version, const std::vector<int>& carriageReturns)
        : version_(version), carriageReturns_(carriageReturns)
    {}

    // Most values hold no escape, and are their own text.
    QString text(const QString& raw);

    // Every component, at least one.
    QStringList components(QStringView raw) { return run(raw, true); }

    // Exactly `count` components, the missing ones empty; any beyond are
    // joined to the last with their semicolons, so nothing is lost.
    QStringList components(QStringView raw, qsizetype count);

private:
    QStringList run(QStringView raw, bool split);

    Version version_;
    const std::vector<int>& carriageReturns_;
    std::size_t nextMark_ = 0; // the first mark not yet passed
    int lineBreaks_ = 0;
};

} // namespace kestrix::vcard
