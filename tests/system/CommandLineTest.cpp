// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The program from a terminal or a script, without a display: what it says,
// what it writes, and its exit status.
#include "card/CardLine.h"
#include "support/CardFiles.h"
#include "support/Limits.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <unistd.h>

namespace kestrix::testing {
namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

// The program run in `folder`, as over SSH: no display of any kind.
Outcome kestrix(const TempFolder& folder, const QStringList& arguments)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(QLatin1String(name));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(folder.path());
    limitChild(program);
    program.start(QStringLiteral(KESTRIX_PROGRAM), arguments);
    EXPECT_TRUE(finishes(program, std::chrono::seconds(30)));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "it crashed or aborted";
    return {program.exitCode(), QString::fromLocal8Bit(program.readAllStandardOutput()),
            QString::fromLocal8Bit(program.readAllStandardError())};
}

// The same through a shell, for what QProcess cannot pass: a closed
// standard output, a file name that is no text. "$kestrix" is the program.
Outcome kestrixInShell(const TempFolder& folder, const QString& script)
{
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("kestrix"), QStringLiteral(KESTRIX_PROGRAM));
    shell.setProcessEnvironment(environment);
    shell.setWorkingDirectory(folder.path());
    limitChild(shell);
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
    EXPECT_TRUE(finishes(shell, std::chrono::seconds(30)));
    return {shell.exitCode(), QString::fromLocal8Bit(shell.readAllStandardOutput()),
            QString::fromLocal8Bit(shell.readAllStandardError())};
}

const QByteArray kContacts =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna Nowak\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Photo Person\r\nPHOTO:data:image/png;base64,QUJD\r\nEND:VCARD\r\n";

