// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// A window that lets files be dragged out of it, as a file manager does, so
// a drop on Kestrix can be tried and shown under a virtual display:
//   kestrix_drag_source FILE...
// Pressing the mouse in it starts dragging the files.
#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace {

class DragSource final : public QLabel {
public:
    explicit DragSource(const QStringList& files) : files_(files)
    {
        QStringList names;
        for (const QString& file : files) names << QFileInfo(file).fileName();
        setText(names.join(QLatin1Char('\n')));
        setWindowTitle(QStringLiteral("Files"));
        setMargin(16);
    }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& file : files_) urls << QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
        data->setUrls(urls);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);
    }

private:
    QStringList files_;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    DragSource source(QApplication::arguments().mid(1));
    source.show();
    return QApplication::exec();
}
