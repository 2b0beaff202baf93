// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "RunChildren.h"

#include "BenchPlatform.h"

#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "editor/Form4.h"
#include "exchange/ContactImport.h"
#include "search/Form14.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kestrix::bench {

namespace {

// The process's own peak resident memory. Not getrusage's ru_maxrss, which
// a child inherits from the parent it was forked from.
long peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

int scanPeak(const QString& dir)
{
    Module1 module(dir);
    long cards = 0;
    (void)module.ScanCards(true, [&cards](const StoredCard&, const QString&) {
        ++cards;
        return Module1::ScanStep::Next;
    });
    std::printf("%ld %ld\n", peakKiB(), cards);
    return 0;
}

// What main() does, up to the window shown.
int startUp(int argc, char** argv, const QString& dir)
{
    QApplication app(argc, argv);
    Module1 module(dir);
    BenchPlatform platform;
    Form4 form(module, platform);
    form.show();
    QApplication::processEvents();
    return form.isVisible() ? 0 : 1;
}

// The editor shown, then Search pressed: how far opening the search window,
// its list filled, raises the process's peak memory. Prints the peak before
// and after, in KiB, and the entries listed.
int searchPeak(int argc, char** argv, const QString& dir)
{
    QApplication app(argc, argv);
    Module1 module(dir);
    BenchPlatform platform;
    Form4 form(module, platform);
    form.show();
    QApplication::setActiveWindow(&form);
    QApplication::processEvents();
    const long before = peakKiB();
    form.Command5->click();
    QElapsedTimer waited;
    waited.start();
    Form14* search = nullptr;
    while (!(search && search->Combo1->hasFocus()) && waited.elapsed() < 60000) {
        QApplication::processEvents();
        search = form.findChild<Form14*>();
    }
    if (!search || !search->Combo1->hasFocus()) return 1;
    std::printf("%ld %ld %d\n", before, peakKiB(), search->Combo1->count());
    return 0;
}

// Imports `file` into the card file of `dir`: prints the peak in KiB, the
// cards stored and the reports. Each contact is checked against the cards
// stored, as an import does by default.
int importPeak(const QString& dir, const QString& file)
{
    Module1 module(dir);
    const ImportOutcome outcome = importContacts(module, QFile::encodeName(file), std::nullopt);
    std::printf("%ld %lld %lld\n", peakKiB(), static_cast<long long>(outcome.stored),
                static_cast<long long>(outcome.issues.size()) + static_cast<long long>(outcome.moreIssues));
    return outcome.status.ok() ? 0 : 1;
}

QString emptyDir(const QString& dataDir)
{
    const QString dir = dataDir + QStringLiteral("/work-0");
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QFile(dir + QStringLiteral("/kest1.dat")).open(QIODevice::WriteOnly);
    return dir;
}

QString cardsDir(const QString& dataDir, int cards)
{
    const QString dir = dataDir + QStringLiteral("/work-%1").arg(cards);
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QFile::copy(dataDir + QStringLiteral("/cards-%1.dat").arg(cards), dir + QStringLiteral("/kest1.dat"));
    return dir;
}

// Peak resident KiB of a child scanning `dir`.
long childScanPeak(const char* program, const QString& dir)
{
    QProcess child;
    child.start(QString::fromLocal8Bit(program), {QStringLiteral("--scan-peak=") + dir});
    if (!child.waitForFinished(600000) || child.exitCode() != 0) return -1;
    return child.readAllStandardOutput().split(' ').value(0).trimmed().toLong();
}

// Peak resident KiB a child adds by opening the search window over `dir`.
long childSearchPeakAdded(const char* program, const QString& dir)
{
    QProcess child;
    child.start(QString::fromLocal8Bit(program), {QStringLiteral("--search-peak=") + dir});
    if (!child.waitForFinished(600000) || child.exitCode() != 0) return -1;
    const QList<QByteArray> numbers = child.readAllStandardOutput().trimmed().split(' ');
    return numbers.size() == 3 ? numbers[1].toLong() - numbers[0].toLong() : -1;
}

// Peak resident KiB, cards stored and reports of a child importing `file`.
std::vector<long long> childImport(const char* program, const QString& dir, const QString& file)
{
    QProcess child;
    child.start(QString::fromLocal8Bit(program), {QStringLiteral("--import-peak=") + dir + QLatin1Char(',') + file});
    if (!child.waitForFinished(600000) || child.exitCode() != 0) return {};
    std::vector<long long> numbers;
    for (const QByteArray& number : child.readAllStandardOutput().trimmed().split(' '))
        numbers.push_back(number.toLongLong());
    return numbers.size() == 3 ? numbers : std::vector<long long>{};
}

// A vCard whose one note holds 200 MB: more than a card may hold, so it is
// skipped, and never held.
QString hugeNoteFile(const QString& dataDir)
{
    const QString path = dataDir + QStringLiteral("/huge-note.vcf");
    if (QFile::exists(path)) return path;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Huge Note\r\nNOTE:");
    const QByteArray chunk(1024 * 1024, 'x');
    for (int i = 0; i < 200; ++i) file.write(chunk);
    file.write("\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:After It\r\nEND:VCARD\r\n");
    return path;
}

double childStartUpMs(const char* program, const QString& dir)
{
    QProcess child;
    QElapsedTimer timer;
    timer.start();
    child.start(QString::fromLocal8Bit(program), {QStringLiteral("--startup=") + dir});
    if (!child.waitForFinished(600000) || child.exitCode() != 0) return -1;
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int runChildMode(int argc, char** argv, int i)
{
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg.startsWith(QStringLiteral("--scan-peak="))) return scanPeak(arg.mid(12));
    if (arg.startsWith(QStringLiteral("--startup="))) return startUp(argc, argv, arg.mid(10));
    if (arg.startsWith(QStringLiteral("--search-peak="))) return searchPeak(argc, argv, arg.mid(14));
    if (arg.startsWith(QStringLiteral("--import-peak="))) {
        const QString dirAndFile = arg.mid(14);
        const qsizetype comma = dirAndFile.indexOf(QLatin1Char(','));
        return importPeak(dirAndFile.left(comma), dirAndFile.mid(comma + 1));
    }
    return -1;
}

QString childMeasurements(const char* program, const QString& dataDir, const std::vector<int>& sizes)
{
    QString rows = QStringLiteral("\n| Measured in a process of its own | Cards | Result |\n|---|---:|---:|\n");
    const long emptyPeak = childScanPeak(program, emptyDir(dataDir));
    for (int cards : sizes) {
        const long peak = childScanPeak(program, cardsDir(dataDir, cards));
        rows += QStringLiteral("| scan peak memory above an empty file's (%1 KiB) | %2 | %3 MiB |\n")
                    .arg(emptyPeak)
                    .arg(QLocale::c().toString(cards))
                    .arg(static_cast<double>(peak - emptyPeak) / 1024.0, 0, 'f', 1);
    }
    for (int cards : sizes) {
        const long added = childSearchPeakAdded(program, cardsDir(dataDir, cards));
        rows += QStringLiteral("| peak memory added by opening the search window | %1 | %2 |\n")
                    .arg(QLocale::c().toString(cards))
                    .arg(added < 0 ? QStringLiteral("failed")
                                   : QStringLiteral("%1 MiB").arg(static_cast<double>(added) / 1024.0, 0, 'f', 1));
    }
    // The contacts files the import rows of the table read, generated there.
    for (int cards : sizes) {
        for (const char* extension : {"vcf", "csv"}) {
            const QString file =
                dataDir + QStringLiteral("/new-contacts-%1.%2").arg(cards).arg(QLatin1String(extension));
            if (!QFile::exists(file)) continue;
            const std::vector<long long> got = childImport(program, cardsDir(dataDir, cards), file);
            rows += QStringLiteral("| import peak memory of the process, %1 of %2 MB, into as many cards | %3 | %4 |\n")
                        .arg(QLatin1String(extension),
                             QString::number(static_cast<double>(QFileInfo(file).size()) / 1e6, 'f', 1))
                        .arg(QLocale::c().toString(cards))
                        .arg(got.empty() || got[1] != cards
                                 ? QStringLiteral("failed")
                                 : QStringLiteral("%1 MiB").arg(static_cast<double>(got[0]) / 1024.0, 0, 'f', 1));
        }
    }
    if (const QString huge = hugeNoteFile(dataDir); !huge.isEmpty()) {
        const std::vector<long long> got = childImport(program, emptyDir(dataDir), huge);
        rows += QStringLiteral(
                    "| import peak memory of the process, a vCard with a 200 MB note (skipped, named) and one more "
                    "| 2 | %1 |\n")
                    .arg(got.empty() || got[1] != 1 || got[2] < 1
                             ? QStringLiteral("failed")
                             : QStringLiteral("%1 MiB").arg(static_cast<double>(got[0]) / 1024.0, 0, 'f', 1));
    }
    for (int cards : sizes) {
        if (cards > 100000) continue;
        std::vector<double> empty, full;
        const QString emptyFolder = emptyDir(dataDir), fullFolder = cardsDir(dataDir, cards);
        // One start of each first, so both run with a warm page cache.
        childStartUpMs(program, emptyFolder);
        childStartUpMs(program, fullFolder);
        for (int run = 0; run < 11; ++run) {
            empty.push_back(childStartUpMs(program, emptyFolder));
            full.push_back(childStartUpMs(program, fullFolder));
        }
        rows += QStringLiteral("| start-up to the window shown: empty file %1 ms, full file %2 ms (medians of 11) | %3 "
                               "| %4 ms slower |\n")
                    .arg(median(empty), 0, 'f', 1)
                    .arg(median(full), 0, 'f', 1)
                    .arg(QLocale::c().toString(cards))
                    .arg(median(full) - median(empty), 0, 'f', 1);
    }
    return rows;
}

} // namespace kestrix::bench
