// Writes PNG pictures of the main window and of its About balloon, for people to look at.
// Usage: parvex-screenshots <out-dir> <pdf> <user-password>
// The window opens the PDF with the user password typed in (messages are printed, not shown),
// is saved as window.png, then About is pressed and the window with the balloon is saved as
// about.png (the balloon cut to its own shape, as a window manager would show it).
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QLineEdit>
#include <cstdio>

#include "Balloon.h"
#include "Dialogs.h"
#include "Unit1.h"

namespace {

class PrintedDialogs : public TDialogs {
 public:
  QString OpenFile(QWidget*, const QString&) override { return {}; }
  QString SaveFile(QWidget*, const QString&) override { return {}; }
  void ShowMessage(QWidget*, const QString& text) override {
    std::printf("message: %s\n", text.toUtf8().constData());
    ++count;
  }
  int count = 0;
};

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// The window and a popup as they would appear on screen together.
QImage Compose(QWidget& window, TBalloon& balloon) {
  const QPoint origin = window.mapToGlobal(QPoint(0, 0));
  const QRect windowRect(origin, window.size());
  const QRect all = windowRect.united(balloon.geometry()).adjusted(-8, -8, 8, 8);
  QImage image(all.size(), QImage::Format_RGB32);
  image.fill(QColor(90, 110, 130));
  QPainter painter(&image);
  painter.drawPixmap(windowRect.topLeft() - all.topLeft(), window.grab());
  const QPoint at = balloon.pos() - all.topLeft();
  painter.setClipRegion(balloon.Shape().translated(at));
  painter.drawPixmap(at, balloon.grab());
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: parvex-screenshots <out-dir> <pdf> <user-password>\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  PrintedDialogs dialogs;
  TForm1 form(dialogs, NorvexLibraryFactory());
  form.move(40, 40);
  form.show();
  form.UserPasswordEdit()->setText(QString::fromLocal8Bit(argv[3]));
  form.OpenFile(QString::fromLocal8Bit(argv[2]));
  Settle();
  if (!form.Library()) {
    std::fprintf(stderr, "parvex-screenshots: the window made no library object\n");
    return 1;
  }
  const QString windowPng = out.filePath("window.png"), aboutPng = out.filePath("about.png");
  if (!form.grab().save(windowPng)) return 1;

  form.About();
  Settle();
  auto* balloon = form.findChild<TBalloon*>();
  if (!balloon || !Compose(form, *balloon).save(aboutPng)) return 1;
  std::printf("wrote %s\nwrote %s\n", windowPng.toUtf8().constData(), aboutPng.toUtf8().constData());
  return 0;
}
