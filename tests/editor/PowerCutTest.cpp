// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// A power cut at any moment of a change: the steps each handler takes on the
// disk are recorded, and every state a journaling file system may be left in
// after every prefix of them is rebuilt. The card and counter files must be
// as before or as after, never cut short; and once the handler has said the
// change is made, as after. The change's record counts exactly when the
// change landed: never a change without its record, never a record of a
// change that did not land.
#include "windowsupport/WindowTest.h"

#include "files/FileStatus.h"
#include "support/PowerCut.h"
#include "support/SystemCallFaults.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include <functional>
#include <iostream>

namespace kestrix::testing {
namespace {

class PowerCut : public WindowTest {
protected:
    // Runs `press` with the steps on the disk recorded, and checks every
    // state a power cut could leave.
    void checkEveryCut(const char* name, const std::function<void()>& press)
    {
        const QByteArray path = QFile::encodeName(folder.path());
        const Folder start = readFolder(path);
        DiskRecorder::start(path);
        press();
        const std::vector<DiskStep> steps = DiskRecorder::stop();
        const Folder end = readFolder(path);
        EXPECT_FALSE(shownTexts().isEmpty()) << name;

        QList<QByteArray> names = {"kest1.dat", "kestrec.rec"};
        const QByteArray history = historyFileIn(start, end);
        if (!history.isEmpty()) names << history;
        auto contentOf = [](const Folder& f, const QByteArray& n) -> std::optional<QByteArray> {
            return f.count(n) ? std::optional(f.at(n).content) : std::nullopt;
        };
        int checked = 0;
        for (size_t count = 0; count <= steps.size(); ++count) {
            for (const auto& state : powerCutStates(start, steps, count, names)) {
                ++checked;
                EXPECT_TRUE(checkRecord(start, end, state, history)) << name << ", cut after step " << count;
                for (qsizetype i = 0; i < 2; ++i) {
                    const bool isBefore = state[i] == contentOf(start, names[i]);
                    const bool isAfter = state[i] == contentOf(end, names[i]);
                    // Once every step is taken, the handler has told the user.
                    if (count == steps.size()) {
                        EXPECT_TRUE(isAfter) << name << ": " << names[i].constData()
                                             << " not as after a power cut once the change was told";
                    } else {
                        EXPECT_TRUE(isBefore || isAfter) << name << ": " << names[i].constData()
                                                         << " neither before nor after, cut after step " << count;
                    }
                }
            }
        }
        std::cout << name << ": " << steps.size() << " steps on the disk, " << checked << " power-cut states"
                  << std::endl;
    }

    // This computer's history: the one the change wrote to; another
    // computer's beside it is only read.
    static QByteArray historyFileIn(const Folder& start, const Folder& end)
    {
        for (const auto& [name, file] : end)
            if (name.startsWith(".kest1.dat.history-")
                && (!start.count(name) || start.at(name).content != file.content))
                return name;
        return {};
    }

    // The records that count are those of the changes that landed: one more
    // where the cards are as after, none where they are as before. A change
    // into a card file that did not exist yet starts from no version, and is
    // left out.
    ::testing::AssertionResult checkRecord(const Folder& start, const Folder& end,
                                           const std::vector<std::optional<QByteArray>>& state,
                                           const QByteArray& history)
    {
        const QByteArray cards = "kest1.dat";
        if (!start.count(cards) || !end.count(cards) || start.at(cards).content == end.at(cards).content)
            return ::testing::AssertionSuccess();
        if (history.isEmpty()) return ::testing::AssertionFailure() << "the cards changed without a record";
        struct stat info {};
        if (::stat(QFile::encodeName(folder.path()).constData(), &info) != 0)
            return ::testing::AssertionFailure() << "the folder cannot be read";
        const auto landed = [&](const Folder& cardsFrom, const QByteArray& bytes) {
            const FolderFile& standing = cardsFrom.at(cards);
            return landedChanges(bytes, info.st_dev, standing.inode, standing.content.size());
        };
        const QByteArray before = start.count(history) ? start.at(history).content : QByteArray();
        const bool isAfter = state[0] == end.at(cards).content;
        const Folder& cardsFrom = isAfter ? end : start;
        const qsizetype more = landed(cardsFrom, state[2].value_or(QByteArray())) - landed(cardsFrom, before);
        if (more == (isAfter ? 1 : 0)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
            << more << " changes more on record with the cards as " << (isAfter ? "after" : "before");
    }

    void SetUp() override
    {
        storeCards({card("Ann", "1"), card("Bob", "2"), card("Ann", "3")});
        folder.write(QStringLiteral("kestrec.rec"), "\"41\"\r\n");
        open();
    }
};

TEST_F(PowerCut, EveryChangeIsBeforeOrAfterAndDurableOnceTold)
{
    // A sync's deletions, update and new card, with the counter, as one change.
    checkEveryCut("sync", [&] { applySync(); });

    platform.shown.clear();
    showCard(card("Cy", "4"));
    checkEveryCut("Save, append path", [&] { press(form->Command1); });

    platform.shown.clear();
    showCard(card("Bob", "2"));
    form->setFieldText(Field::PHONE, QStringLiteral("555-0100"));
    platform.answers = {MessageAnswer::Yes};
    checkEveryCut("Save, replace path", [&] { press(form->Command1); });

    platform.shown.clear();
    showCard(card("Ann", "1"));
    checkEveryCut("Delete", [&] { press(form->Command2); });

    // Add says nothing when all goes well; the shown number is the news.
    platform.shown.clear();
    checkEveryCut("Add", [&] {
        press(form->Command4);
        platform.shown.push_back(
            {form->fieldText(Field::RecordNumber), MessageButtons::Ok, std::nullopt, std::nullopt});
    });

    // A card file that did not exist yet: created, then appended to.
    ASSERT_TRUE(QFile::remove(folder.pathOf(QStringLiteral("kest1.dat"))));
    platform.shown.clear();
    showCard(card("Dee", "5"));
    checkEveryCut("Save into a new card file", [&] { press(form->Command1); });

    // Contacts from another program, added as new cards with fresh numbers.
    platform.shown.clear();
    folder.write(QStringLiteral("contacts.vcf"), "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Fay\r\nEND:VCARD\r\n");
    checkEveryCut("import", [&] { form->Form_DragDrop({folder.pathOf(QStringLiteral("contacts.vcf"))}); });

    // Another computer's copy beside the card file, merged in as the window opens.
    platform.shown.clear();
    folder.write(QStringLiteral("kest1.sync-conflict-20261207-105153-BRXC5PR.dat"),
                 cardLine(card("Dee", "5")) + cardLine(card("Eve", "6")));
    checkEveryCut("merge at start-up", [&] { openShown(); });

    // The same, knowing from its records that the other computer deleted Bob.
    platform.shown.clear();
    {
        TempFolder there, state;
        there.write(QStringLiteral("kest1.dat"), cardFile());
        Module1 other(there.path(), state.path());
        ASSERT_TRUE(other.RewriteWithoutContact(QStringLiteral("Bob")).ok());
        ASSERT_TRUE(other.AppendCard(card("Fay", "7")).ok());
        folder.write(QStringLiteral("kest1.sync-conflict-20261208-101500-BRXC5PR.dat"), there.read("kest1.dat"));
        for (const QString& name :
             QDir(there.path()).entryList({QStringLiteral(".kest1.dat.history-*")}, QDir::Files | QDir::Hidden))
            folder.write(name, there.read(name));
    }
    checkEveryCut("merge at start-up, knowing what the other computer did", [&] { openShown(); });
}

} // namespace
} // namespace kestrix::testing
