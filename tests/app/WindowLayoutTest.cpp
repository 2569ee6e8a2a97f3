// The window's fixed layout, tab order, the texts it formats, its file dialogs and file drops.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTimeZone>
#include <QUrl>

#include "AppTestSupport.h"
#include "TestSupport.h"

using apptest::Harness;

TEST(WindowLayout, ControlsSitWhereTheLayoutPutsThem) {
  Harness h;
  TForm1& f = *h.form;
  EXPECT_EQ(f.windowTitle(), "Parvex Encryptor Decryptor 2.00");
  EXPECT_EQ(f.size(), QSize(561, 512));
  EXPECT_EQ(f.minimumWidth(), 270);
  struct Row {
    QWidget* widget;
    QRect geometry;
  };
  const Row rows[] = {
      {f.FileNameEdit(), {128, 40, 305, 21}},      {f.InfoEdit(0), {128, 64, 305, 21}},
      {f.InfoEdit(1), {128, 88, 305, 21}},         {f.InfoEdit(2), {128, 112, 305, 21}},
      {f.InfoEdit(3), {128, 136, 305, 21}},        {f.InfoEdit(4), {128, 160, 305, 21}},
      {f.InfoEdit(5), {128, 184, 305, 21}},        {f.InfoEdit(6), {128, 208, 305, 21}},
      {f.UserPasswordEdit(), {144, 400, 121, 19}}, {f.OwnerPasswordEdit(), {144, 424, 121, 19}},
      {f.VerifyPasswordButton(), {280, 400, 105, 41}}, {f.OpenButton(), {456, 40, 75, 41}},
      {f.SaveButton(), {456, 96, 75, 41}},         {f.EncryptButton(), {456, 152, 75, 41}},
      {f.DecryptButton(), {456, 208, 75, 41}},     {f.AboutButton(), {456, 264, 75, 41}},
      {f.ExitButton(), {456, 320, 75, 41}},
  };
  for (const Row& r : rows) EXPECT_EQ(r.widget->geometry(), r.geometry) << r.widget->objectName().toStdString();

  const QPoint values[] = {{128, 241}, {128, 265}, {128, 289}, {128, 313}, {128, 337}};
  QLabel* labels[] = {f.FileSizeValue(), f.PagesValue(), f.PaperSizeValue(), f.LastModifiedValue(),
                      f.EncryptionValue()};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(labels[i]->pos(), values[i]);
    EXPECT_EQ(labels[i]->text(), "n/a");
  }
  const char* boxes[] = {"Allow Printing", "Allow Changing the document", "Allow Content copying and extraction",
                         "Allow Authoring comments and form fields", "Allow Signing and filling in form fields",
                         "Allow Content accessibility", "Allow Document assembly"};
  for (int i = 1; i <= 7; ++i) {
    EXPECT_EQ(f.PermissionBox(i)->text(), boxes[i - 1]);
    EXPECT_EQ(f.PermissionBox(i)->pos(), QPoint(232, 232 + 24 * (i - 1)));
    EXPECT_FALSE(f.PermissionBox(i)->isChecked());
  }
  EXPECT_FALSE(f.SaveButton()->isEnabled());
  EXPECT_TRUE(f.VerifyPasswordButton()->isEnabled());
  EXPECT_EQ(f.UserPasswordEdit()->echoMode(), QLineEdit::Normal);
}

TEST(WindowLayout, TabOrder) {
  Harness h;
  TForm1& f = *h.form;
  QList<QWidget*> expected{f.FileNameEdit()};
  for (int i = 0; i < 7; ++i) expected << f.InfoEdit(i);
  expected << f.OpenButton() << f.SaveButton() << f.AboutButton() << f.ExitButton() << f.EncryptButton()
           << f.DecryptButton();
  for (int i = 1; i <= 7; ++i) expected << f.PermissionBox(i);
  expected << f.UserPasswordEdit() << f.OwnerPasswordEdit();
  QWidget* w = f.FileNameEdit();
  for (qsizetype i = 1; i < expected.size(); ++i) {
    w = w->nextInFocusChain();
    while (!expected.contains(w)) w = w->nextInFocusChain();  // labels are not stops
    EXPECT_EQ(w, expected[i]) << "stop " << i;
  }
}

