// The window over the real library on committed fixtures, with qpdf and pdfinfo as judges of
// what it writes. Fixtures (tools/make_app_fixtures.sh): app_plain.pdf, two Letter pages with
// information; app_rc4_128.pdf and app_rc4_40.pdf, the same encrypted with user password "user"
// and owner password "owner".
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

#include "AppTestSupport.h"
#include "TestSupport.h"

#include "uNorvex.h"

using testsupport::DataPath;
using testsupport::Quote;


namespace {

class WindowEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::App();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = testsupport::TempDir(std::string("app_e2e_") + info->name());
    form_ = std::make_unique<TForm1>(dialogs_, NorvexLibraryFactory());
  }

  // A working copy of a fixture (Open locks its file, Save writes over it).
  QString Copy(const std::string& fixture) {
    const std::string to = dir_ + "/" + fixture;
    std::filesystem::copy_file(DataPath(fixture), to, std::filesystem::copy_options::overwrite_existing);
    return QString::fromStdString(to);
  }
  void Open(const QString& file, const QString& user = {}, const QString& owner = {}) {
    form_->UserPasswordEdit()->setText(user);
    form_->OwnerPasswordEdit()->setText(owner);
    dialogs_.openAnswers.push_back(file);
    form_->Open();
  }
  QStringList Boxes() const {
    QStringList out;
    for (int i = 1; i <= 7; ++i) out << (form_->PermissionBox(i)->isChecked() ? "1" : "0");
    return out;
  }
  std::string Out(const std::string& name) const { return dir_ + "/" + name; }

  apptest::ScriptedDialogs dialogs_;
  std::unique_ptr<TForm1> form_;
  std::string dir_;
};

}  // namespace

TEST_F(WindowEndToEnd, OpenShowsPageCountAndFirstPageSize) {
  struct Case {
    const char* fixture;
    bool heldElsewhere;  // another program holds the file open, locking writers out
    const char* pages;
    const char* paper;
  };
  const Case cases[] = {
      {"da_wide.pdf", false, "1 page", "842 x 1191 pixels"},
      {"app_plain.pdf", false, "2 pages", "612 x 792 pixels"},
      {"da_linearized.pdf", false, "7 pages", "595 x 842 pixels"},
      {"da_rc4_128_empty.pdf", false, "2 pages", "612 x 792 pixels"},  // its empty user password opens it
      // No direct-access handle: a file that needs a password, and one held open elsewhere.
      {"app_rc4_128.pdf", false, "0 page", "0 x 0 pixels"},
      {"da_classic.pdf", true, "0 page", "0 x 0 pixels"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fixture) + (c.heldElsewhere ? " held" : ""));
    const QString file = Copy(c.fixture);
    const int held = c.heldElsewhere ? ::open(file.toLocal8Bit().constData(), O_RDONLY) : -1;
    if (c.heldElsewhere) {
      ASSERT_EQ(::flock(held, LOCK_SH), 0);
    }
    dialogs_.messages.clear();
    Open(file);
    if (held >= 0) ::close(held);
    // The rest of Open runs as usual.
    EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join(" | ").toStdString();
    EXPECT_EQ(form_->FileSizeValue()->text(),
              QString::number(std::filesystem::file_size(file.toStdString())) + " bytes");
    EXPECT_EQ(form_->PagesValue()->text(), c.pages);
    EXPECT_EQ(form_->PaperSizeValue()->text(), c.paper);
    EXPECT_NE(form_->LastModifiedValue()->text(), "n/a");
  }
}

TEST_F(WindowEndToEnd, OpenShowsThePlainFixture) {
  Open(Copy("app_plain.pdf"));
  EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join(" | ").toStdString();
  EXPECT_EQ(form_->EncryptionValue()->text(), "Not encrypted");
  EXPECT_EQ(Boxes(), QStringList(7, "1"));
  EXPECT_EQ(form_->InfoEdit(0)->text(), "1.4");
  EXPECT_EQ(form_->InfoEdit(1)->text(), "Parvex tests");
  EXPECT_EQ(form_->InfoEdit(2)->text(), "Window fixture");
  EXPECT_EQ(form_->InfoEdit(6)->text(), "qpdf");
  EXPECT_FALSE(form_->SaveButton()->isEnabled());

  dialogs_.messages.clear();
  form_->UserPasswordEdit()->setText("a");
  form_->OwnerPasswordEdit()->setText("b");
  form_->VerifyPassword();
  EXPECT_EQ(dialogs_.messages, QStringList{"Not encrypted!"});
}

