#pragma once
// The main window: open a PDF and see its facts, check a password, write an encrypted or a
// decrypted copy, and save edited information fields back into the opened file.
#include <QDateTime>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "Library.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class TBalloonControl;
class TDialogs;

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kInfoCount = 7;        // PDF Version, Author, Title, Subject, Keywords, Creator, Producer
  static constexpr int kPermissionCount = 7;  // the seven "Allow ..." boxes

  // The dialogs are not owned and must outlive the window; the factory makes the library object
  // on the first Open that gets past its dialog.
  TForm1(TDialogs& dialogs, TLibraryFactory libraryFactory, QWidget* parent = nullptr);
  ~TForm1() override;

  // The commands, as their buttons run them.
  void Open();
  void Save();
  void Encrypt();
  void Decrypt();
  void VerifyPassword();
  void About();
  void Exit();
  // Open on a given file, as if the open dialog had chosen it (dropping a file on the window).
  void OpenFile(const QString& fileName);

  QLineEdit* FileNameEdit() const { return fileName_; }
  QLineEdit* InfoEdit(int index) const { return info_[index]; }
  QCheckBox* PermissionBox(int number) const { return permission_[number - 1]; }  // 1 to 7
  QLineEdit* UserPasswordEdit() const { return userPassword_; }
  QLineEdit* OwnerPasswordEdit() const { return ownerPassword_; }
  QLabel* FileSizeValue() const { return fileSize_; }
  QLabel* PagesValue() const { return pages_; }
  QLabel* PaperSizeValue() const { return paperSize_; }
  QLabel* LastModifiedValue() const { return lastModified_; }
  QLabel* EncryptionValue() const { return encryption_; }
  QPushButton* OpenButton() const { return open_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* EncryptButton() const { return encrypt_; }
  QPushButton* DecryptButton() const { return decrypt_; }
  QPushButton* VerifyPasswordButton() const { return verify_; }
  QPushButton* AboutButton() const { return about_; }
  QPushButton* ExitButton() const { return exit_; }
  TBalloonControl* Balloon() const { return balloon_; }
  TLibrary* Library() const { return library_.get(); }

  // "Last Modified": local time cut to 2 seconds, short date and long time (no time at midnight).
  static QString LastModifiedText(const QDateTime& modified, const QLocale& locale);
  // "Paper Size": width and height in general form, at most 15 significant digits.
  static QString PaperSizeText(double width, double height, const QLocale& locale);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void SetTabOrder();
  void RunOpen(const std::optional<QString>& chosen);
  bool MeasureFile();
  void ShowPages();
  void ShowEncryption();
  bool CheckPasswords(bool reportNotEncrypted);
  void ShowPermissions();
  void ShowInformation();
  QString SaveFailure();
  int32_t RunWithProgress(const QString& label, const std::function<int32_t()>& operation);
  void Message(const QString& text);
  void InfoChanged();

  TDialogs& dialogs_;
  TLibraryFactory libraryFactory_;
  std::unique_ptr<TLibrary> library_;
  bool loaded_ = false;    // the last Open loaded its file into the library
  bool busy_ = false;      // a file operation runs; events are handled only to keep the window painted
  QString openFileName_;   // the open dialog's current file
  QString saveFileName_;   // the save dialog's current file

  QLineEdit* fileName_;
  std::array<QLineEdit*, kInfoCount> info_;
  QLabel* fileSize_;
  QLabel* pages_;
  QLabel* paperSize_;
  QLabel* lastModified_;
  QLabel* encryption_;
  std::array<QCheckBox*, kPermissionCount> permission_;
  QLineEdit* userPassword_;
  QLineEdit* ownerPassword_;
  QPushButton* verify_;
  QPushButton* open_;
  QPushButton* save_;
  QPushButton* encrypt_;
  QPushButton* decrypt_;
  QPushButton* about_;
  QPushButton* exit_;
  QLabel* footer_;
  QLabel* webLink_;
  TBalloonControl* balloon_;
  QProgressDialog* progress_ = nullptr;
};

// The plain-words reason for a failed file operation, from the library's last error code.
QString FileOperationFailure(int32_t errorCode);
