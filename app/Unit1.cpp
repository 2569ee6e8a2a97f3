#include "Unit1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "Balloon.h"
#include "Dialogs.h"
#include "TextCodec.h"
#include "uNorvex.h"

namespace {

// How long a file operation runs before its progress dialog appears.
constexpr int kProgressDelayMs = 400;

const char* const kInfoNames[TForm1::kInfoCount] = {"PDF Version", "Author",  "Title",   "Subject",
                                                    "Keywords",    "Creator", "Producer"};
const int kInfoTops[TForm1::kInfoCount] = {64, 88, 112, 136, 160, 184, 208};
const int kInfoCaptionTops[TForm1::kInfoCount] = {65, 89, 113, 137, 162, 186, 210};

const char* const kPermissionNames[TForm1::kPermissionCount] = {
    "Allow Printing",
    "Allow Changing the document",
    "Allow Content copying and extraction",
    "Allow Authoring comments and form fields",
    "Allow Signing and filling in form fields",
    "Allow Content accessibility",
    "Allow Document assembly"};

const char* const kAboutLines[] = {
    "Parvex Encryptor Decryptor 2.00",
    "",
    "Writes a copy of a PDF file protected by a user password and an",
    "owner password (128-bit RC4), with the permissions you choose,",
    "and writes an unprotected copy given either password.",
    "",
    "Shows a PDF's facts and edits its information fields.",
    "",
};

// Text between the controls and the library: Windows-1252 bytes when every character fits.
std::string ToLibrary(const QString& text) { return textcodec::Utf8ToLibrary(text.toUtf8().toStdString()); }
QString FromLibrary(const std::string& bytes) { return QString::fromStdString(textcodec::LibraryToUtf8(bytes)); }
// File names are passed as the file system's own bytes.
std::string FileBytes(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

// The layout is drawn for narrow fonts; where the system's stand-in runs wider, a control's
// font is narrowed (condensed, then smaller) until it fits the room it has.
void FitWidth(QWidget* widget, int room) {
  QFont font = widget->font();
  if (widget->sizeHint().width() <= room) return;
  font.setStretch(QFont::Condensed);
  widget->setFont(font);
  auto canShrink = [&] { return font.pixelSize() > 0 ? font.pixelSize() > 9 : font.pointSizeF() > 6; };
  while (widget->sizeHint().width() > room && canShrink()) {
    if (font.pixelSize() > 0) font.setPixelSize(font.pixelSize() - 1);
    else font.setPointSizeF(font.pointSizeF() - 0.5);
    widget->setFont(font);
  }
}

// The value labels end where the permission boxes begin.
constexpr int kValueRoom = 232 - 4 - 128;

void SetValue(QLabel* label, const QString& text) {
  label->setFont(QFont());  // back to the window's font; FitWidth narrows it again when needed
  label->setText(text);
  FitWidth(label, kValueRoom);
  label->adjustSize();
}

// A refused file operation leaves its output behind as an empty file; one the command created
// is removed again, so a failed command leaves no empty PDF behind.
void RemoveEmptyLeftover(const QString& output, bool existedBefore) {
  const QFileInfo info(output);
  if (!existedBefore && info.exists() && info.size() == 0) QFile::remove(output);
}

// The locale's long time format without its time-zone part.
QString LongTimeFormat(const QLocale& locale) {
  QString format = locale.timeFormat(QLocale::LongFormat), out;
  bool quoted = false;
  for (QChar c : format) {
    if (c == '\'') quoted = !quoted;
    if (!quoted && c == 't') continue;
    out += c;
  }
  return out.trimmed();
}

}  // namespace

TForm1::TForm1(TDialogs& dialogs, TLibraryFactory libraryFactory, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), libraryFactory_(std::move(libraryFactory)) {
  setWindowTitle(QString::fromUtf8(kApplicationTitle));
  setFont(QFont("MS Sans Serif", 8));
  resize(561, 512);
  setMinimumWidth(270);
  setAcceptDrops(true);
  BuildControls();
  SetTabOrder();
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

TForm1::~TForm1() = default;

void TForm1::BuildControls() {
  QFont captionFont("Arial");
  captionFont.setPixelSize(13);
  captionFont.setBold(true);
  auto caption = [&](const char* text, int left, int top, int fieldLeft) {
    auto* label = new QLabel(QString::fromUtf8(text), this);
    label->setFont(captionFont);
    FitWidth(label, fieldLeft - 4 - left);
    label->move(left, top);
    label->adjustSize();
  };
  auto edit = [&](const char* name, int left, int top, int width, int height) {
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    field->setGeometry(left, top, width, height);
    return field;
  };
  auto value = [&](const char* name, int left, int top) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    SetValue(label, "n/a");
    return label;
  };
  auto button = [&](const char* text, int top) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    b->setGeometry(456, top, 75, 41);
    return b;
  };