TEST_F(WindowEndToEnd, OpenEncryptedFixtures) {
  struct Case {
    const char* fixture;
    const char* user;
    const char* owner;
    QStringList messages;
    const char* encryption;
    const char* title;  // information shown afterwards ("-" when Open ended before it)
  };
  const Case cases[] = {
      {"app_rc4_128.pdf", "user", "", {"User password OK!", "User password OK!"}, "128-bit encryption",
       "Window fixture"},
      {"app_rc4_128.pdf", "", "owner", {"Owner password OK!"}, "128-bit encryption", "Window fixture"},
      {"app_rc4_128.pdf", "nope", "", {"Incorrect user password", "Incorrect owner password"}, "128-bit encryption",
       "-"},
      {"app_rc4_128.pdf", "", "", {}, "128-bit encryption", ""},
      {"app_rc4_40.pdf", "user", "owner", {"User password OK!", "Owner password OK!"}, "40-bit encryption",
       "Window fixture"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fixture) + " " + c.user + "/" + c.owner);
    dialogs_.messages.clear();
    form_->InfoEdit(2)->setText("-");
    Open(Copy(c.fixture), c.user, c.owner);
    EXPECT_EQ(dialogs_.messages, c.messages);
    EXPECT_EQ(form_->EncryptionValue()->text(), c.encryption);
    // A file that needs a password is counted with a typed password that opens it.
    const bool opens = std::string(c.user) == "user" || std::string(c.owner) == "owner";
    EXPECT_EQ(form_->PagesValue()->text(), opens ? "2 pages" : "0 page");
    EXPECT_EQ(form_->PaperSizeValue()->text(), opens ? "612 x 792 pixels" : "0 x 0 pixels");
    EXPECT_EQ(form_->InfoEdit(2)->text(), c.title);
  }
}

TEST_F(WindowEndToEnd, PermissionBoxesFollowTheFile) {
  Open(Copy("app_rc4_128.pdf"), "user");
  // Printing and accessibility allowed; changing, copying, comments, forms and assembly not.
  EXPECT_EQ(Boxes(), (QStringList{"1", "0", "0", "0", "0", "1", "0"}));
}

TEST_F(WindowEndToEnd, EncryptWritesWhatQpdfOpensWithTheTypedPasswords) {
  REQUIRE_TOOL("qpdf");
  Open(Copy("app_plain.pdf"));
  // Printing, copying, forms and assembly on; changing, comments and accessibility off.
  const bool boxes[7] = {true, false, true, false, true, false, true};
  for (int i = 0; i < 7; ++i) form_->PermissionBox(i + 1)->setChecked(boxes[i]);
  form_->UserPasswordEdit()->setText(QString::fromUtf8("p\u00e4ss"));  // one byte, 0xE4, in Windows-1252
  form_->OwnerPasswordEdit()->setText("boss");
  const std::string out = Out("encrypted.pdf");
  dialogs_.saveAnswers = {QString::fromStdString(out)};
  dialogs_.messages.clear();
  form_->Encrypt();
  EXPECT_EQ(dialogs_.messages, QStringList{"Success!"});

  std::string report;
  EXPECT_EQ(testsupport::Run("qpdf --show-encryption --password-mode=bytes --password=" + Quote("p\xe4ss") + " " + Quote(out),
                &report), 0);
  EXPECT_NE(report.find("R = 3"), std::string::npos) << report;
  EXPECT_NE(report.find("Supplied password is user password"), std::string::npos) << report;
  for (const char* line : {"print high resolution: allowed", "extract for any purpose: allowed",
                           "modify forms: allowed", "modify document assembly: allowed",
                           "modify other: not allowed", "modify annotations: not allowed",
                           "extract for accessibility: not allowed"})
    EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
  EXPECT_EQ(testsupport::Run("qpdf --check --password=boss " + Quote(out) + " >/dev/null"), 0);
  EXPECT_EQ(testsupport::Run("qpdf --requires-password " + Quote(out)), 0);
}

