// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Every system call of every handler that touches the files fails in turn:
// call 1, then call 2, and so on until the handler runs through untouched,
// with an I/O error, a full disk where a write fails, and an interrupted call
// where a read or write could see one. After each the files are exactly as
// before or as after, the user heard which, naming the file and the reason,
// and nothing typed was lost.
#include "changes/HistoryWindow.h"
#include "windowsupport/WindowTest.h"

#include "search/Form14.h"
#include "support/CaseNames.h"
#include "support/SystemCallFaults.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>

#include <cstring>
#include <functional>
#include <iostream>
#include <ostream>
#include <set>

namespace kestrix::testing {
// Named, not unnamed: the test class below derives from a type of it.
namespace io_failure {

// What a handler left behind: the two files that matter, what the user was
// told, and what the window shows.
struct Outcome {
    QByteArray cards;
    QByteArray counter;
    QStringList told;
    QString shown;
    QByteArray extra; // an export's file

    bool sameFiles(const Outcome& other) const { return cards == other.cards && counter == other.counter; }
};

const QStringList kFiles = {"kest1.dat", "kestrec.rec", "temp.dat", ".kest1.dat.lock"};
const QString kMemo = QStringLiteral("typed by hand");
const QString kExportFile = QStringLiteral("export.vcf");

class HandlerUnderFaults : public WindowTest {
public:
    using WindowTest::applySync;
    using WindowTest::form;
    using WindowTest::open;
    using WindowTest::openShown;
    using WindowTest::platform;
    using WindowTest::press;

    void lay(const QByteArray& counter, const QString& extraFile, const QByteArray& extraContent)
    {
        storeCards({card("Ann", "1"), card("Bob", "2"), card("Ann", "3")});
        folder.write(QStringLiteral("kestrec.rec"), counter);
        if (!extraFile.isEmpty()) folder.write(extraFile, extraContent);
        platform.shown.clear();
        platform.answers.clear();
    }

    // Another computer, apart, deleted Ann and added Dee; its card file
    // lies beside this one as a sync program's copy, with its records.
    void layOtherComputersChanges(const QString& copyName)
    {
        TempFolder there, state;
        there.write(QStringLiteral("kest1.dat"), folder.read(QStringLiteral("kest1.dat")));
        {
            Module1 other(there.path(), state.path());
            ASSERT_TRUE(other.RewriteWithoutContact(QStringLiteral("Ann")).ok());
            ASSERT_TRUE(other.AppendCard(card("Dee", "5")).ok());
        }
        folder.write(copyName, there.read(QStringLiteral("kest1.dat")));
        for (const QString& name :
             QDir(there.path()).entryList({QStringLiteral(".kest1.dat.history-*")}, QDir::Files | QDir::Hidden))
            folder.write(name, there.read(name));
    }

    // Brings up the search window, its list filled.
    void openSearch()
    {
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->isActiveWindow(); }));
        form->Command5->click();
        search = form->findChild<Form14*>();
        ASSERT_TRUE(search && QTest::qWaitFor([&] { return search->Combo1->hasFocus(); }));
    }

    void typeCard(const CardRecord& typed)
    {
        showCard(typed);
        form->setFieldText(Field::MEMO, kMemo);
        form->unlockEditor();
    }

    Outcome outcome()
    {
        Outcome result{
            cardFile(), folder.read(QStringLiteral("kestrec.rec")), shownTexts(), {}, folderFile(kExportFile)};
        if (search) {
            QStringList entries;
            for (int i = 0; i < search->Combo1->count(); ++i) entries << search->Combo1->itemText(i);
            result.shown = entries.join(QLatin1Char('|'));
        }
        if (form) {
            const CardRecord shown = form->card();
            result.shown += QLatin1Char('/') + QStringList(shown.begin(), shown.end()).join(QLatin1Char('|'));
        }
        return result;
    }

    QString folderPath() const { return folder.path(); }
    QByteArray folderFile(const QString& name) const { return folder.exists(name) ? folder.read(name) : QByteArray(); }

    // Files beside the expected ones; a conflict copy may stay where the merge failed.
    QStringList leftovers(const QString& extraFile) const
    {
        QStringList extra = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : kFiles) extra.removeAll(name);
        // The history file stays; a record a failed change left in it has no end and counts for nothing.
        extra.removeIf([](const QString& name) { return name.startsWith(QStringLiteral(".kest1.dat.history-")); });
        extra.removeAll(extraFile);
        return extra;
    }

    QPointer<Form14> search;
};