  caption("File Name", 32, 41, 128);
  fileName_ = edit("FileName", 128, 40, 305, 21);
  for (int i = 0; i < kInfoCount; ++i) {
    caption(kInfoNames[i], 32, kInfoCaptionTops[i], 128);
    info_[i] = edit(kInfoNames[i], 128, kInfoTops[i], 305, 21);
    connect(info_[i], &QLineEdit::textChanged, this, &TForm1::InfoChanged);
  }
  caption("File Size", 32, 237, 128);
  fileSize_ = value("FileSize", 128, 241);
  caption("Pages", 32, 262, 128);
  pages_ = value("Pages", 128, 265);
  caption("Paper Size", 32, 287, 128);
  paperSize_ = value("PaperSize", 128, 289);
  caption("Last Modified", 32, 311, 128);
  lastModified_ = value("LastModified", 128, 313);
  caption("Encryption", 32, 335, 128);
  encryption_ = value("Encryption", 128, 337);

  for (int i = 0; i < kPermissionCount; ++i) {
    permission_[i] = new QCheckBox(QString::fromUtf8(kPermissionNames[i]), this);
    permission_[i]->move(232, 232 + 24 * i);
    FitWidth(permission_[i], 456 - 4 - 232);  // ends before the buttons
    permission_[i]->adjustSize();
  }

  caption("User Password", 40, 401, 144);
  userPassword_ = edit("UserPassword", 144, 400, 121, 19);
  caption("Owner Password", 32, 425, 144);
  ownerPassword_ = edit("OwnerPassword", 144, 424, 121, 19);
  for (QLineEdit* field : {userPassword_, ownerPassword_})
    connect(field, &QLineEdit::textChanged, this, [this] { verify_->setEnabled(true); });

  verify_ = new QPushButton("Verify Password", this);
  verify_->setGeometry(280, 400, 105, 41);
  open_ = button("Open", 40);
  save_ = button("Save", 96);
  save_->setEnabled(false);
  encrypt_ = button("Encrypt", 152);
  decrypt_ = button("Decrypt", 208);
  about_ = button("About", 264);
  exit_ = button("Exit", 320);
  connect(verify_, &QPushButton::clicked, this, &TForm1::VerifyPassword);
  connect(open_, &QPushButton::clicked, this, &TForm1::Open);
  connect(save_, &QPushButton::clicked, this, &TForm1::Save);
  connect(encrypt_, &QPushButton::clicked, this, &TForm1::Encrypt);
  connect(decrypt_, &QPushButton::clicked, this, &TForm1::Decrypt);
  connect(about_, &QPushButton::clicked, this, &TForm1::About);
  connect(exit_, &QPushButton::clicked, this, &TForm1::Exit);

  footer_ = new QLabel("Parvex Encryptor Decryptor 2.00 - protect and unprotect PDF files", this);
  footer_->move(16, 457);
  footer_->adjustSize();
  webLink_ = new QLabel("<a href=\"https://parvex.example/\">parvex.example</a>", this);
  webLink_->setOpenExternalLinks(true);
  webLink_->move(400, 459);
  webLink_->adjustSize();

  balloon_ = new TBalloonControl(this);
  balloon_->Control = open_;
  balloon_->Horizontal = blnLeft;
  balloon_->Vertical = blnCenter;
  balloon_->Position = blnArrowTopLeft;
  balloon_->BalloonType = blnInfo;
  balloon_->Duration = 0;
}

