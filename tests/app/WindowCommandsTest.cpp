// The main window's commands, driven through the real TForm1 with scripted dialogs and a
// scripted library: which messages come in which order, and what the controls show.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <filesystem>

#include "AppTestSupport.h"
#include "TestSupport.h"

using apptest::Harness;

namespace {

// A file to open; the scripted library does not read it, the window measures it.
QString SomeFile(const std::string& tag, size_t size = 1234) {
  std::string path = testsupport::TempDir("app_" + tag) + "/input.pdf";
  testsupport::WriteFile(path, std::string(size, 'x'));
  return QString::fromStdString(path);
}

QStringList Checked(const TForm1& form) {
  QStringList out;
  for (int i = 1; i <= TForm1::kPermissionCount; ++i) out << (form.PermissionBox(i)->isChecked() ? "1" : "0");
  return out;
}

QStringList InfoTexts(const TForm1& form) {
  QStringList out;
  for (int i = 0; i < TForm1::kInfoCount; ++i) out << form.InfoEdit(i)->text();
  return out;
}

void OpenWith(Harness& h, const QString& file) {
  h.dialogs.openAnswers.push_back(file);
  h.form->Open();
}

}  // namespace

TEST(WindowOpen, CancelledDialogChangesNothing) {
  Harness h;
  h.form->Open();
  EXPECT_EQ(h.dialogs.log, QStringList{"open"});
  EXPECT_EQ(h.form->Library(), nullptr);
  EXPECT_EQ(Checked(*h.form), QStringList(7, "0"));
  EXPECT_TRUE(h.form->FileNameEdit()->text().isEmpty());
  EXPECT_EQ(h.form->PagesValue()->text(), "n/a");
}

TEST(WindowOpen, ShowsTheFactsOfAnUnencryptedFile) {
  struct Case {
    int32_t pages;
    double width, height;
    const char* pagesText;
    const char* paperText;
  };
  const Case cases[] = {
      {1, 612, 792, "1 page", "612 x 792 pixels"},
      {2, 595.276, 841.89, "2 pages", "595.276 x 841.89 pixels"},
      {0, 0, 0, "0 page", "0 x 0 pixels"},
  };
  QLocale::setDefault(QLocale::c());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pagesText);
    Harness h;
    h.lib->pageCount = c.pages;
    h.lib->width = c.width;
    h.lib->height = c.height;
    h.lib->info = {"1.4", "Ann \x99", "Title", "Subject", "k1 k2", "Creator", "Producer"};
    const QString file = SomeFile("facts", 3000);
    OpenWith(h, file);

    EXPECT_TRUE(h.dialogs.messages.isEmpty());
    EXPECT_EQ(h.form->FileNameEdit()->text(), file);
    EXPECT_EQ(h.form->FileSizeValue()->text(), "3000 bytes");
    EXPECT_EQ(h.form->PagesValue()->text(), c.pagesText);
    EXPECT_EQ(h.form->PaperSizeValue()->text(), c.paperText);
    EXPECT_EQ(h.form->EncryptionValue()->text(), "Not encrypted");
    EXPECT_EQ(Checked(*h.form), QStringList(7, "1"));
    // The library's Windows-1252 text arrives as Unicode (0x99 is the trade mark sign).
    EXPECT_EQ(InfoTexts(*h.form),
              (QStringList{"1.4", QString::fromUtf8("Ann \u2122"), "Title", "Subject", "k1 k2", "Creator", "Producer"}));
    EXPECT_FALSE(h.form->SaveButton()->isEnabled()) << "Open's own field changes must not leave Save enabled";
    EXPECT_FALSE(h.form->LastModifiedValue()->text().isEmpty());
    EXPECT_NE(h.form->LastModifiedValue()->text(), "n/a");
    // The direct-access handle is opened with an empty password and closed within Open.
    const std::string path = file.toStdString();
    EXPECT_EQ(h.lib->calls, (std::vector<std::string>{"DAOpenFile(" + path + ",)", "DACloseFile(5)",
                                                       "LoadFromFile(" + path + ")"}));
  }
  QLocale::setDefault(QLocale::system());
}

