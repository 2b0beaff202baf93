// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "EnterPressesButton.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace kestrix {

namespace {

class EnterPresses final : public QObject {
public:
    explicit EnterPresses(QAbstractButton* button) : QObject(button), button_(button)
    {
        button->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        // A held key presses once: Save or Delete must not run again for every
        // repeat of the key.
        if (!key->isAutoRepeat()) button_->click();
        return true;
    }

private:
    QAbstractButton* button_;
};

} // namespace

void pressOnEnter(QAbstractButton* button)
{
    new EnterPresses(button);
}

} // namespace kestrix
