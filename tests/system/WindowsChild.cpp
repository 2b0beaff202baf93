// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// One Kestrix window in a process of its own, pressing the editor's buttons
// at random against a folder that other such processes use at the same time:
//   kestrix_windows_child DIR SEED ID OPERATIONS
// It only ever stores, updates and deletes contacts of its own ("P<ID>-<k>").
// At the end it prints what the card file must hold of its contacts, as the
// messages it was shown say, and every number it was issued:
//   card <hex of the stored line>
//   issued <number>
//   operations <count> failed <count> unasked-updates <count> max-lock-wait-us <microseconds>
// With KESTRIX_WINDOWS_UNLOCKED set, no lock can be had, as on a file system
// without locks, to show what the lock prevents.
#include "card/CardLine.h"
#include "cardfile/Module1.h"
#include "editor/Form4.h"
#include "files/FileStatus.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QToolButton>

#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <map>
#include <random>
#include <sys/file.h>
#include <vector>

using namespace kestrix;

namespace {

using Clock = std::chrono::steady_clock;

bool gUnlocked = false;
std::map<int, Clock::time_point> gWaitingSince;
Clock::duration gLongestWait{};

// Says Yes to every question and remembers the first message after it, the
// one that tells how the change went (a notice may follow it).
class AnsweringPlatform final : public Platform {
public:
    MessageAnswer showMessage(QWidget*, const QString& text, MessageButtons buttons,
                              const std::optional<QString>&) override
    {
        if (buttons == MessageButtons::YesNo) {
            ++questions;
            return MessageAnswer::Yes;
        }
        if (last.isEmpty()) last = text;
        return MessageAnswer::Ok;
    }
    QString openAddress(const QString&, const QString&) override { return {}; }
    QString programDirectory() const override { return {}; }
    void endProgram() override {}

    void reset()
    {
        questions = 0;
        last.clear();
    }
    int questions = 0;
    QString last;
};

} // namespace

// Stands in for the C library's flock for the code linked into this program:
// measures how long a change waited for the lock, or leaves the lock out.
extern "C" int flock(int fd, int operation)
{
    using Flock = int (*)(int, int);
    static const auto real = reinterpret_cast<Flock>(dlsym(RTLD_NEXT, "flock"));
    // As on a file system without locks.
    if (gUnlocked) {
        errno = ENOLCK;
        return -1;
    }
    const int result = real(fd, operation);
    if (operation & LOCK_EX) {
        if (result == 0) {
            if (auto waiting = gWaitingSince.find(fd); waiting != gWaitingSince.end()) {
                gLongestWait = std::max(gLongestWait, Clock::now() - waiting->second);
                gWaitingSince.erase(waiting);
            }
        } else if (errno == EWOULDBLOCK) {
            gWaitingSince.try_emplace(fd, Clock::now());
        }
    }
    return result;
}

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s DIR SEED ID OPERATIONS\n", argv[0]);
        return 2;
    }
    gUnlocked = qEnvironmentVariableIsSet("KESTRIX_WINDOWS_UNLOCKED");
    QApplication app(argc, argv);
    const QString id = QString::fromLocal8Bit(argv[3]);
    std::mt19937 random(static_cast<unsigned>(std::atoll(argv[2])) * 7919u + static_cast<unsigned>(id.toUInt()));
    auto below = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const int operations = std::atoi(argv[4]);

    Module1 module(QString::fromLocal8Bit(argv[1]));
    AnsweringPlatform platform;
    Form4 editor(module, platform);

    // Each contact of this window, and the cards the file holds of it as the
    // messages said.
    std::map<QString, std::vector<CardRecord>> stored;
    std::vector<QString> issued;
    int failed = 0, unaskedUpdates = 0, nextContact = 0;

    auto randomCard = [&](const QString& contact, const QString& number) {
        CardRecord card;
        card[indexOf(Field::CNAME)] = QStringLiteral("Company of ") + contact;
        card[indexOf(Field::CCNAME)] = contact;
        card[indexOf(Field::PHONE)] = QString::number(below(1000000));
        QString memo;
        for (int i = below(160); i > 0; --i)
            memo += below(20) == 0 ? QLatin1Char('\n') : QLatin1Char(static_cast<char>('a' + below(26)));
        card[indexOf(Field::MEMO)] = memo;
        card[indexOf(Field::RecordNumber)] = number;
        return card;
    };
    auto pressAdd = [&]() -> std::optional<QString> {
        platform.reset();
        editor.Command4->click();
        if (!platform.last.isEmpty()) return std::nullopt;
        issued.push_back(editor.fieldText(Field::RecordNumber));
        return issued.back();
    };
    std::vector<QString> contactsWithCards;
    auto pickStoredContact = [&]() -> std::optional<QString> {
        contactsWithCards.clear();
        for (const auto& [contact, cards] : stored)
            if (!cards.empty()) contactsWithCards.push_back(contact);
        if (contactsWithCards.empty()) return std::nullopt;
        return contactsWithCards[static_cast<size_t>(below(static_cast<int>(contactsWithCards.size())))];
    };

    for (int done = 0; done < operations; ++done) {
        const int kind = below(100);
        if (kind < 40) {
            // Add, type a new contact, Save: a new card.
            const std::optional<QString> number = pressAdd();
            if (!number) {
                ++failed;
                continue;
            }
            const QString contact = QStringLiteral("P%1-%2").arg(id).arg(nextContact++);
            const CardRecord card = randomCard(contact, *number);
            editor.showCard(card);
            platform.reset();
            editor.Command1->click();
            if (platform.last == QStringLiteral("record saved"))
                stored[contact].push_back(card);
            else
                ++failed;
            if (platform.questions > 0)
                std::fprintf(stderr, "a new number was already on file: %s\n", qPrintable(*number));
        } else if (kind < 50) {
            if (!pressAdd()) ++failed;
        } else if (kind < 80) {
            // One of its cards, as SELECT would load it, edited and saved.
            const std::optional<QString> contact = pickStoredContact();
            if (!contact) continue;
            const CardRecord& old = stored[*contact].back();
            const CardRecord edited = randomCard(*contact, old[indexOf(Field::RecordNumber)]);
            editor.showCard(edited);
            platform.reset();
            editor.Command1->click();
            if (platform.last != QStringLiteral("record saved")) {
                ++failed;
            } else if (platform.questions == 0) {
                // The scan did not find the card: Save adds it as a new one.
                ++unaskedUpdates;
                stored[*contact].push_back(edited);
            } else {
                stored[*contact] = {edited};
            }
        } else {
            const std::optional<QString> contact = pickStoredContact();
            if (!contact) continue;
            editor.setFieldText(Field::CCNAME, *contact);
            platform.reset();
            editor.Command2->click();
            if (platform.last == QStringLiteral("record deleted"))
                stored[*contact].clear();
            else
                ++failed;
        }
    }
    (void)module.CloseAllFiles();

    for (const auto& [contact, cards] : stored)
        for (const CardRecord& card : cards) std::printf("card %s\n", cardLine(card).toHex().constData());
    for (const QString& number : issued) std::printf("issued %s\n", qPrintable(number));
    std::printf("operations %d failed %d unasked-updates %d max-lock-wait-us %lld\n", operations, failed,
                unaskedUpdates,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(gLongestWait).count()));
    return 0;
}
