#include "editor/Form4.h"
#include "platform/QtPlatform.h"
#include "platform/SvgIcon.h"
#include "storage/Module1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrix"));
    QApplication::setWindowIcon(kestrix::applicationIcon());

    // The card files live in the working directory.
    kestrix::Module1 module(QStringLiteral("."));
    kestrix::QtPlatform platform;
    kestrix::Form4 editor(module, platform);
    editor.show();
    return QApplication::exec();
}
