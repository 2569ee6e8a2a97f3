// The window program: sets the application title, shows the main window, runs the message loop.
#include <QApplication>

#include "Dialogs.h"
#include "Unit1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("parvex");
  QApplication::setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));
  TQtDialogs dialogs;
  TForm1 form(dialogs, NorvexLibraryFactory());
  form.show();
  return app.exec();
}
