// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Times the handlers on generated card files of several sizes, next to the
// floors the disk and memory set, and prints a table of medians and ratios.
//
//   kestrix_bench [--sizes=1000,100000,1000000] [--data=DIR] [--table=FILE]
//                 [--no-history-space] [google benchmark flags]
#include "BenchPlatform.h"
#include "CardFileGenerator.h"
#include "Floors.h"
#include "RunChildren.h"
#include "SharedBlocksDisk.h"

#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "editor/Form4.h"
#include "exchange/CardTransfer.h"
#include "exchange/ContactImport.h"
#include "formats/CardExchange.h"
#include "search/Form14.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>

using namespace kestrix;
using namespace kestrix::bench;

namespace {

QString gDataDir;
// Where the timed handlers work: the data folder, or a disk that shares blocks.
QString gWorkRoot;

QString sourceFile(int cards)
{
    return gDataDir + QStringLiteral("/cards-%1.dat").arg(cards);
}
QString workDir(int cards)
{
    return gWorkRoot + QStringLiteral("/work-%1").arg(cards);
}

// A working folder holding a fresh copy of the generated card file.
QString layCardFile(int cards)
{
    const QString dir = workDir(cards);
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QFile::copy(sourceFile(cards), dir + QStringLiteral("/kest1.dat"));
    return dir;
}

void startUpScan(Module1& module)
{
    (void)module.ScanCards(
        true, [](const StoredCard&, const QString&) { return Module1::ScanStep::Next; },
        Module1::AfterScan::CloseFiles);
}

// One timed press of a button of a freshly loaded editor; `prepare` runs
// first, untimed. Every handler but Add tells its outcome in a message; Add
// tells it by the number it shows.
void pressOnce(benchmark::State& state, int cards, QToolButton* Form4::*button,
               const std::function<void(Form4&, int press)>& prepare, bool recorded = true)
{
    static int presses = 0;
    const int repetition = presses++;
    const QString dir = layCardFile(cards);
    QFile counter(dir + QStringLiteral("/kestrec.rec"));
    if (!counter.open(QIODevice::WriteOnly) || counter.write("\"9999999\"\r\n") < 0) {
        state.SkipWithError("cannot write the counter file");
        return;
    }
    counter.close();
    Module1 module(dir);
    module.recordChanges(recorded);
    BenchPlatform platform;
    Form4 form(module, platform);
    prepare(form, repetition);
    for (auto _ : state) (form.*button)->click();
    const bool added = button == &Form4::Command4 && form.fieldText(Field::RecordNumber) == QStringLiteral("10000000");
    if (platform.messages == 0 && !added) state.SkipWithError("the handler showed no outcome");
}

QString contactsFile(int cards, const char* extension)
{
    return gDataDir + QStringLiteral("/new-contacts-%1.%2").arg(cards).arg(QLatin1String(extension));
}

// The generated cards in another program's format, written once and kept.
bool layContactsFile(int cards, ExchangeFormat format, const char* extension)
{
    const QString file = contactsFile(cards, extension);
    if (QFile::exists(file)) return true;
    // The card file's cards with each company changed: contacts it does not
    // hold yet, so an import checks every one and adds every one.
    const QString dir = layCardFile(cards);
    QFile stored(dir + QStringLiteral("/kest1.dat"));
    if (!stored.open(QIODevice::ReadWrite)) return false;
    QByteArray bytes = stored.readAll();
    bytes.replace("\n\"", "\n\"~");
    if (bytes.startsWith('"')) bytes.insert(1, '~');
    if (!stored.resize(0) || stored.write(bytes) != bytes.size()) return false;
    stored.close();
    Module1 module(dir);
    return exportCardsToFile(module, QFile::encodeName(file), format).status.ok();
}

// A search window over a freshly laid card file; `run` is timed.
void withSearchWindow(benchmark::State& state, int cards, int expectedLoads,
                      const std::function<void(Form14&)>& prepare, const std::function<void(Form14&)>& run)
{
    Module1 module(layCardFile(cards));
    int loaded = 0;
    BenchPlatform platform;
    QPointer<Form14> window = new Form14(module, platform, [&loaded](const CardRecord&) { ++loaded; });
    prepare(*window);
    for (auto _ : state) run(*window);
    delete window.data();
    if (loaded != expectedLoads) state.SkipWithError("the search window loaded the wrong number of cards");
}

// The window shown with its list filled, as Search leaves it.
void showFilled(Form14& window)
{
    window.show();
    window.Combo1_GotFocus();
    QApplication::processEvents();
}

// Watches a widget for its first paint.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) : widget_(widget) { widget_->installEventFilter(this); }
    ~PaintWatch() override { widget_->removeEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }

private:
    QWidget* widget_;
};