TEST(WindowOpen, EncryptedFileWithPasswords) {
  // The user and owner password fields, what SetPassword answers, the messages in order,
  // and whether the permissions and information were refreshed.
  struct Case {
    const char* user;
    const char* owner;
    std::vector<std::pair<std::string, int32_t>> answers;
    QStringList messages;
    bool refreshed;
  };
  const Case cases[] = {
      {"", "", {}, {}, true},
      {"wrong", "", {}, {"Incorrect user password", "Incorrect owner password"}, false},
      {"user", "", {{"user", 1}}, {"User password OK!", "User password OK!"}, true},
      {"owner", "", {{"owner", 2}}, {"Owner password OK!", "Owner password OK!"}, true},
      // Only the owner field: the user block has no result and says nothing.
      {"", "owner", {{"owner", 2}}, {"Owner password OK!"}, true},
      {"", "wrong", {}, {"Incorrect owner password"}, false},
      {"wrong", "owner", {{"owner", 2}}, {"Incorrect user password", "Owner password OK!"}, true},
      {"user", "wrong", {{"user", 1}}, {"User password OK!", "Incorrect owner password"}, false},
      // Unsupported encryption (4) and a password that is both (5) draw no message.
      {"both", "", {{"both", 5}}, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + "/" + c.owner);
    Harness h;
    h.lib->encrypted = 1;
    h.lib->strength = 128;
    h.lib->securityInfo = {{3, 0}, {4, 2}, {5, 5}, {6, 6}, {7, 4}, {8, 10}, {9, 3}};
    h.lib->info = {"1.6", "A", "T", "S", "K", "C", "P"};
    for (const auto& [password, result] : c.answers) h.lib->passwordResults[password] = result;
    h.form->InfoEdit(2)->setText("previous title");
    h.form->UserPasswordEdit()->setText(c.user);
    h.form->OwnerPasswordEdit()->setText(c.owner);
    OpenWith(h, SomeFile("encrypted"));

    EXPECT_EQ(h.dialogs.messages, c.messages);
    EXPECT_EQ(h.form->EncryptionValue()->text(), "128-bit encryption");
    if (c.refreshed) {
      EXPECT_EQ(Checked(*h.form), (QStringList{"0", "0", "0", "1", "1", "1", "1"}));
      EXPECT_EQ(h.form->InfoEdit(2)->text(), "T");
      EXPECT_FALSE(h.form->SaveButton()->isEnabled());
    } else {
      EXPECT_EQ(Checked(*h.form), QStringList(7, "1"));
      EXPECT_EQ(h.form->InfoEdit(2)->text(), "previous title");
    }
  }
}

TEST(WindowOpen, EncryptionValueByKind) {
  struct Case {
    int32_t kind, strength;
    const char* text;
  };
  for (const Case& c : {Case{1, 40, "40-bit encryption"}, Case{1, 128, "128-bit encryption"},
                        Case{2, 0, "Encrypted"}, Case{0, 0, "Not encrypted"}}) {
    Harness h;
    h.lib->encrypted = c.kind;
    h.lib->strength = c.strength;
    OpenWith(h, SomeFile("kinds"));
    EXPECT_EQ(h.form->EncryptionValue()->text(), c.text);
  }
}

TEST(WindowOpen, FailedLoadShowsNothingStaleAndOffersNoSave) {
  Harness h;
  h.lib->info = {"1.4", "Old author", "Old title", "", "", "", ""};
  OpenWith(h, SomeFile("good"));
  ASSERT_EQ(h.form->InfoEdit(1)->text(), "Old author");

  h.lib->loadResult = 0;
  const QString bad = SomeFile("bad");
  OpenWith(h, bad);
  EXPECT_EQ(h.dialogs.messages, QStringList{bad + " could not be read as a PDF file."});
  EXPECT_EQ(InfoTexts(*h.form), QStringList(7, ""));
  EXPECT_EQ(h.form->EncryptionValue()->text(), "n/a");
  EXPECT_FALSE(h.form->SaveButton()->isEnabled());

  // Editing a field enables Save, but Save never writes the previous document over this file.
  h.dialogs.messages.clear();
  h.form->InfoEdit(2)->setText("typed");
  h.form->Save();
  EXPECT_TRUE(h.lib->CallsOf("SaveToFile").empty());
  EXPECT_TRUE(h.lib->CallsOf("SetInformation").empty());
  ASSERT_EQ(h.dialogs.messages.size(), 1);
  EXPECT_TRUE(h.dialogs.messages[0].startsWith("Not updated"));

  // Nor does Verify Password answer for the previous document.
  h.dialogs.messages.clear();
  h.form->UserPasswordEdit()->setText("x");
  h.form->VerifyPassword();
  EXPECT_TRUE(h.dialogs.messages.isEmpty());
  EXPECT_TRUE(h.lib->CallsOf("SetPassword").empty());
}

