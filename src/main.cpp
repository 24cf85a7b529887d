// Composition root: single-instance rule, then the main window.
#include "ui/app/Application.h"

int main(int argc, char** argv)
{
    return tolvek::runApplication(argc, argv);
}
