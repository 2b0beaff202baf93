// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "WindowPlacement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace kestrix {

namespace {

class CenterOnFirstShow final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            centerOnScreen(static_cast<QWidget*>(watched));
            deleteLater();
        }
        return false;
    }
};

} // namespace

void centerOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void centerOnFirstShow(QWidget* window)
{
    window->installEventFilter(new CenterOnFirstShow(window));
}

} // namespace kestrix