TEST(WindowOpen, UnreadableFileEndsTheCommand) {
  Harness h;
  const QString missing = QString::fromStdString(testsupport::TempDir("app_missing") + "/gone.pdf");
  OpenWith(h, missing);
  EXPECT_EQ(h.dialogs.messages, QStringList{"Cannot open file " + missing});
  EXPECT_TRUE(h.lib->calls.empty());
  EXPECT_EQ(h.form->FileNameEdit()->text(), missing);
}

TEST(WindowSave, NoLibraryDoesNothing) {
  Harness h;
  h.form->FileNameEdit()->setText("/tmp/typed.pdf");
  h.form->InfoEdit(1)->setText("me");
  EXPECT_TRUE(h.form->SaveButton()->isEnabled());
  h.form->Save();
  EXPECT_TRUE(h.dialogs.log.isEmpty());
  EXPECT_EQ(h.form->Library(), nullptr);
}

TEST(WindowSave, SaysUpdatedOnlyWhenEverythingWasStored) {
  struct Case {
    const char* name;
    std::map<int32_t, int32_t> refused;  // item -> error code
    const char* version;                 // the PDF Version field as typed
    int32_t saveResult;
    QStringList expectedLines;           // empty: "Updated"
  };
  const Case cases[] = {
      {"stored", {}, "1.4", 1, {}},
      {"encrypted", {{0, 201}, {1, 201}, {2, 201}, {3, 201}, {4, 201}, {5, 201}, {6, 201}}, "1.4", 1,
       {"Not updated.", "The document is encrypted, so its information fields cannot be changed.",
        "The file was written without these changes."}},
      {"not written", {}, "1.4", 0, {"Not updated.", "The file could not be written: FILE"}},
      // A version the library passes over counts only when it differs from the stored one.
      {"unchanged 1.6", {}, "1.6", 1, {}},
      {"typed 1.7", {}, "1.7", 1,
       {"Not updated.", "These fields could not be stored as typed: PDF Version (1.0 to 1.5 only).",
        "The file was written without these changes."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h;
    h.lib->info = {"1.6", "A", "T", "S", "K", "C", "P"};
    const QString file = SomeFile("save");
    OpenWith(h, file);
    h.lib->setInfoErrors = c.refused;
    h.lib->saveResult = c.saveResult;
    h.form->InfoEdit(0)->setText(c.version);
    h.form->InfoEdit(2)->setText(QString::fromUtf8("New \u201ctitle\u201d"));
    EXPECT_TRUE(h.form->SaveButton()->isEnabled());
    h.form->Save();

    // Every field is handed over in order, as Windows-1252, then the file is written.
    const auto sets = h.lib->CallsOf("SetInformation");
    ASSERT_EQ(sets.size(), 7u);
    EXPECT_EQ(sets[2], "SetInformation(2,New \x93title\x94)");
    EXPECT_EQ(h.lib->CallsOf("SaveToFile"), std::vector<std::string>{"SaveToFile(" + file.toStdString() + ")"});
    QString expected = c.expectedLines.isEmpty() ? "Updated" : c.expectedLines.join('\n');
    expected.replace("FILE", file);
    EXPECT_EQ(h.dialogs.messages, QStringList{expected});
    EXPECT_TRUE(h.form->SaveButton()->isEnabled());
  }
}

TEST(WindowEncrypt, PacksThePermissionBoxesAndPassesThePasswords) {
  Harness h;
  const QString file = SomeFile("encrypt");
  OpenWith(h, file);
  // Boxes 1..7: printing, changing, copying, authoring, filling, accessibility, assembly.
  const bool boxes[7] = {true, false, true, false, true, false, true};
  for (int i = 0; i < 7; ++i) h.form->PermissionBox(i + 1)->setChecked(boxes[i]);
  h.form->UserPasswordEdit()->setText(QString::fromUtf8("\u00fcser"));
  h.form->OwnerPasswordEdit()->setText("owner");
  h.dialogs.saveAnswers = {"/tmp/out.pdf"};
  h.form->Encrypt();

  // print, copy, modify, annotate, fill, accessibility, assemble, high-quality print.
  EXPECT_EQ(h.lib->permissionArgs, (std::array<int32_t, 8>{1, 1, 0, 0, 1, 0, 1, 1}));
  EXPECT_EQ(h.lib->CallsOf("EncryptFile"),
            std::vector<std::string>{"EncryptFile(" + file.toStdString() + ",/tmp/out.pdf,owner,\xfcser,1," +
                                     std::to_string(0x4242) + ")"});
  EXPECT_EQ(h.dialogs.messages, QStringList{"Success!"});

  h.lib->encryptResult = 0;
  h.dialogs.messages.clear();
  h.dialogs.saveAnswers = {"/tmp/out2.pdf"};
  h.form->Encrypt();
  EXPECT_EQ(h.dialogs.lastSaveCurrent, "/tmp/out.pdf") << "the save dialog starts at its last file";
  EXPECT_EQ(h.dialogs.messages, QStringList{"Failed"});
}

TEST(WindowEncrypt, RunsOpenFirstAndStopsWhenNothingOpened) {
  {
    Harness h;  // Open cancelled on a fresh start: nothing more happens
    h.form->Encrypt();
    EXPECT_EQ(h.dialogs.log, QStringList{"open"});
  }
  {
    Harness h;
    h.dialogs.openAnswers = {SomeFile("encrypt_open")};
    h.dialogs.saveAnswers = {""};  // and the save dialog is cancelled
    h.form->Encrypt();
    EXPECT_EQ(h.dialogs.log, (QStringList{"open", "save"}));
    EXPECT_TRUE(h.lib->CallsOf("EncryptFile").empty());
  }
}

TEST(WindowEncrypt, ProgressDialogFollowsTheLibrary) {
  Harness h;
  OpenWith(h, SomeFile("progress"));
  h.lib->progressSteps = {10, 55};
  int seen = -1;
  h.lib->duringFileOperation = [&] {
    auto* dialog = h.form->findChild<QProgressDialog*>();
    ASSERT_NE(dialog, nullptr);
    seen = dialog->value();
    // Commands pressed while the file is written are ignored.
    h.form->Encrypt();
  };
  h.dialogs.saveAnswers = {"/tmp/p.pdf"};
  h.form->Encrypt();
  EXPECT_EQ(seen, 55);
  EXPECT_EQ(h.lib->CallsOf("EncryptFile").size(), 1u);
  EXPECT_EQ(h.form->findChild<QProgressDialog*>(), nullptr);
  EXPECT_FALSE(h.lib->progress) << "the progress report is unhooked afterwards";
}

TEST(WindowDecrypt, TriesTheOwnerPasswordOnlyWhenTheUserPasswordFails) {
  struct Case {
    const char* user;
    const char* owner;
    std::map<std::string, int32_t> errors;  // password -> error code
    std::vector<std::string> passwordsTried;
    QStringList messages;
  };
  const Case cases[] = {
      {"u", "o", {}, {"u"}, {"Done!"}},
      {"bad", "o", {{"bad", 404}}, {"bad", "o"}, {"Done!"}},
      {"bad", "", {{"bad", 404}}, {"bad"},
       {"Failed: the password is neither the user password nor the owner password."}},
      {"bad", "worse", {{"bad", 404}, {"worse", 404}}, {"bad", "worse"},
       {"Failed: the password is neither the user password nor the owner password."}},
      {"", "o", {{"", 404}}, {"", "o"}, {"Done!"}},
      {"", "", {}, {""}, {"Warning: No password input", "Done!"}},
      {"u", "", {{"u", 403}}, {"u"}, {"Failed: the output file could not be written."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + "/" + c.owner);
    Harness h;
    h.lib->encrypted = 1;
    h.lib->passwordResults = {{"u", 1}, {"o", 2}};
    const QString file = SomeFile("decrypt");
    OpenWith(h, file);
    h.dialogs.messages.clear();
    h.form->UserPasswordEdit()->setText(c.user);
    h.form->OwnerPasswordEdit()->setText(c.owner);
    h.lib->decryptErrors = c.errors;
    h.dialogs.saveAnswers = {"/tmp/plain.pdf"};
    h.form->Decrypt();

    std::vector<std::string> expectedCalls;
    for (const auto& p : c.passwordsTried)
      expectedCalls.push_back("DecryptFile(" + file.toStdString() + ",/tmp/plain.pdf," + p + ")");
    EXPECT_EQ(h.lib->CallsOf("DecryptFile"), expectedCalls);
    EXPECT_EQ(h.dialogs.messages, c.messages);
  }
}

TEST(WindowFileOperations, AFailureLeavesNoEmptyOutputBehind) {
  Harness h;
  h.lib->encrypted = 1;
  h.lib->leavesEmptyOutput = true;
  OpenWith(h, SomeFile("leftover"));
  const std::string dir = testsupport::TempDir("app_leftover_out");
  const std::string refused = dir + "/refused.pdf", kept = dir + "/kept.pdf";
  testsupport::WriteFile(kept, "");  // chosen by the user before: theirs to keep

  h.lib->decryptErrors = {{"bad", 404}};
  h.form->UserPasswordEdit()->setText("bad");
  for (const std::string& out : {refused, kept}) {
    h.dialogs.saveAnswers = {QString::fromStdString(out)};
    h.form->Decrypt();
  }
  EXPECT_FALSE(std::filesystem::exists(refused));
  EXPECT_TRUE(std::filesystem::exists(kept));

  h.lib->encryptResult = 0;
  h.dialogs.saveAnswers = {QString::fromStdString(refused)};
  h.form->Encrypt();
  EXPECT_FALSE(std::filesystem::exists(refused));
  EXPECT_EQ(h.dialogs.messages.last(), "Failed");
}

TEST(WindowDecrypt, RefusesWhatTheWindowDoesNotShowAsEncrypted) {
  {
    Harness h;  // "n/a": nothing opened, and Open is cancelled
    h.form->Decrypt();
    EXPECT_EQ(h.dialogs.log, (QStringList{"open", "Not encrypted!"}));
  }
  {
    Harness h;  // "Not encrypted": Open runs first, then the save dialog never opens
    h.dialogs.openAnswers = {SomeFile("decrypt_plain")};
    h.form->Decrypt();
    EXPECT_EQ(h.dialogs.log, (QStringList{"open", "Not encrypted!"}));
    EXPECT_TRUE(h.lib->CallsOf("DecryptFile").empty());
  }
  {
    Harness h;  // kind 2 shows "Encrypted", which Decrypt accepts; a cancelled save ends it
    h.lib->encrypted = 2;
    OpenWith(h, SomeFile("decrypt_other"));
    h.form->UserPasswordEdit()->setText("x");
    h.dialogs.log.clear();
    h.form->Decrypt();
    EXPECT_EQ(h.dialogs.log, QStringList{"save"});
    EXPECT_TRUE(h.lib->CallsOf("DecryptFile").empty());
  }
}

TEST(WindowVerifyPassword, MessagesByCase) {
  struct Case {
    int32_t encrypted;
    const char* user;
    const char* owner;
    QStringList messages;
  };
  const Case cases[] = {
      {0, "a", "b", {"Not encrypted!"}},
      {0, "", "", {}},
      {1, "", "", {}},
      {1, "u", "", {"User password OK!", "User password OK!"}},
      {1, "x", "o", {"Incorrect user password", "Owner password OK!"}},
      {1, "x", "", {"Incorrect user password", "Incorrect owner password"}},
      {1, "", "o", {"Owner password OK!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.encrypted) + c.user + "/" + c.owner);
    Harness h;
    h.lib->encrypted = c.encrypted;
    h.lib->passwordResults = {{"u", 1}, {"o", 2}};
    OpenWith(h, SomeFile("verify"));
    h.form->UserPasswordEdit()->setText(c.user);
    h.form->OwnerPasswordEdit()->setText(c.owner);
    h.dialogs.messages.clear();
    h.form->VerifyPassword();
    EXPECT_EQ(h.dialogs.messages, c.messages);
  }
}

TEST(WindowVerifyPassword, NothingWithoutAFileOrALibrary) {
  Harness h;
  h.form->UserPasswordEdit()->setText("u");
  h.form->VerifyPassword();  // empty File Name field
  h.form->FileNameEdit()->setText("/tmp/typed.pdf");
  h.form->VerifyPassword();  // a typed name, but no Open has made the library
  EXPECT_TRUE(h.dialogs.log.isEmpty());
  EXPECT_EQ(h.form->Library(), nullptr);
}

TEST(WindowState, ButtonsFollowTheFields) {
  Harness h;
  EXPECT_FALSE(h.form->SaveButton()->isEnabled());
  h.form->InfoEdit(3)->setText("no file yet");
  EXPECT_FALSE(h.form->SaveButton()->isEnabled());
  h.form->FileNameEdit()->setText("/tmp/x.pdf");
  h.form->InfoEdit(3)->setText("now");
  EXPECT_TRUE(h.form->SaveButton()->isEnabled());

  h.form->VerifyPasswordButton()->setEnabled(false);
  h.form->OwnerPasswordEdit()->setText("o");
  EXPECT_TRUE(h.form->VerifyPasswordButton()->isEnabled());
}