// Drops the list down and waits until it has painted once. False when it did
// not within ten seconds.
bool dropDownPainted(Form14& window)
{
    const PaintWatch watch(window.Combo1->view()->viewport());
    QElapsedTimer waited;
    waited.start();
    window.Combo1->showPopup();
    // The paint runs inside processEvents, so it is over when the flag shows.
    while (!watch.painted && waited.elapsed() < 10000) QApplication::processEvents();
    return watch.painted;
}

// Types `text` into the combo box's text part, a key press a character, as
// the user does.
void typeInto(Form14& window, const QString& text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, c.toUpper().unicode(), Qt::NoModifier, QString(c));
        QApplication::sendEvent(window.Combo1, &press);
    }
}

// Types `key` and waits until the completion popup has painted. False when it
// did not within ten seconds.
bool completionPainted(Form14& window, QChar key)
{
    QElapsedTimer waited;
    waited.start();
    typeInto(window, QString(key));
    // The popup shows, or its list changes, while the key is handled.
    auto* popup = qobject_cast<QAbstractItemView*>(QApplication::activePopupWidget());
    if (!popup) return false;
    const PaintWatch watch(popup->viewport());
    while (!watch.painted && waited.elapsed() < 10000) QApplication::processEvents();
    return watch.painted;
}

// Every card of the card file written in another program's format.
void timeExport(benchmark::State& state, int cards, ExchangeFormat format, const char* extension)
{
    Module1 module(layCardFile(cards));
    const QByteArray file = QFile::encodeName(workDir(cards) + QStringLiteral("/export.") + QLatin1String(extension));
    ExportOutcome outcome;
    for (auto _ : state) outcome = exportCardsToFile(module, file, format);
    if (!outcome.status.ok() || outcome.cards != cards) state.SkipWithError("the export failed");
}

// As many contacts as the card file holds, read from another program's
// format, each checked against the cards stored, and added to the card file
// with fresh numbers.
void timeImport(benchmark::State& state, int cards, ExchangeFormat format, const char* extension)
{
    if (!layContactsFile(cards, format, extension)) {
        state.SkipWithError("cannot write the contacts file");
        return;
    }
    Module1 module(layCardFile(cards));
    ImportOutcome outcome;
    for (auto _ : state) outcome = importContacts(module, QFile::encodeName(contactsFile(cards, extension)), {});
    if (!outcome.status.ok() || outcome.stored != cards) state.SkipWithError("the import failed");
}

// One card of 500 KB in the shapes that once took time growing with the
// square of its length: a name of many words, said again in its parts, and
// a quoted-printable note broken into lines of 76.
QByteArray longCard()
{
    QByteArray words, parts, note;
    for (int i = 0; words.size() < 150 * 1024; ++i) {
        words += "Word" + QByteArray::number(i) + ' ';
        parts += "Word" + QByteArray::number(i) + ',';
    }
    while (note.size() < 200 * 1024) note += QByteArray(75, 'n') + "=\r\n";
    return "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:" + words + "\r\nN:" + parts + "\r\nNOTE;ENCODING=QUOTED-PRINTABLE:" + note
        + "n\r\nEND:VCARD\r\n";
}

void timeLongCard(benchmark::State& state)
{
    const QByteArray card = longCard();
    ImportResult result;
    for (auto _ : state) result = readCards(card);
    if (result.cards.size() != 1) state.SkipWithError("the card was not read");
}

// The space each computer's history takes beside the card file after 100
// changes of one card each (imports), against the card file's own size.
QString historySpace(int cards)
{
    const QString dir = layCardFile(cards);
    Module1 module(dir);
    for (int i = 0; i < 100; ++i) {
        std::vector<CardRecord> one = {generatedCard(i + 1)};
        if (!module.AddCards(one).ok()) return QStringLiteral("The 100 one-card imports failed.\n");
    }
    qint64 history = 0;
    for (const QFileInfo& file :
         QDir(dir).entryInfoList({QStringLiteral(".kest1.dat.history-*")}, QDir::Files | QDir::Hidden))
        history += file.size();
    const qint64 cardFile = QFileInfo(dir + QStringLiteral("/kest1.dat")).size();
    return QStringLiteral("After 100 one-card imports into %1 cards, the history beside the card file takes %2 KiB: "
                          "%3% of the card file's %4 MiB.\n")
        .arg(QLocale::c().toString(cards))
        .arg(history / 1024)
        .arg(100.0 * double(history) / double(cardFile), 0, 'f', 3)
        .arg(cardFile / (1024 * 1024));
}