struct Operation {
    const char* name;
    bool changesFiles;
    // What the counter file holds beforehand.
    QByteArray counter;
    // Lays the window out as the user has it, just before the handler.
    std::function<void(HandlerUnderFaults&)> prepare;
    // The handler itself; runs with the faults on.
    std::function<void(HandlerUnderFaults&)> run;
    // Another computer's copy of the card file that a sync program kept
    // beside it, merged in by the handler; none when empty.
    QString extraFile = {};
    QByteArray extraContent = {};
};

const QString kConflictCopy = QStringLiteral("kest1.sync-conflict-20261207-105153-BRXC5PR.dat");

const std::vector<Operation> kOperations = {
    {"Save, append path", true, "\"41\"\r\n",
     [](HandlerUnderFaults& t) {
         t.open();
         t.typeCard(card("Cy", "4"));
     },
     [](HandlerUnderFaults& t) { t.press(t.form->Command1); }},
    {"Save, replace path", true, "\"41\"\r\n",
     [](HandlerUnderFaults& t) {
         t.open();
         t.typeCard(card("Bob", "2"));
         t.platform.answers = {MessageAnswer::Yes};
     },
     [](HandlerUnderFaults& t) { t.press(t.form->Command1); }},
    {"Delete", true, "\"41\"\r\n",
     [](HandlerUnderFaults& t) {
         t.open();
         t.typeCard(card("Ann", "3"));
     },
     [](HandlerUnderFaults& t) { t.press(t.form->Command2); }},
    {"Add", true, "\"41\"\r\n",
     [](HandlerUnderFaults& t) {
         t.open();
         t.typeCard(card("Cy", "4"));
     },
     [](HandlerUnderFaults& t) { t.press(t.form->Command4); }},
    // The number then comes from every card on file.
    {"Add, counter without a number", true, "",
     [](HandlerUnderFaults& t) {
         t.open();
         t.typeCard(card("Cy", "4"));
     },
     [](HandlerUnderFaults& t) { t.press(t.form->Command4); }},
    // A change taken back: the Delete just made.
    {"Undo", true, "\"41\"\r\n",
     [](HandlerUnderFaults& t) {
         t.open();
         t.typeCard(card("Ann", "1"));
         t.press(t.form->Command2);
     },
     [](HandlerUnderFaults& t) { t.form->UndoChange_Click(); }},
    // The cards of that Delete brought back from the history window, after a later change.
    {"Restore", true, "\"41\"\r\n",
     [](HandlerUnderFaults& t) {
         t.open();
         t.typeCard(card("Ann", "1"));
         t.press(t.form->Command2);
         t.typeCard(card("Bob", "2"));
         t.press(t.form->Command2);
         t.form->History_Click();
         auto* history = t.form->findChild<HistoryWindow*>();
         history->Changes->setCurrentItem(history->Changes->topLevelItem(1));
     },
     [](HandlerUnderFaults& t) { t.form->findChild<HistoryWindow*>()->Restore_Click(); }},
    // A sync's changes of the cards, as its engine applies them.
    {"sync", true, "\"41\"\r\n", [](HandlerUnderFaults&) {}, [](HandlerUnderFaults& t) { t.applySync(); }},
    {"start-up scan", false, "\"41\"\r\n", [](HandlerUnderFaults&) {}, [](HandlerUnderFaults& t) { t.open(); }},
    {"start-up merge", true, "\"41\"\r\n", [](HandlerUnderFaults&) {}, [](HandlerUnderFaults& t) { t.openShown(); },
     kConflictCopy, cardLine(card("Bob", "2")) + cardLine(card("Dee", "5"))},
    {"start-up merge, knowing what the other computer did", true, "\"41\"\r\n",
     [](HandlerUnderFaults& t) { t.layOtherComputersChanges(kConflictCopy); },
     [](HandlerUnderFaults& t) { t.openShown(); }, kConflictCopy},
    {"import", true, "\"41\"\r\n", [](HandlerUnderFaults& t) { t.open(); },
     [](HandlerUnderFaults& t) { t.form->Form_DragDrop({t.folderPath() + QStringLiteral("/contacts.vcf")}); },
     QStringLiteral("contacts.vcf"),
     "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Eve\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:4.0\r\nFN:Fay\r\nEND:VCARD\r\n"},
    // Checked below: the earlier export stays, or the new one is whole.
    {"export", false, "\"41\"\r\n",
     [](HandlerUnderFaults& t) {
         t.open();
         t.platform.filesChosen = {t.folderPath() + QStringLiteral("/") + kExportFile};
     },
     [](HandlerUnderFaults& t) { t.form->ExportCards_Click(); }, kExportFile, "earlier"},
    {"search list fill", false, "\"41\"\r\n",
     [](HandlerUnderFaults& t) {
         t.open();
         t.openSearch();
     },
     [](HandlerUnderFaults& t) { t.search->Combo1_GotFocus(); }},
    {"SELECT", false, "\"41\"\r\n",
     [](HandlerUnderFaults& t) {
         t.open();
         t.openSearch();
         t.search->Combo1->setEditText(QStringLiteral("2  Bob"));
     },
     [](HandlerUnderFaults& t) { t.search->Command1->click(); }},
};

