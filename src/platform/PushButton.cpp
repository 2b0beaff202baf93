// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "PushButton.h"

#include "EnterPressesButton.h"

#include <QPushButton>

namespace kestrix {

QPushButton* addPushButton(QWidget* window, const char* name, const char* caption, const QRect& geometry)
{
    auto* button = new QPushButton(QLatin1String(caption), window);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    pressOnEnter(button);
    return button;
}

} // namespace kestrix
