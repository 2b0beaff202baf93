// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QObject>
#include <QString>

class QPlainTextEdit;

namespace kestrix {

// The memo's text, kept exactly. The memo box's document cannot hold every
// character as it is: it turns a paragraph separator (U+2029), a lone carriage
// return and the noncharacters U+FDD0 and U+FDD1 into line breaks. So the text
// the box was given is kept beside it, and each change the user makes is
// folded into that text: whatever the user did not touch stays as given.
//
// A line break the user types is stored as one, CR LF, whichever key made it:
// the box would make Shift+Return a line separator (U+2028), which other
// programs show oddly or not at all.
//
// Lives as a child of its box.
class MemoText : public QObject {
    Q_OBJECT

public:
    explicit MemoText(QPlainTextEdit* box);

    void set(const QString& text);
    const QString& text() const { return text_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followChange();

    QPlainTextEdit* box_;
    QString text_;
    // The box's text as last seen, read back the same way; one character for
    // each of text_'s, but for a text set with CR LF pairs in it.
    QString shown_;
    bool setting_ = false;
};

} // namespace kestrix
