// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SvgIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace kestrix {

namespace {

// Renders the drawing afresh for each requested size, so no size is ever
// scaled from another.
class SvgIconEngine final : public QIconEngine {
public:
    explicit SvgIconEngine(const QString& resourcePath) : path_(resourcePath), renderer_(resourcePath) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        if (mode == QIcon::Disabled) painter->setOpacity(painter->opacity() * 0.4);
        renderer_.render(painter, rect);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap image(size * scale);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            paint(&painter, QRect(QPoint(0, 0), image.size()), mode, state);
        }
        image.setDevicePixelRatio(scale);
        return image;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new SvgIconEngine(path_); }
    bool isNull() override { return !renderer_.isValid(); }

private:
    QString path_;
    QSvgRenderer renderer_;
};

} // namespace

QIcon svgIcon(const QString& resourcePath)
{
    return QIcon(new SvgIconEngine(resourcePath));
}

QIcon applicationIcon()
{
    return svgIcon(QStringLiteral(":/icons/kestrix.svg"));
}

} // namespace kestrix
