// The window program: sets the application title, shows the main window, runs the message loop.
// --quit-after MS presses Exit after that many milliseconds (the start-and-quit check uses it).
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "Dialogs.h"
#include "Unit1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("parvex");
  QApplication::setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));

  QCommandLineParser options;
  options.addHelpOption();
  QCommandLineOption quitAfter("quit-after", "Press Exit after <ms> milliseconds.", "ms");
  options.addOption(quitAfter);
  options.addPositionalArgument("file", "A PDF file to open.", "[file]");
  options.process(app);

  TQtDialogs dialogs;
  TForm1 form(dialogs, NorvexLibraryFactory());
  form.show();
  if (!options.positionalArguments().isEmpty()) {
    const QString file = options.positionalArguments().first();
    QTimer::singleShot(0, &form, [&form, file] { form.OpenFile(file); });
  }
  if (options.isSet(quitAfter))
    QTimer::singleShot(options.value(quitAfter).toInt(), &form, [&form] { form.Exit(); });
  return app.exec();
}
