#include <QMessageBox>

#include "Dialogs.h"

QString PdfFileFilter() { return QStringLiteral("Adobe PDF files (*.PDF)"); }

std::unique_ptr<QFileDialog> TQtDialogs::MakeFileDialog(QWidget* parent, const QString& current,
                                                        QFileDialog::AcceptMode mode) {
  auto dialog = std::make_unique<QFileDialog>(parent);
  dialog->setAcceptMode(mode);
  // Qt's own dialog, so that the filter works the same everywhere; neither dialog asks before
  // overwriting, like the rest of the window (the commands replace files without asking).
  dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
  dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog->setNameFilter(PdfFileFilter());
  // Matching ignores letter case, so report.pdf and REPORT.PDF both show under *.PDF.
  dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);
  if (mode == QFileDialog::AcceptSave) dialog->setDefaultSuffix(QStringLiteral("PDF"));
  if (!current.isEmpty()) dialog->selectFile(current);
  return dialog;
}

static QString RunFileDialog(QWidget* parent, const QString& current, QFileDialog::AcceptMode mode) {
  auto dialog = TQtDialogs::MakeFileDialog(parent, current, mode);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
  return dialog->selectedFiles().first();
}

QString TQtDialogs::OpenFile(QWidget* parent, const QString& current) {
  return RunFileDialog(parent, current, QFileDialog::AcceptOpen);
}

QString TQtDialogs::SaveFile(QWidget* parent, const QString& current) {
  return RunFileDialog(parent, current, QFileDialog::AcceptSave);
}

void TQtDialogs::ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, parent);
  box.exec();
}