TEST(WindowText, LastModified) {
  const QLocale us(QLocale::English, QLocale::UnitedStates);
  const QLocale de(QLocale::German, QLocale::Germany);
  struct Case {
    QDateTime time;
    const QLocale& locale;
    const char* text;
  };
  const Case cases[] = {
      // Odd seconds and milliseconds are cut to the even second below.
      {QDateTime(QDate(2024, 3, 5), QTime(14, 7, 31, 900)), us, "3/5/24 2:07:30\u202fPM"},
      {QDateTime(QDate(2024, 3, 5), QTime(14, 7, 30)), de, "05.03.24 14:07:30"},
      {QDateTime(QDate(2024, 12, 31), QTime(0, 0, 0)), de, "31.12.24"},
      // One second past midnight is midnight at 2-second resolution.
      {QDateTime(QDate(2024, 12, 31), QTime(0, 0, 1)), de, "31.12.24"},
      {QDateTime(QDate(2024, 12, 31), QTime(0, 0, 2)), de, "31.12.24 00:00:02"},
  };
  for (const Case& c : cases) {
    QString got = TForm1::LastModifiedText(c.time, c.locale);
    got.replace(QChar(0x202F), ' ');
    EXPECT_EQ(got, QString::fromUtf8(c.text).replace(QChar(0x202F), ' '));
  }
  // A UTC time is shown in local time.
  const QDateTime utc(QDate(2024, 6, 1), QTime(12, 0, 0), Qt::UTC);
  EXPECT_EQ(TForm1::LastModifiedText(utc, de), TForm1::LastModifiedText(utc.toLocalTime(), de));
}

TEST(WindowText, PaperSize) {
  const QLocale us(QLocale::English, QLocale::UnitedStates);
  const QLocale de(QLocale::German, QLocale::Germany);
  EXPECT_EQ(TForm1::PaperSizeText(612, 792, us), "612 x 792 pixels");
  EXPECT_EQ(TForm1::PaperSizeText(595.2756, 841.8898, de), "595,2756 x 841,8898 pixels");
  EXPECT_EQ(TForm1::PaperSizeText(14400, 0.5, us), "14400 x 0.5 pixels");  // no group separator
  EXPECT_EQ(TForm1::PaperSizeText(1.0 / 3, 0, us), "0.333333333333333 x 0 pixels");
}

TEST(WindowText, FailureReasons) {
  EXPECT_EQ(FileOperationFailure(404), "the password is neither the user password nor the owner password.");
  EXPECT_EQ(FileOperationFailure(409), "the file could not be read as a PDF.");
  EXPECT_EQ(FileOperationFailure(77), "the library reported error 77.");
}

TEST(WindowDialogs, PdfFilterMatchesAnyLetterCase) {
  apptest::App();
  const std::string dir = testsupport::TempDir("app_filter");
  for (const char* name : {"a.pdf", "b.PDF", "c.Pdf", "d.txt", "e.pdf.bak"})
    testsupport::WriteFile(dir + "/" + name, "x");
  for (auto mode : {QFileDialog::AcceptOpen, QFileDialog::AcceptSave}) {
    auto dialog = TQtDialogs::MakeFileDialog(nullptr, QString(), mode);
    EXPECT_EQ(dialog->nameFilters(), QStringList{"Adobe PDF files (*.PDF)"});
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    // The dialog lists files through the same name matching as QDir with its filter flags.
    QStringList shown = QDir(QString::fromStdString(dir)).entryList({"*.PDF"}, dialog->filter() | QDir::Files);
    EXPECT_EQ(shown, (QStringList{"a.pdf", "b.PDF", "c.Pdf"}));
    EXPECT_EQ(dialog->defaultSuffix(), mode == QFileDialog::AcceptSave ? "PDF" : "");
  }
}

TEST(WindowDrop, DroppingAPdfOpensIt) {
  Harness h;
  const std::string dir = testsupport::TempDir("app_drop");
  testsupport::WriteFile(dir + "/dropped.PDF", "%PDF");
  testsupport::WriteFile(dir + "/notes.txt", "x");
  auto drop = [&](const std::string& file) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir + "/" + file))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(h.form.get(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(h.form.get(), &event);
    return true;
  };
  EXPECT_FALSE(drop("notes.txt"));
  EXPECT_EQ(h.form->Library(), nullptr);
  EXPECT_TRUE(drop("dropped.PDF"));
  EXPECT_TRUE(h.dialogs.log.isEmpty()) << "no open dialog for a dropped file";
  EXPECT_EQ(h.form->FileNameEdit()->text().toStdString(), dir + "/dropped.PDF");
  EXPECT_EQ(h.lib->CallsOf("LoadFromFile"), std::vector<std::string>{"LoadFromFile(" + dir + "/dropped.PDF)"});
}

TEST(WindowExit, ClosesTheWindow) {
  Harness h;
  h.form->show();
  h.form->ExitButton()->click();
  EXPECT_FALSE(h.form->isVisible());
}
