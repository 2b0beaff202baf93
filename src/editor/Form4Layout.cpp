// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The editor window's controls, placed as designed (positions in twips).
#include "Form4.h"

#include "LockedCardPalette.h"
#include "MemoText.h"
#include "platform/EnterPressesButton.h"
#include "platform/FocusMark.h"
#include "platform/SvgIcon.h"
#include "platform/Twips.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

#include <algorithm>
#include <limits>

namespace kestrix {

namespace {

struct FieldPlacement {
    const char* caption;
    QRect label; // relative to Frame3
    bool labelFitsCaption;
    QRect text;
};

// Field k of the card is entry k - 1.
const std::array<FieldPlacement, kFieldCount> kFields = {{
    {"COMPANY NAME", twipsRect(120, 360, 1305, 195), true, twipsRect(120, 600, 4095, 285)},
    {"CONTACT NAME", twipsRect(120, 960, 1275, 195), true, twipsRect(120, 1200, 4095, 285)},
    {"ADDRESS", twipsRect(120, 1560, 780, 195), true, twipsRect(120, 1800, 4095, 285)},
    {"ADDRESS 2", twipsRect(120, 2160, 915, 195), true, twipsRect(120, 2400, 4095, 285)},
    {"CITY", twipsRect(120, 2760, 360, 195), true, twipsRect(120, 3000, 2295, 285)},
    {"ST", twipsRect(2520, 2760, 210, 195), true, twipsRect(2520, 3000, 495, 285)},
    {"ZIP", twipsRect(3240, 2760, 255, 195), true, twipsRect(3240, 3000, 975, 285)},
    {"PHONE", twipsRect(120, 3360, 570, 195), true, twipsRect(120, 3600, 2175, 285)},
    {"PHONE 2", twipsRect(2640, 3360, 705, 195), true, twipsRect(2400, 3600, 1815, 285)},
    {"CELL", twipsRect(120, 3960, 390, 195), true, twipsRect(120, 4200, 2175, 285)},
    {"FAX", twipsRect(2400, 3960, 300, 195), true, twipsRect(2400, 4200, 1815, 285)},
    {"eMAIL", twipsRect(120, 4560, 465, 195), true, twipsRect(120, 4800, 4095, 285)},
    {"MEMO", twipsRect(120, 5160, 735, 255), false, twipsRect(120, 5400, 4095, 735)},
    {"Record", twipsRect(2880, 240, 735, 255), false, twipsRect(3600, 240, 615, 285)},
}};

// The window and its panels as designed; the window may grow taller than
// this, and the panels and the memo take the height it gains.
constexpr QSize kDesignedSize(twips(6240), twips(6525));
constexpr QRect kFrame1 = twipsRect(4560, 240, 1575, 6255);
constexpr QRect kFrame2 = twipsRect(120, 120, 1335, 6015);
constexpr QRect kFrame3 = twipsRect(120, 120, 4335, 6255);

} // namespace

struct Form4::ButtonPlacement {
    QToolButton* Form4::*member;
    const char* name;
    const char* caption;
    const char* icon;
    int top;
};

// In tab order; Edit, the last, is created after the card fields (see below).
namespace {

const std::array<Form4::ButtonPlacement, 7> kButtons = {{
    {&Form4::Command5, "Command5", "Search", ":/icons/search.svg", 3480},
    {&Form4::Command4, "Command4", "Add", ":/icons/add.svg", 120},
    {&Form4::Command3, "Command3", "Exit", ":/icons/exit.svg", 5160},
    {&Form4::Command2, "Command2", "Delete", ":/icons/delete.svg", 2640},
    {&Form4::Command1, "Command1", "Save", ":/icons/save.svg", 960},
    {&Form4::Command6, "Command6", "About", ":/icons/about.svg", 4320},
    {&Form4::Command7, "Command7", "Edit", ":/icons/edit.svg", 1800},
}};

QFrame* makePanel(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setGeometry(geometry);
    return panel;
}

void fillWith(QWidget* panel, const QColor& colour)
{
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
}

} // namespace

void Form4::buildControls()
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("KESTRIX"));
    setWindowIcon(applicationIcon());
    // No maximise button: only the memo can use more room, and only more
    // height, so the window grows taller alone.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setMinimumSize(kDesignedSize);
    setMaximumWidth(kDesignedSize.width());
    resize(kDesignedSize);
    markFocusFromStart(this);

    // Controls join the focus chain in the order they are created, and the
    // window opens with the focus on the first of them that can take it:
    // Search. Edit, last in the tab order, is created last.
    buildButtonPanel();
    buildEditingPanel();
    addButton(kButtons.back());
    applyPanelColours();
    setTabOrder();
}

