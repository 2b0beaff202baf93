// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Form1.h"

#include "about/DonateAddress.h"
#include "platform/Platform.h"
#include "platform/PushButton.h"
#include "platform/SvgIcon.h"
#include "platform/Twips.h"
#include "platform/WindowPlacement.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace kestrix {

const QString Form1::kNotice = QStringLiteral(
    "KESTRIX V1. WRITTEN BY PAT EXAMPLE FOR SAMPLE CARD WORKS, 100 EXAMPLE ROAD, ANYTOWN, ST 00000. "
    "COPYRIGHT (C) 2026 THE KESTRIX DEVELOPERS. THIS IS FREE SOFTWARE UNDER THE GNU GENERAL PUBLIC LICENSE, "
    "VERSION 3 OR ANY LATER VERSION: YOU MAY SHARE AND CHANGE IT UNDER ITS TERMS. IT COMES WITH NO WARRANTY. "
    "PLEASE SEND YOUR QUESTIONS TO SAMPLE CARD WORKS BY POST AT THE ADDRESS ABOVE OR BY E-MAIL TO "
    "SUPPORT@EXAMPLE.COM. "
    "PLEASE DONATE TO KEEP THIS PROGRAM UPDATED. IF YOU FIND THIS PROGRAM USEFULL, PLEASE DONATE TO THE CUASE. "
    "THANK YOU. THE SAMPLE CARD WORKS TEAM\r\n");

const QString Form1::kDonateQuestion =
    QStringLiteral("We appreciate your support. Any Dollar amount Donation is greatly Appreciated. \r\n\r\n")
    + QString(18, QLatin1Char(' ')) + QStringLiteral("Do you wish to continue?");

namespace {

// The browser starts in the root of the program's own directory: its drive
// root on Windows. Elsewhere the first three characters of a path such as
// /usr/bin name no directory, so the browser starts in the file system's root.
QString browserWorkingDirectory(const QString& programDirectory)
{
#ifdef Q_OS_WIN
    return programDirectory.left(3);
#else
    Q_UNUSED(programDirectory);
    return QStringLiteral("/");
#endif
}

} // namespace

Form1::Form1(Platform& platform, QWidget* parent) : QWidget(parent), platform_(platform)
{
    buildControls();
}

void Form1::buildControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("aBOUT"));
    setWindowIcon(applicationIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_DeleteOnClose);
    centerOnFirstShow(this);
    setFixedSize(twips(4680), twips(3450));

    // Created in tab order.
    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twipsRect(120, 120, 4455, 2535));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setTabChangesFocus(true);
    Text1->setPlainText(kNotice);
    Text1->setAccessibleName(QStringLiteral("Notice"));

    Command1 = addPushButton(this, "Command1", "DONATE", twipsRect(960, 2880, 1095, 375));
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);

    Command2 = addPushButton(this, "Command2", "BACK", twipsRect(2640, 2880, 975, 375));
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);

    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
}

void Form1::Command1_Click()
{
    const MessageAnswer answer = platform_.showMessage(this, kDonateQuestion, MessageButtons::YesNo, QString());
    const QString workingDirectory = browserWorkingDirectory(platform_.programDirectory());
    if (answer != MessageAnswer::Yes) return;
    const QString failure = platform_.openAddress(QString::fromUtf8(kDonateAddress), workingDirectory);
    if (!failure.isEmpty()) platform_.showMessage(this, failure, MessageButtons::Ok);
}

void Form1::Command2_Click()
{
    close();
}

} // namespace kestrix
