#include "StoredCard.h"

#include "ItemReader.h"
#include "TextEncoding.h"

namespace kestrix {

bool StoredCard::readFrom(ItemReader& reader)
{
    bytes_.clear();
    count_ = 0;
    bounds_[0] = 0;
    while (count_ < kFieldCount && reader.readItem(bytes_)) bounds_[++count_] = bytes_.size();
    for (int i = count_; i < kFieldCount; ++i) bounds_[i + 1] = bytes_.size();
    return count_ > 0;
}

QByteArrayView StoredCard::raw(Field field) const
{
    const int i = indexOf(field);
    return QByteArrayView(bytes_.constData() + bounds_[i], bounds_[i + 1] - bounds_[i]);
}

QString StoredCard::text(Field field) const
{
    return decodeItem(raw(field));
}

void StoredCard::appendLineTo(QByteArray& out) const
{
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0) out.append(',');
        const QByteArrayView item = raw(static_cast<Field>(i));
        // Only an unquoted item of a hand-edited file can hold a double quote;
        // it stays unquoted, as it was, so the quote cannot end it early.
        const bool quoted = !item.contains('"');
        if (quoted) out.append('"');
        out.append(item);
        if (quoted) out.append('"');
    }
    out.append("\r\n");
}

} // namespace kestrix
