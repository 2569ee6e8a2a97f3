#pragma once
// The window's modal dialogs behind one seam: the program shows real file dialogs and message
// boxes, tests answer them from a script.
#include <QFileDialog>
#include <QString>
#include <memory>

class QWidget;

// The application title: the window's caption and the caption of every message box.
inline constexpr char kApplicationTitle[] = "Parvex Encryptor Decryptor 2.00";

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // Runs the open dialog starting at the given file; the chosen file, or empty when cancelled.
  virtual QString OpenFile(QWidget* parent, const QString& current) = 0;
  // Runs the save dialog starting at the given file; the chosen file, or empty when cancelled.
  virtual QString SaveFile(QWidget* parent, const QString& current) = 0;
  // Shows a modal message box captioned with the application title, with one OK button.
  virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
};

// The program's dialogs: QFileDialog with the PDF filter (any letter case) and QMessageBox.
class TQtDialogs : public TDialogs {
 public:
  QString OpenFile(QWidget* parent, const QString& current) override;
  QString SaveFile(QWidget* parent, const QString& current) override;
  void ShowMessage(QWidget* parent, const QString& text) override;

  // The dialog OpenFile (AcceptOpen) or SaveFile (AcceptSave) runs, set up but not shown.
  static std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const QString& current,
                                                     QFileDialog::AcceptMode mode);
};

// The file dialogs' filter; its pattern matches .pdf in any letter case.
QString PdfFileFilter();
