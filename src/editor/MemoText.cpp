// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "MemoText.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>

namespace kestrix {

namespace {

// The box's text with only its line breaks changed: the plain-text reading
// would also turn no-break spaces into blanks and line separators into line
// feeds.
QString boxText(const QPlainTextEdit& box)
{
    QString text = box.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

} // namespace

MemoText::MemoText(QPlainTextEdit* box) : QObject(box), box_(box)
{
    connect(box_->document(), &QTextDocument::contentsChanged, this, &MemoText::followChange);
    box_->installEventFilter(this);
}

bool MemoText::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == box_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool lineBreak = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (lineBreak && (key->modifiers() & Qt::ShiftModifier)) {
            QKeyEvent plain(QEvent::KeyPress, key->key(), key->modifiers() & ~Qt::ShiftModifier, key->text(),
                            key->isAutoRepeat(), static_cast<quint16>(key->count()));
            QCoreApplication::sendEvent(box_, &plain);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void MemoText::set(const QString& text)
{
    setting_ = true;
    box_->setPlainText(text);
    setting_ = false;
    text_ = text;
    shown_ = boxText(*box_);
}

// Every change of the box's text is one stretch replaced (typing, deleting,
// pasting, undoing), so only what lies between the unchanged start and the
// unchanged end comes from the box.
void MemoText::followChange()
{
    if (setting_) return;
    const QString now = boxText(*box_);
    if (now == shown_) return;
    if (text_.size() != shown_.size()) {
        text_ = now;
    } else {
        const qsizetype shortest = std::min(shown_.size(), now.size());
        qsizetype start = 0;
        while (start < shortest && shown_[start] == now[start]) ++start;
        qsizetype end = 0;
        while (end < shortest - start && shown_[shown_.size() - 1 - end] == now[now.size() - 1 - end]) ++end;
        text_ = text_.left(start) + now.mid(start, now.size() - start - end) + text_.right(end);
    }
    shown_ = now;
}

} // namespace kestrix
