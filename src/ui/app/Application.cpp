#include "ui/app/Application.h"

#include "core/platform/SingleInstance.h"

#include <QApplication>
#include <QDialog>

namespace tolvek {

int runApplication(int argc, char** argv)
{
    QApplication app(argc, argv);
    QDialog dlg;
    dlg.show();
    return app.exec();
}

}  // namespace tolvek