void TForm1::SetTabOrder() {
  QList<QWidget*> order{fileName_};
  for (QLineEdit* field : info_) order << field;
  order << open_ << save_ << about_ << exit_ << encrypt_ << decrypt_;
  for (QCheckBox* box : permission_) order << box;
  order << userPassword_ << ownerPassword_ << verify_;
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void TForm1::Message(const QString& text) { dialogs_.ShowMessage(this, text); }

void TForm1::InfoChanged() {
  if (!fileName_->text().isEmpty()) save_->setEnabled(true);
}

QString TForm1::LastModifiedText(const QDateTime& modified, const QLocale& locale) {
  const QDateTime local = modified.toLocalTime();
  const QTime exact = local.time();
  // File times are shown at the 2-second resolution of DOS dates.
  const QTime time(exact.hour(), exact.minute(), exact.second() & ~1);
  QString text = locale.toString(local.date(), QLocale::ShortFormat);
  if (time != QTime(0, 0)) text += ' ' + locale.toString(time, LongTimeFormat(locale));
  return text;
}

QString TForm1::PaperSizeText(double width, double height, const QLocale& locale) {
  QLocale plain(locale);
  plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
  return plain.toString(width, 'g', 15) + " x " + plain.toString(height, 'g', 15) + " pixels";
}

void TForm1::Open() {
  if (!busy_) RunOpen(std::nullopt);
}

void TForm1::OpenFile(const QString& fileName) {
  if (!busy_) RunOpen(fileName);
}

void TForm1::RunOpen(const std::optional<QString>& chosen) {
  const QString name = chosen ? *chosen : dialogs_.OpenFile(this, openFileName_);
  if (name.isEmpty()) return;
  openFileName_ = name;
  for (QCheckBox* box : permission_) box->setChecked(true);
  fileName_->setText(name);
  if (!library_ && libraryFactory_) library_ = libraryFactory_();
  if (!library_) {
    Message("The PDF library could not be started.");
    return;
  }
  if (!MeasureFile()) return;
  ShowPages();
  SetValue(lastModified_, LastModifiedText(QFileInfo(name).lastModified(), QLocale()));

  loaded_ = library_->LoadFromFile(FileBytes(name)) == 1;
  const bool repaired = loaded_ && library_->Repaired();
  QStringList repairs;
  for (const std::string& warning : library_->Warnings()) repairs << QString::fromStdString(warning);
  if (!loaded_) {
    // The library still holds the previous document: show nothing of it and offer no Save.
    SetValue(encryption_, "n/a");
    for (QLineEdit* field : info_) field->clear();
    save_->setEnabled(false);
    Message(name + " could not be read as a PDF file.");
    return;
  }

  ShowEncryption();
  if (library_->Encrypted() != 0) {
    if (!userPassword_->text().isEmpty() || !ownerPassword_->text().isEmpty()) {
      if (!CheckPasswords(false)) return;
    }
    ShowPermissions();
  }
  ShowInformation();
  save_->setEnabled(false);
  if (repaired) Message("The file was damaged and has been repaired:\n" + repairs.join("\n"));
}

bool TForm1::MeasureFile() {
  QFile file(openFileName_);
  if (!file.open(QIODevice::ReadOnly)) {
    Message("Cannot open file " + openFileName_);
    return false;
  }
  // The low 32 bits of the size, read as unsigned.
  SetValue(fileSize_, QString::number(static_cast<quint32>(file.size())) + " bytes");
  return true;
}

void TForm1::ShowPages() {
  // A file that needs a password is opened with the typed ones, so its pages are counted too.
  const std::string file = FileBytes(openFileName_);
  int32_t handle = library_->DAOpenFile(file, "");
  for (QLineEdit* field : {userPassword_, ownerPassword_})
    if (handle == 0 && !field->text().isEmpty()) handle = library_->DAOpenFile(file, ToLibrary(field->text()));
  const int32_t count = library_->DAGetPageCount(handle);
  SetValue(pages_, QString::number(count) + (count >= 2 ? " pages" : " page"));
  const int32_t page = library_->DAFindPage(handle, 1);
  const double width = library_->DAGetPageWidth(handle, page);
  const double height = library_->DAGetPageHeight(handle, page);
  SetValue(paperSize_, PaperSizeText(width, height, QLocale()));
  library_->DACloseFile(handle);
}

void TForm1::ShowEncryption() {
  if (library_->Encrypted() == 0)
    SetValue(encryption_, "Not encrypted");
  else if (library_->Encrypted() == 1)
    SetValue(encryption_, QString::number(library_->EncryptionStrength()) + "-bit encryption");
  else if (library_->Encrypted() == 2)
    SetValue(encryption_, "Encrypted");
}

// Checks the typed passwords against the selected document and says what each check gave.
// A block with no result (an empty field and nothing before it) says nothing. False when the
// last check refused its password.
bool TForm1::CheckPasswords(bool reportNotEncrypted) {
  std::optional<int32_t> r;
  auto report = [&](const char* incorrect, bool notEncrypted) {
    if (!r) return;
    if (*r == 0) Message(incorrect);
    else if (*r == 1) Message("User password OK!");
    else if (*r == 2) Message("Owner password OK!");
    else if (*r == 3 && notEncrypted) Message("Not encrypted!");
  };
  if (!userPassword_->text().isEmpty()) r = library_->SetPassword(ToLibrary(userPassword_->text()));
  report("Incorrect user password", false);
  if (!ownerPassword_->text().isEmpty()) r = library_->SetPassword(ToLibrary(ownerPassword_->text()));
  report("Incorrect owner password", reportNotEncrypted);
  return !(r && *r == 0);
}

void TForm1::ShowPermissions() {
  for (int k = 3; k <= 9; ++k) {
    const int32_t code = library_->SecurityInfo(k);
    if (code == 0 || code == 2 || code == 5) permission_[k - 3]->setChecked(false);
  }
}

void TForm1::ShowInformation() {
  for (int i = 0; i < kInfoCount; ++i) info_[i]->setText(FromLibrary(library_->GetInformation(i)));
}

void TForm1::Save() {
  if (busy_ || !library_) return;
  if (!loaded_) {
    Message("Not updated: " + openFileName_ + " could not be read as a PDF file.");
    return;
  }
  const QString failure = SaveFailure();
  Message(failure.isEmpty() ? QStringLiteral("Updated") : failure);
}

// Stores the information fields and writes the document back; empty text when both succeeded,
// otherwise what went wrong, in plain words.
QString TForm1::SaveFailure() {
  bool refusedEncrypted = false;
  QStringList notStored;
  for (int i = 0; i < kInfoCount; ++i) {
    const QString text = info_[i]->text();
    if (library_->SetInformation(i, ToLibrary(text)) != 1 && library_->LastErrorCode() == 201) {
      refusedEncrypted = true;
      continue;
    }
    // The library may pass over a value without refusing it (a PDF Version it cannot write), so
    // what it stores is read back; a value that already was the stored one loses nothing.
    if (FromLibrary(library_->GetInformation(i)) != text)
      notStored << (i == 0 ? QStringLiteral("PDF Version (1.0 to 1.5 only)") : QString(kInfoNames[i]));
  }
  const bool written = library_->SaveToFile(FileBytes(openFileName_)) == 1;
  if (!refusedEncrypted && notStored.isEmpty() && written) return {};

  QStringList lines{QStringLiteral("Not updated.")};
  if (refusedEncrypted) lines << "The document is encrypted, so its information fields cannot be changed.";
  if (!notStored.isEmpty()) lines << "These fields could not be stored as typed: " + notStored.join(", ") + ".";
  const int32_t code = written ? 0 : library_->LastErrorCode();
  if (code == TNorvex::kCodeCopyUnsound || code == TNorvex::kCodeSourceChanged)
    lines << "The file was not written: " + FileOperationFailure(code);
  else if (!written) lines << "The file could not be written: " + openFileName_;
  else lines << "The file was written without these changes.";
  return lines.join('\n');
}

int32_t TForm1::RunWithProgress(const QString& label, const std::function<int32_t()>& operation) {
  QProgressDialog dialog(label, QString(), 0, 100, this);
  dialog.setWindowTitle(QString::fromUtf8(kApplicationTitle));
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setCancelButton(nullptr);  // the library's file operations run to their end
  dialog.setMinimumDuration(kProgressDelayMs);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setValue(0);
  progress_ = &dialog;
  library_->SetProgress([this](int32_t percent) {
    progress_->setValue(std::clamp(percent, 0, 100));
    // Keep the window painted; commands stay locked out while busy_ is set.
    QCoreApplication::processEvents();
  });
  busy_ = true;
  const int32_t result = operation();
  busy_ = false;
  library_->SetProgress({});
  progress_ = nullptr;
  return result;
}

void TForm1::Encrypt() {
  if (busy_) return;
  if (fileName_->text().isEmpty()) RunOpen(std::nullopt);
  if (!library_) return;  // no Open got past its dialog yet
  const QString output = dialogs_.SaveFile(this, saveFileName_);
  if (output.isEmpty()) return;
  saveFileName_ = output;
  auto box = [&](int number) { return PermissionBox(number)->isChecked() ? 1 : 0; };
  // Printing grants both the print and the high-quality print flag.
  const int32_t permissions =
      library_->Permissions(box(1), box(3), box(2), box(4), box(5), box(6), box(7), box(1));
  const std::string owner = ToLibrary(ownerPassword_->text());
  const std::string user = ToLibrary(userPassword_->text());
  const bool existed = QFileInfo::exists(output);
  const int32_t result = RunWithProgress("Encrypting...", [&] {
    return library_->EncryptFile(FileBytes(openFileName_), FileBytes(output), owner, user, 1, permissions);
  });
  if (result != 1) RemoveEmptyLeftover(output, existed);
  Message(result == 1 ? "Success!" : "Failed");
}

void TForm1::Decrypt() {
  if (busy_) return;
  if (fileName_->text().isEmpty()) RunOpen(std::nullopt);
  const QString encryption = encryption_->text();
  if (!encryption.contains("-bit") && encryption != "Encrypted") {
    Message("Not encrypted!");
    return;
  }
  const QString user = userPassword_->text(), owner = ownerPassword_->text();
  if (user.isEmpty() && owner.isEmpty()) Message("Warning: No password input");
  const QString output = dialogs_.SaveFile(this, saveFileName_);
  if (output.isEmpty()) return;
  saveFileName_ = output;
  if (!library_) return;
  // One copy per password: the owner password is tried only when the user password failed,
  // so a good first copy is never overwritten.
  auto decrypt = [&](const QString& password) {
    return RunWithProgress("Decrypting...", [&] {
      return library_->DecryptFile(FileBytes(openFileName_), FileBytes(output), ToLibrary(password));
    });
  };
  const bool existed = QFileInfo::exists(output);
  int32_t result = decrypt(user);
  if (result != 1 && !owner.isEmpty()) result = decrypt(owner);
  if (result != 1) RemoveEmptyLeftover(output, existed);
  Message(result == 1 ? QStringLiteral("Done!") : "Failed: " + FileOperationFailure(library_->LastErrorCode()));
}

void TForm1::VerifyPassword() {
  if (busy_ || fileName_->text().isEmpty()) return;
  if (!library_ || !loaded_) return;  // nothing is open to check against
  CheckPasswords(true);
}

void TForm1::About() {
  balloon_->Title = "About Parvex Encryptor Decryptor";
  balloon_->Text.clear();
  for (const char* line : kAboutLines) balloon_->Text << QString::fromUtf8(line);
  balloon_->ShowBalloon();
}

void TForm1::Exit() { close(); }

void TForm1::closeEvent(QCloseEvent* event) {
  if (busy_) event->ignore();  // a file operation is still writing
  else QWidget::closeEvent(event);
}

static QString DroppedPdf(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().first();
  if (!url.isLocalFile()) return {};
  const QString path = url.toLocalFile();
  return QFileInfo(path).suffix().compare("pdf", Qt::CaseInsensitive) == 0 ? path : QString();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (!busy_ && !DroppedPdf(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QString path = DroppedPdf(event->mimeData());
  if (busy_ || path.isEmpty()) return;
  event->acceptProposedAction();
  OpenFile(path);
}

QString FileOperationFailure(int32_t errorCode) {
  switch (errorCode) {
    case 401: return "the PDF file could not be opened.";
    case 402: return "the output file exists and could not be deleted.";
    case 403: return "the output file could not be written.";
    case 404: return "the password is neither the user password nor the owner password.";
    case 405: return "the file is not encrypted in a way this program can decrypt.";
    case 406: return "the file is already encrypted.";
    case 407: return "the encryption strength is not supported.";
    case 408: return "the permission settings are not valid.";
    case 409: return "the file could not be read as a PDF.";
    case TNorvex::kCodeCopyUnsound:
      return "the written file did not read back whole; the PDF file is damaged or could be read only in part. "
             "Nothing was replaced.";
    case TNorvex::kCodeSourceChanged: return "the PDF file changed while it was being read. Nothing was replaced.";
    default: return QString("the library reported error %1.").arg(errorCode);
  }
}