// What a change's record adds to the change, where both were timed.
QString recordCost(const std::vector<int>& sizes, const std::map<std::string, double>& medians)
{
    QString text;
    for (int cards : sizes)
        for (const char* change : {"Save, append path", "Delete"}) {
            const auto with = medians.find(std::string(change) + "/" + std::to_string(cards));
            const auto without = medians.find(std::string(change) + ", without its record/" + std::to_string(cards));
            if (with == medians.end() || without == medians.end() || without->second <= 0) continue;
            text += QStringLiteral("%1 at %2 cards: %3 ms with its record, %4 ms without: a ratio of %5.\n")
                        .arg(QLatin1String(change), QLocale::c().toString(cards))
                        .arg(with->second, 0, 'f', 2)
                        .arg(without->second, 0, 'f', 2)
                        .arg(with->second / without->second, 0, 'f', 3);
        }
    return text.isEmpty() ? text : QLatin1Char('\n') + text;
}

struct Operation {
    const char* name;
    const char* floor; // empty for the floors themselves
    std::function<void(benchmark::State&, int cards)> run;
    // Exports are timed up to a size people move between programs; the
    // import of a million contacts shows that it streams.
    int largest = std::numeric_limits<int>::max();
};

const std::vector<Operation>& operations()
{
    static const std::vector<Operation> list = {
        {"floor: memchr line ends", "",
         [](benchmark::State& state, int cards) {
             const QString dir = layCardFile(cards);
             for (auto _ : state) benchmark::DoNotOptimize(countLineEnds(dir + QStringLiteral("/kest1.dat")));
         }},
        {"floor: copy + fsync", "",
         [](benchmark::State& state, int cards) {
             const QString dir = layCardFile(cards);
             for (auto _ : state) copyFile(dir + QStringLiteral("/kest1.dat"), dir + QStringLiteral("/copy.dat"));
         }},
        {"start-up scan", "floor: memchr line ends",
         [](benchmark::State& state, int cards) {
             Module1 module(layCardFile(cards));
             for (auto _ : state) startUpScan(module);
         }},
        {"Save, append path", "floor: copy + fsync",
         [](benchmark::State& state, int cards) {
             pressOnce(state, cards, &Form4::Command1, [](Form4& form, int repetition) {
                 form.showCard(generatedCard(1));
                 form.setFieldText(Field::RecordNumber, QStringLiteral("new %1").arg(repetition));
             });
         }},
        {"Save, replace path", "floor: copy + fsync",
         [](benchmark::State& state, int cards) {
             pressOnce(state, cards, &Form4::Command1,
                       [cards](Form4& form, int) { form.showCard(generatedCard(cards / 2 + 1)); });
         }},
        {"Delete", "floor: copy + fsync",
         [](benchmark::State& state, int cards) {
             pressOnce(state, cards, &Form4::Command2,
                       [cards](Form4& form, int) { form.showCard(generatedCard(cards / 3 + 1)); });
         }},
        // The same two changes without their records: what a record costs.
        {"Save, append path, without its record", "floor: copy + fsync",
         [](benchmark::State& state, int cards) {
             pressOnce(
                 state, cards, &Form4::Command1,
                 [](Form4& form, int repetition) {
                     form.showCard(generatedCard(1));
                     form.setFieldText(Field::RecordNumber, QStringLiteral("new %1").arg(repetition));
                 },
                 false);
         }},
        {"Delete, without its record", "floor: copy + fsync",
         [](benchmark::State& state, int cards) {
             pressOnce(
                 state, cards, &Form4::Command2,
                 [cards](Form4& form, int) { form.showCard(generatedCard(cards / 3 + 1)); }, false);
         }},
        {"search list fill", "floor: memchr line ends",
         [](benchmark::State& state, int cards) {
             withSearchWindow(
                 state, cards, 0, [](Form14&) {}, [](Form14& window) { window.Combo1_GotFocus(); });
         }},
        {"SELECT of the last entry", "floor: memchr line ends",
         [](benchmark::State& state, int cards) {
             withSearchWindow(
                 state, cards, 1,
                 [cards](Form14& window) {
                     window.Combo1->setEditText(QString::number(cards) + QStringLiteral("  ")
                                                + generatedContact(cards));
                 },
                 [](Form14& window) { window.Command1_Click(); });
         }},
        {"drop-down opened, to its first paint", "",
         [](benchmark::State& state, int cards) {
             withSearchWindow(state, cards, 0, showFilled, [&state](Form14& window) {
                 if (!dropDownPainted(window)) state.SkipWithError("the drop-down did not paint");
             });
         }},
        {"completion popup: first key (\"a\"), to its paint", "",
         [](benchmark::State& state, int cards) {
             withSearchWindow(state, cards, 0, showFilled, [&state](Form14& window) {
                 if (!completionPainted(window, QLatin1Char('a'))) state.SkipWithError("no popup painted");
             });
         }},
        {"completion popup: fifth key of \"nowak\", to its paint", "",
         [](benchmark::State& state, int cards) {
             withSearchWindow(
                 state, cards, 0,
                 [](Form14& window) {
                     showFilled(window);
                     typeInto(window, QStringLiteral("nowa"));
                     QApplication::processEvents();
                 },
                 [&state](Form14& window) {
                     if (!completionPainted(window, QLatin1Char('k'))) state.SkipWithError("no popup painted");
                 });
         }},
        {"Add", "",
         [](benchmark::State& state, int cards) { pressOnce(state, cards, &Form4::Command4, [](Form4&, int) {}); }},
        {"export, vCard 4.0", "floor: copy + fsync",
         [](benchmark::State& state, int cards) { timeExport(state, cards, ExchangeFormat::VCard4, "vcf"); }, 100000},
        {"export, CSV", "floor: copy + fsync",
         [](benchmark::State& state, int cards) { timeExport(state, cards, ExchangeFormat::Csv, "csv"); }, 100000},
        {"import, vCard 4.0", "floor: copy + fsync",
         [](benchmark::State& state, int cards) { timeImport(state, cards, ExchangeFormat::VCard4, "vcf"); }},
        {"import, CSV", "floor: copy + fsync",
         [](benchmark::State& state, int cards) { timeImport(state, cards, ExchangeFormat::Csv, "csv"); }},
        // Not of the card file's size: one card, read each time.
        {"read one vCard of 500 KB (words, parts, soft breaks)", "",
         [](benchmark::State& state, int) { timeLongCard(state); }, 1000},
    };
    return list;
}