void Form4::applyPanelColours()
{
    fillWith(Frame2, palette().color(QPalette::Dark));
    Frame3->setPalette(lockedCardPalette(palette()));
    applyMemoColours();
}

void Form4::applyMemoColours()
{
    // An empty palette: the memo follows the panel again.
    memo_->setPalette(isLocked() ? lockedReadOnlyPalette(palette()) : QPalette());
}

void Form4::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int gained = std::max(0, height() - kDesignedSize.height());
    Frame1->resize(kFrame1.width(), kFrame1.height() + gained);
    Frame2->resize(kFrame2.width(), kFrame2.height() + gained);
    Frame3->resize(kFrame3.width(), kFrame3.height() + gained);
    const QRect memo = kFields[indexOf(Field::MEMO)].text;
    memo_->resize(memo.width(), memo.height() + gained);
}

void Form4::buildButtonPanel()
{
    Frame1 = makePanel(this, "Frame1", kFrame1);
    fillWith(Frame1, Qt::black);
    Frame2 = makePanel(Frame1, "Frame2", kFrame2);
    Frame1->setAccessibleName(QStringLiteral("Commands"));

    for (std::size_t i = 0; i + 1 < kButtons.size(); ++i) addButton(kButtons[i]);
}

void Form4::addButton(const ButtonPlacement& placement)
{
    auto* button = new QToolButton(Frame2);
    button->setObjectName(QLatin1String(placement.name));
    button->setText(QLatin1String(placement.caption));
    button->setAccessibleName(QLatin1String(placement.caption));
    button->setIcon(svgIcon(QLatin1String(placement.icon)));
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFocusPolicy(Qt::StrongFocus);
    pressOnEnter(button);
    button->setGeometry(twipsRect(240, placement.top, 855, 735));
    this->*placement.member = button;
}

void Form4::buildEditingPanel()
{
    Frame3 = makePanel(this, "Frame3", kFrame3);
    Frame3->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Frame3->setAccessibleName(QStringLiteral("Card"));

    for (int i = 0; i < kFieldCount; ++i) {
        const FieldPlacement& placement = kFields[i];
        const QString number = QString::number(i + 1);
        QWidget* box = nullptr;
        if (i == indexOf(Field::MEMO)) {
            memo_ = new QPlainTextEdit(Frame3);
            memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            memo_->setTabChangesFocus(true);
            memoText_ = new MemoText(memo_);
            memoText_->set(QStringLiteral("Text") + number);
            box = memo_;
        } else {
            lineEdits_[i] = new QLineEdit(QStringLiteral("Text") + number, Frame3);
            // No field has a length limit; the toolkit's default would cut a
            // loaded field, and saving would store the cut text.
            lineEdits_[i]->setMaxLength(std::numeric_limits<int>::max());
            box = lineEdits_[i];
        }
        box->setObjectName(QStringLiteral("Text") + number);
        box->setGeometry(placement.text);
        box->setAccessibleName(QLatin1String(placement.caption));

        auto* label = new QLabel(QLatin1String(placement.caption), Frame3);
        label->setObjectName(QStringLiteral("Label") + number);
        label->setGeometry(placement.label);
        if (placement.labelFitsCaption) label->adjustSize();
        // A buddy without an '&' in the caption adds no keyboard accelerator.
        label->setBuddy(box);
        labels_[i] = label;
    }
    // A text box keeps two pixels free inside its frame on either side; the
    // record number's narrow box needs them to show a five-digit number whole.
    lineEdits_[indexOf(Field::RecordNumber)]->setTextMargins(-2, 0, -2, 0);
}

void Form4::setTabOrder()
{
    const std::array<QWidget*, 21> order = {
        Command5, Command4, Command3, Command2, Command1, Command6, Text(14), Text(13), Text(2), Text(1),  Text(12),
        Text(11), Text(10), Text(9),  Text(8),  Text(7),  Text(6),  Text(5),  Text(4),  Text(3), Command7,
    };
    for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace kestrix