class EveryCall : public HandlerUnderFaults {
    void TestBody() override {}
};

void PrintTo(const Operation& operation, std::ostream* out)
{
    *out << operation.name;
}

} // namespace io_failure

using namespace io_failure;
class IoFailure : public ::testing::TestWithParam<Operation> {};

TEST_P(IoFailure, EveryCallFailsInTurn)
{
    const std::set<QString> success = {"record saved", "record deleted"};
    const Operation& operation = GetParam();
    // The handler untouched: what it does, and the calls it makes.
    auto clean = std::make_unique<EveryCall>();
    clean->lay(operation.counter, operation.extraFile, operation.extraContent);
    operation.prepare(*clean);
    const Outcome before = clean->outcome();
    clean->platform.shown.clear();
    SystemCallFaults::start(0, 0);
    operation.run(*clean);
    SystemCallFaults::stop();
    const std::vector<Call> calls = SystemCallFaults::calls();
    const Outcome after = clean->outcome();
    const QString cleanFolder = clean->folderPath();
    ASSERT_FALSE(calls.empty());
    clean.reset();

    int cases = 0;
    const auto failures = [] {
        return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
    };
    const int failuresBefore = failures();
    for (long n = 1; n <= static_cast<long>(calls.size()) + 1; ++n) {
        const Call call = n <= static_cast<long>(calls.size()) ? calls[n - 1] : Call::Open;
        std::vector<int> errors = {EIO};
        const bool writes = call == Call::Write || call == Call::CopyFileRange;
        if (writes) errors.push_back(ENOSPC);
        if (call == Call::Read || call == Call::Pread || writes) errors.push_back(EINTR);
        for (int error : errors) {
            SCOPED_TRACE(::testing::Message()
                         << "call " << n << " (" << nameOf(call) << ") fails with " << std::strerror(error));
            ++cases;
            auto t = std::make_unique<EveryCall>();
            t->lay(operation.counter, operation.extraFile, operation.extraContent);
            operation.prepare(*t);
            const bool hadWindow = t->form != nullptr;
            const CardRecord shownBefore = t->form ? t->form->card() : CardRecord{};
            const bool lockedBefore = t->form && t->form->isLocked();
            t->platform.shown.clear();
            SystemCallFaults::start(n, error);
            operation.run(*t);
            SystemCallFaults::stop();
            const bool struck = SystemCallFaults::struck();
            const Outcome now = t->outcome();
            const QString reason = QString::fromLocal8Bit(std::strerror(error));
            // Named by the file, or by the folder where the folder failed.
            const QString folder = QStringLiteral("Folder \"%1\"").arg(QDir(t->folderPath()).absolutePath());
            QStringList names = kFiles;
            if (!operation.extraFile.isEmpty()) names << operation.extraFile;
            // The change's record, and this computer's identity, are files of the change too.
            names << qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/kestrix/computer");
            const bool toldWhy = std::any_of(now.told.begin(), now.told.end(), [&](const QString& text) {
                return text.contains(reason)
                    && (text.contains(folder) || text.contains(QStringLiteral("\".kest1.dat.history-"))
                        || std::any_of(names.begin(), names.end(), [&](const QString& file) {
                               return text.contains(QLatin1Char('"') + file + QLatin1Char('"'));
                           }));
            });

            EXPECT_TRUE(now.sameFiles(before) || now.sameFiles(after)) << "files neither before nor after";
            EXPECT_EQ(t->leftovers(operation.extraFile), QStringList()) << "scratch files left behind";
            if (error == EINTR || !struck) {
                // An interrupted call is made again: as if nothing happened.
                EXPECT_TRUE(now.sameFiles(after));
                // An export names its file, in each run's own folder.
                QStringList told = now.told;
                told.replaceInStrings(t->folderPath(), cleanFolder);
                EXPECT_EQ(told, after.told);
                EXPECT_EQ(now.shown, after.shown);
                continue;
            }
            const bool reportedSuccess = std::any_of(now.told.begin(), now.told.end(), [&](const QString& text) {
                return success.count(text) || text.contains(QStringLiteral("were added"))
                    || text.startsWith(QStringLiteral("Undid ")) || text.startsWith(QStringLiteral("Restored "))
                    || text.startsWith(QStringLiteral("Synced with "))
                    || QRegularExpression(QStringLiteral("^\\d+ cards? imported from")).match(text).hasMatch();
            });
            if (operation.changesFiles) {
                const bool changed = now.sameFiles(after) && !before.sameFiles(after);
                // Told of success only when the change is whole and
                // nothing on the way to the disk failed.
                EXPECT_FALSE(reportedSuccess && !changed) << "success reported, files as before";
                const bool add = std::string(operation.name).starts_with("Add");
                // Add tells of success by saying nothing.
                if (changed && (reportedSuccess || (add && now.told.isEmpty()))) {
                    // Only a failed close (of a file read, of a folder
                    // already synced, of the lock) or a check whether a file
                    // exists leaves the change whole.
                    // A merged copy that could not be removed holds no card the card
                    // file lacks: the merge is whole, and the next change removes it.
                    // A whole merge may also be followed by a read that fails and is told.
                    // So may a restore, whose window reads the list of changes again.
                    const bool merge = operation.extraFile == kConflictCopy;
                    const bool restore = std::string(operation.name) == "Restore";
                    const bool copyLeft = (merge && (call == Call::Unlink || toldWhy)) || (restore && toldWhy);
                    EXPECT_TRUE(call == Call::Close || call == Call::Closedir || call == Call::Access || copyLeft)
                        << "told of success although " << nameOf(call) << " failed";
                    continue;
                }
                EXPECT_TRUE(toldWhy) << "not told why: " << now.told.join(QLatin1Char('|')).toStdString();
                const bool nothingIssued =
                    !now.told.isEmpty() && now.told[0].startsWith(QStringLiteral("No new number was issued."));
                if (hadWindow && (!add || nothingIssued)) {
                    EXPECT_EQ(t->form->card(), shownBefore) << "the card on screen changed";
                    EXPECT_EQ(t->form->isLocked(), lockedBefore);
                }
            } else if (operation.extraFile == kExportFile) {
                const QByteArray exported = t->folderFile(kExportFile);
                EXPECT_TRUE(exported == operation.extraContent || exported == after.extra) << "a part of an export";
                if (exported != after.extra) {
                    EXPECT_TRUE(toldWhy) << "export failed without saying why";
                }
            } else if (now.shown != after.shown) {
                // A read that failed may show less, but never silently.
                EXPECT_TRUE(toldWhy) << "showed less without saying why";
            }
        }
        if (failures() > failuresBefore) break; // the first failing call of a handler says enough
    }
    std::cout << operation.name << ": " << calls.size() << " calls, " << cases << " injected failures" << std::endl;
}

INSTANTIATE_TEST_SUITE_P(, IoFailure, ::testing::ValuesIn(kOperations),
                         [](const auto& row) { return caseName(row.param.name); });

} // namespace kestrix::testing