// The rows timed a second time on a disk where a new file can share the old
// one's blocks, against the same floors as the first time.
const std::vector<std::string> kSharedBlocksRows = {"floor: copy + fsync", "Save, append path", "Save, replace path",
                                                    "Delete"};
const char* const kOnSharedBlocks = " on Btrfs";

// Keeps the medians for the table, and shows the usual console output.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" && !run.error_occurred)
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians; // milliseconds, by benchmark name
};

std::string benchmarkName(const Operation& op, int cards)
{
    return std::string(op.name) + "/" + std::to_string(cards);
}

bool timedOnSharedBlocks(const Operation& op)
{
    return std::find(kSharedBlocksRows.begin(), kSharedBlocksRows.end(), op.name) != kSharedBlocksRows.end();
}

std::string sharedBlocksName(const Operation& op, int cards)
{
    return std::string(op.name) + kOnSharedBlocks + "/" + std::to_string(cards);
}

QString formatTable(const std::vector<int>& sizes, const std::map<std::string, double>& medians)
{
    QString table = QStringLiteral(
        "| Operation | Cards | Median (ms) | Floor (ms) | Ratio to floor |\n|---|---:|---:|---:|---:|\n");
    for (int cards : sizes) {
        for (int pass = 0; pass < 2; ++pass)
            for (const Operation& op : operations()) {
                if (pass == 1 && !timedOnSharedBlocks(op)) continue;
                const std::string name = pass == 0 ? benchmarkName(op, cards) : sharedBlocksName(op, cards);
                const auto found = medians.find(name);
                if (found == medians.end()) continue;
                QString floorText = QStringLiteral("–"), ratioText = QStringLiteral("–");
                if (*op.floor) {
                    const auto floor = medians.find(benchmarkName(Operation{op.floor, "", {}}, cards));
                    if (floor != medians.end() && floor->second > 0) {
                        floorText = QString::number(floor->second, 'f', 2);
                        ratioText = QString::number(found->second / floor->second, 'f', 1) + QStringLiteral("×");
                    }
                }
                table += QStringLiteral("| %1 | %2 | %3 | %4 | %5 |\n")
                             .arg(QString::fromLatin1(op.name)
                                  + (pass == 1 ? QLatin1String(kOnSharedBlocks) : QLatin1String()))
                             .arg(QLocale::c().toString(cards))
                             .arg(found->second, 0, 'f', 2)
                             .arg(floorText, ratioText);
            }
    }
    return table;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::vector<int> sizes = {1000, 100000, 1000000};
    gDataDir = QDir::currentPath() + QStringLiteral("/bench-data");
    QString tablePath;
    bool noHistorySpace = false;
    std::vector<char*> rest = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg.startsWith(QStringLiteral("--sizes="))) {
            sizes.clear();
            for (const QString& size : arg.mid(8).split(QLatin1Char(','))) sizes.push_back(size.toInt());
        } else if (arg.startsWith(QStringLiteral("--data="))) {
            gDataDir = QDir(arg.mid(7)).absolutePath();
        } else if (arg == QStringLiteral("--no-history-space")) {
            noHistorySpace = true;
        } else if (arg.startsWith(QStringLiteral("--table="))) {
            tablePath = arg.mid(8);
        } else if (const int child = runChildMode(argc, argv, i); child >= 0) {
            return child;
        } else {
            rest.push_back(argv[i]);
        }
    }
    QApplication app(argc, argv);
    QDir().mkpath(gDataDir);
    // The computer's identity for the records of the changes timed is the
    // bench's own, not the user's.
    qputenv("XDG_STATE_HOME", QFile::encodeName(gDataDir + QStringLiteral("/state")));
    gWorkRoot = gDataDir;
    for (int cards : sizes) {
        if (QFile::exists(sourceFile(cards))) continue;
        std::printf("Generating %d cards...\n", cards);
        std::fflush(stdout);
        if (!writeGeneratedCardFile(sourceFile(cards), cards)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(sourceFile(cards)));
            return 1;
        }
    }

    const SharedBlocksDisk sharedBlocks(gDataDir);
    for (int cards : sizes) {
        const int repetitions = cards >= 1000000 ? 3 : 7;
        const auto enrol = [repetitions](const std::string& name, std::function<void(benchmark::State&)> run) {
            benchmark::RegisterBenchmark(name.c_str(), std::move(run))
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1)
                ->Repetitions(repetitions)
                ->ReportAggregatesOnly(true)
                ->UseRealTime();
        };
        for (const Operation& op : operations()) {
            if (cards > op.largest) continue;
            enrol(benchmarkName(op, cards), [&op, cards](benchmark::State& state) { op.run(state, cards); });
        }
        if (!sharedBlocks.mounted()) continue;
        for (const Operation& op : operations()) {
            if (!timedOnSharedBlocks(op)) continue;
            enrol(sharedBlocksName(op, cards), [&op, cards, &sharedBlocks](benchmark::State& state) {
                gWorkRoot = sharedBlocks.folder();
                op.run(state, cards);
                QDir(workDir(cards)).removeRecursively();
                gWorkRoot = gDataDir;
            });
        }
    }
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    QString table = formatTable(sizes, reporter.medians);
    table += recordCost(sizes, reporter.medians);
    if (!noHistorySpace) table += QLatin1Char('\n') + historySpace(*std::max_element(sizes.begin(), sizes.end()));
    table += sharedBlocks.mounted()
        ? QStringLiteral("\nRows ending \"on Btrfs\" ran on a loop-mounted Btrfs image, where a new file "
                         "shares the old one's blocks; their floor is the copy on the disk above.\n")
        : QStringLiteral("\nSkipped the rows on a disk that shares blocks: %1.\n").arg(sharedBlocks.whyNotMounted());
    table += childMeasurements(argv[0], gDataDir, sizes);
    std::printf("\n%s", qPrintable(table));
    if (!tablePath.isEmpty()) {
        QFile out(tablePath);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(table.toUtf8()) < 0) return 1;
    }
    QDir(workDir(0)).removeRecursively();
    for (int cards : sizes) QDir(workDir(cards)).removeRecursively();
    return 0;
}