TEST_F(WindowEndToEnd, EncryptRefusesAnEncryptedFileAndLeavesNothingBehind) {
  Open(Copy("app_rc4_40.pdf"), "user");
  const std::string out = Out("twice.pdf");
  dialogs_.saveAnswers = {QString::fromStdString(out)};
  dialogs_.messages.clear();
  form_->Encrypt();
  EXPECT_EQ(dialogs_.messages, QStringList{"Failed"});
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(WindowEndToEnd, DecryptWritesAFileThatNeedsNoPassword) {
  REQUIRE_TOOL("qpdf");
  struct Case {
    const char* user;
    const char* owner;
    const char* message;
    bool written;
  };
  const Case cases[] = {
      {"user", "", "Done!", true},
      {"wrong", "owner", "Done!", true},  // the owner password is tried after the user password fails
      {"wrong", "worse", "Failed: the password is neither the user password nor the owner password.", false},
  };
  const QString input = Copy("app_rc4_128.pdf");
  Open(input, "user");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + "/" + c.owner);
    form_->UserPasswordEdit()->setText(c.user);
    form_->OwnerPasswordEdit()->setText(c.owner);
    const std::string out = Out(std::string("plain_") + c.user + c.owner + ".pdf");
    dialogs_.saveAnswers = {QString::fromStdString(out)};
    dialogs_.messages.clear();
    form_->Decrypt();
    EXPECT_EQ(dialogs_.messages, QStringList{c.message});
    if (c.written) {
      EXPECT_EQ(testsupport::Run("qpdf --requires-password " + Quote(out)), 2) << "not encrypted";
      std::string pages;
      testsupport::Run("qpdf --show-npages " + Quote(out), &pages);
      EXPECT_EQ(pages, "2\n");
    }
  }
}

TEST_F(WindowEndToEnd, SaveWritesTheEditedInformation) {
  REQUIRE_TOOL("pdfinfo");
  const QString file = Copy("app_plain.pdf");
  Open(file);
  form_->InfoEdit(2)->setText("Edited title");
  form_->InfoEdit(1)->setText(QString::fromUtf8("\u00c5sa \u2013 author"));
  ASSERT_TRUE(form_->SaveButton()->isEnabled());
  dialogs_.messages.clear();
  form_->Save();
  EXPECT_EQ(dialogs_.messages, QStringList{"Updated"});

  std::string info;
  ASSERT_EQ(testsupport::Run("pdfinfo " + Quote(file.toStdString()), &info), 0);
  EXPECT_NE(info.find("Title:           Edited title\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Author:          \xc3\x85sa \xe2\x80\x93 author\n"), std::string::npos) << info;
}

TEST_F(WindowEndToEnd, SaveOnAnEncryptedDocumentSaysWhyNot) {
  Open(Copy("app_rc4_128.pdf"), "user");
  form_->InfoEdit(2)->setText("Edited title");
  dialogs_.messages.clear();
  form_->Save();
  ASSERT_EQ(dialogs_.messages.size(), 1);
  EXPECT_TRUE(dialogs_.messages[0].startsWith("Not updated.\nThe document is encrypted"))
      << dialogs_.messages[0].toStdString();
}

TEST_F(WindowEndToEnd, AFileThatIsNoPdf) {
  const std::string path = Out("notes.pdf");
  testsupport::WriteFile(path, "just some text\n");
  Open(QString::fromStdString(path));
  EXPECT_EQ(dialogs_.messages, QStringList{QString::fromStdString(path) + " could not be read as a PDF file."});
  EXPECT_EQ(form_->PagesValue()->text(), "0 page");
  EXPECT_FALSE(form_->SaveButton()->isEnabled());
}

TEST_F(WindowEndToEnd, OpeningADamagedFileSaysOnceThatItWasRepaired) {
  Open(Copy("repair_shift40.pdf"));
  ASSERT_EQ(dialogs_.messages.size(), 1) << dialogs_.messages.join(" | ").toStdString();
  EXPECT_TRUE(dialogs_.messages[0].startsWith("The file was damaged and has been repaired:"));
  EXPECT_EQ(form_->PagesValue()->text(), "9 pages");
  EXPECT_EQ(form_->InfoEdit(2)->text(), "Repair fixture, second revision");
}
