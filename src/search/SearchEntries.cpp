#include "SearchEntries.h"

#include <algorithm>

namespace kestrix {

QString searchEntry(const QString& recordNumber, const QString& contact)
{
    return recordNumber + QLatin1String("  ") + contact;
}

void sortSearchEntries(QStringList& entries)
{
    std::sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
}

} // namespace kestrix