TEST(CommandLine, RunsWithoutADisplayAndSaysHowItWent)
{
    TempFolder folder;
    Outcome run = kestrix(folder, {});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("no display"))) << run.err.toStdString();
    EXPECT_FALSE(folder.exists(QStringLiteral("kest1.dat")));

    run = kestrix(folder, {QStringLiteral("--help")});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("--export <FILE>")) && run.out.contains(QStringLiteral("--import"))
                && run.out.contains(QStringLiteral("--all")));
    run = kestrix(folder, {QStringLiteral("--version")});
    EXPECT_EQ(run.out.trimmed(), QStringLiteral("kestrix " KESTRIX_VERSION));
    EXPECT_EQ(kestrix(folder, {QStringLiteral("--exprot"), QStringLiteral("x.vcf")}).status, 2);
    EXPECT_EQ(kestrix(folder, {QStringLiteral("--export"), QStringLiteral("cards.txt")}).status, 2);
    // --sync is Kestrix's own, not X11's -sync; the first one needs a server.
    run = kestrix(folder, {QStringLiteral("--sync")});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("give the server's address"))) << run.err.toStdString();
    EXPECT_EQ(kestrix(folder, {QStringLiteral("--server"), QStringLiteral("https://dav.example/")}).status, 2);
    // A password file must be a plain file: a pipe would hand over whatever
    // its writer sends, or nothing.
    run = kestrixInShell(folder,
                         QStringLiteral("mkfifo pipe && \"$kestrix\" --sync --server http://127.0.0.1:1/ "
                                        "--user u --password-file pipe"));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("no plain file"))) << run.err.toStdString();

    // Nothing that is not contacts goes in, and nothing is written.
    folder.write(QStringLiteral("notes.txt"), "Call Anna on Monday.\n");
    run = kestrix(folder, {QStringLiteral("--import"), QStringLiteral("notes.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("holds no contacts"))) << run.err.toStdString();
    EXPECT_EQ(kestrix(folder, {QStringLiteral("--import"), QStringLiteral("missing.vcf")}).status, 1);
    EXPECT_FALSE(folder.exists(QStringLiteral("kest1.dat")));
    EXPECT_FALSE(folder.exists(QStringLiteral("kestrec.rec")));

    // A card not taken whole is named, and the status says so.
    folder.write(QStringLiteral("contacts.vcf"), kContacts);
    run = kestrix(folder, {QStringLiteral("--import"), QStringLiteral("contacts.vcf")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, QStringLiteral("2 cards imported\n"));
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("kestrix: card 2 (Photo Person): "))) << run.err.toStdString();
    EXPECT_EQ(scanCards(folder.read(QStringLiteral("kest1.dat"))).size(), 2u);

    run = kestrix(folder,
                  {QStringLiteral("--export"), QStringLiteral("-"), QStringLiteral("--format"), QStringLiteral("csv")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.count(QLatin1Char('\n')), 3) << run.out.toStdString();
    EXPECT_EQ(run.err, QStringLiteral("2 cards exported\n"));
    // Kestrix's own files are no export's target, by name or through a link.
    ASSERT_TRUE(QFile::link(QStringLiteral("kest1.dat"), folder.pathOf(QStringLiteral("link.vcf"))));
    for (const auto& [target, own] : {std::pair{"kest1.dat", "kest1.dat"}, std::pair{"kestrec.rec", "kestrec.rec"},
                                      std::pair{"link.vcf", "kest1.dat"}}) {
        run = kestrix(
            folder,
            {QStringLiteral("--export"), QLatin1String(target), QStringLiteral("--format"), QStringLiteral("vcard4")});
        EXPECT_EQ(run.status, 1) << target;
        EXPECT_TRUE(run.err.contains(QStringLiteral("it is Kestrix's own ") + QLatin1String(own)))
            << run.err.toStdString();
    }

    folder.write(QStringLiteral("kest1.sync-conflict-20261207-105153-BRXC5PR.dat"),
                 cardLine(makeCard(QStringLiteral("Cy"), QStringLiteral("3"))));
    run = kestrix(folder, {QStringLiteral("--merge-conflicts")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, QStringLiteral("1 card merged from kest1.sync-conflict-20261207-105153-BRXC5PR.dat\n"));

    // Kestrix's own files are no import either; an option given twice is a
    // mistake; a name is its bytes, text or not; nothing goes out through a
    // closed standard output.
    run = kestrix(folder, {QStringLiteral("--import"), QStringLiteral("kest1.dat")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("it is Kestrix's own kest1.dat"))) << run.err.toStdString();
    for (const char* option : {"--export", "--import"})
        EXPECT_EQ(
            kestrix(folder,
                    {QLatin1String(option), QStringLiteral("a.vcf"), QLatin1String(option), QStringLiteral("b.vcf")})
                .status,
            2);
    run = kestrixInShell(folder, QStringLiteral("\"$kestrix\" --export \"$(printf 'caf\\351.vcf')\""));
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(::access(QByteArray(folder.path().toUtf8() + "/caf\xE9.vcf").constData(), F_OK), 0);
    run = kestrixInShell(folder, QStringLiteral("\"$kestrix\" --import \"$(printf 'caf\\351.vcf')\" >/dev/null"));
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    // The folder's own removal could not name it.
    EXPECT_EQ(::unlink(QByteArray(folder.path().toUtf8() + "/caf\xE9.vcf").constData()), 0);
    run = kestrixInShell(folder, QStringLiteral("\"$kestrix\" --export - >&-"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, QStringLiteral("kestrix: nothing exported: standard output is closed\n"));

    // Text read as Windows-1252 is told, but the card went in whole.
    folder.write(QStringLiteral("old.vcf"), "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Ren\xE9\r\nEND:VCARD\r\n");
    run = kestrix(folder, {QStringLiteral("--import"), QStringLiteral("old.vcf")});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.err.contains(QStringLiteral("card 1 (René): not UTF-8"))) << run.err.toStdString();

    // A contact already there, or twice in the file, makes no second card
    // and takes no number, unless --all asks for every one.
    const QByteArray twin = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Twin\r\nEND:VCARD\r\n";
    folder.write(QStringLiteral("twins.vcf"), twin + twin);
    run = kestrix(folder, {QStringLiteral("--import"), QStringLiteral("twins.vcf")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, QStringLiteral("1 card imported; 1 card already there, not added\n"));
    const QByteArray counter = folder.read(QStringLiteral("kestrec.rec"));
    run = kestrix(folder, {QStringLiteral("--import"), QStringLiteral("twins.vcf")});
    EXPECT_EQ(run.out, QStringLiteral("0 cards imported; 2 cards already there, not added\n"));
    EXPECT_EQ(folder.read(QStringLiteral("kestrec.rec")), counter);
    run = kestrix(folder, {QStringLiteral("--import"), QStringLiteral("twins.vcf"), QStringLiteral("--all")});
    EXPECT_EQ(run.out, QStringLiteral("2 cards imported\n"));
    EXPECT_EQ(kestrix(folder, {QStringLiteral("--all")}).status, 2);

    // A copy left unmerged is a failure.
    folder.makeFolder(QStringLiteral("kest1 (conflicted copy 2026-12-07 105153).dat"));
    run = kestrix(folder, {QStringLiteral("--merge-conflicts")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("not merged"))) << run.err.toStdString();
}

} // namespace
} // namespace kestrix::testing
