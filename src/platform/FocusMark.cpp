// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "FocusMark.h"

#include <QEvent>
#include <QWidget>

namespace kestrix {

namespace {

// The toolkit forgets that the keyboard moved the focus each time the window
// is shown; it is told again once the window shows.
class MarkFocusOnShow final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) static_cast<QWidget*>(watched)->setAttribute(Qt::WA_KeyboardFocusChange);
        return false;
    }
};

} // namespace

void markFocusFromStart(QWidget* window)
{
    window->installEventFilter(new MarkFocusOnShow(window));
}

} // namespace kestrix
