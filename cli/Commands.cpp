#include "Commands.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <sstream>

#include "TextCodec.h"
#include "uNorvex.h"
#include "uPlatformFile.h"

namespace cli {

namespace {

const char* kProgram = "parvex-cli";

const char* kUsage =
    "usage: parvex-cli COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  encrypt IN OUT     write an RC4-encrypted copy of IN to OUT\n"
    "  decrypt IN OUT     write a decrypted copy of the encrypted IN to OUT\n"
    "  info FILE          show the facts of FILE (pages, sizes, encryption, permissions, information)\n"
    "  verify FILE        tell whether a password is FILE's user or owner password\n"
    "  set-info FILE      change FILE's information fields\n"
    "\n"
    "Run 'parvex-cli COMMAND --help' for the options of a command.\n";

const char* kEncryptHelp =
    "usage: parvex-cli encrypt IN OUT [options]\n"
    "\n"
    "Writes an encrypted copy of IN to OUT (RC4, standard security handler). OUT is replaced\n"
    "only when the copy is complete.\n"
    "\n"
    "  --user-password PW        password needed to open the copy (default: asked on a terminal, else empty)\n"
    "  --user-password-file F    read it from the first line of F ('-' for standard input)\n"
    "  --owner-password PW       password that grants every right (default: asked on a terminal, else empty)\n"
    "  --owner-password-file F   read it from the first line of F\n"
    "  --strength 40|128         key length in bits (default 128)\n"
    "  --allow LIST              rights granted without the owner password: all (default), none, or a\n"
    "                            comma-separated list of print, modify, copy, annotate, fill-forms,\n"
    "                            accessibility, assemble\n"
    "  --quiet                   no progress bar\n"
    "  --no-repair           refuse a damaged file instead of repairing it (repairs are reported as warnings)\n";

const char* kDecryptHelp =
    "usage: parvex-cli decrypt IN OUT [options]\n"
    "\n"
    "Writes a decrypted copy of the encrypted IN to OUT, given its user or owner password.\n"
    "\n"
    "  --password PW         the user or owner password (default: asked on a terminal, else empty)\n"
    "  --password-file F     read it from the first line of F ('-' for standard input)\n"
    "  --quiet               no progress bar\n"
    "  --no-repair           refuse a damaged file instead of repairing it (repairs are reported as warnings)\n";

const char* kInfoHelp =
    "usage: parvex-cli info FILE [options]\n"
    "\n"
    "Shows the size, pages, first-page size, modification time, encryption, permissions, PDF\n"
    "version and information fields of FILE.\n"
    "\n"
    "  --password PW         password for an encrypted file (default: asked on a terminal when needed)\n"
    "  --password-file F     read it from the first line of F ('-' for standard input)\n"
    "  --json                print one JSON object instead of text\n"
    "  --no-repair           refuse a damaged file instead of repairing it (repairs are reported as warnings)\n";

const char* kVerifyHelp =
    "usage: parvex-cli verify FILE [options]\n"
    "\n"
    "Tells whether the password is FILE's user password, owner password, both, or neither.\n"
    "Exit status 0 when it is accepted or the file is not encrypted, 3 when it is not accepted.\n"
    "\n"
    "  --password PW         the password to check (default: asked on a terminal, else empty)\n"
    "  --password-file F     read it from the first line of F ('-' for standard input)\n"
    "  --no-repair           refuse a damaged file instead of repairing it (repairs are reported as warnings)\n";

const char* kSetInfoHelp =
    "usage: parvex-cli set-info FILE [options]\n"
    "\n"
    "Changes information fields of FILE, in place unless --output is given. Fields not named\n"
    "keep their values. The file is replaced only when the new one is complete.\n"
    "\n"
    "  --title T, --author A, --subject S, --keywords K, --creator C, --producer P\n"
    "  --version V           PDF version written in the header (1.0 to 1.5)\n"
    "  --output OUT          write the changed document to OUT instead of FILE\n"
    "  --password PW         password of an encrypted file (its information cannot be changed)\n"
    "  --password-file F     read it from the first line of F ('-' for standard input)\n"
    "  --no-repair           refuse a damaged file instead of repairing it (repairs are reported as warnings)\n";

// The information items in facade order, with their option and JSON names.
struct InfoItem {
  int Index;
  const char* Option;
  const char* Label;
};
constexpr InfoItem kInfoItems[] = {
    {0, "version", "PDF version"}, {1, "author", "Author"},     {2, "title", "Title"},
    {3, "subject", "Subject"},     {4, "keywords", "Keywords"}, {5, "creator", "Creator"},
    {6, "producer", "Producer"},
};

// The permissions as the window shows them, with the security item that answers each.
struct PermissionItem {
  int Item;
  const char* Key;
  const char* Label;
};
constexpr PermissionItem kPermissionItems[] = {
    {3, "print", "Printing"},
    {4, "modify", "Changing the document"},
    {5, "copy", "Content copying and extraction"},
    {6, "annotate", "Authoring comments and form fields"},
    {7, "fill-forms", "Signing and filling in form fields"},
    {8, "accessibility", "Content accessibility"},
    {9, "assemble", "Document assembly"},
};

int Fail(std::ostream& err, const std::string& file, const std::string& reason, int status) {
  err << kProgram << ": " << file << ": " << reason << "\n";
  return status;
}

int FailCode(std::ostream& err, const std::string& file, int32_t code, const std::string& reason = "") {
  return Fail(err, file, ResultCodeText(code) + reason + " (code " + std::to_string(code) + ")", ExitStatusForCode(code));
}

// What the library had to repair in the files it read for one command, each said once.
class TRepairNotes {
 public:
  TRepairNotes(TNorvex& library, const Args& args) : FLibrary(library) { library.AllowRepair = !args.Has("no-repair"); }
  // Takes the warnings of the library's last operation.
  void Collect() {
    FRepaired = FRepaired || FLibrary.Repaired();
    for (const std::string& warning : FLibrary.Warnings())
      if (std::find(FWarnings.begin(), FWarnings.end(), warning) == FWarnings.end()) FWarnings.push_back(warning);
  }
  // One line per warning on the error stream.
  void Print(std::ostream& err, const std::string& file) {
    Collect();
    if (!FRepaired) return;
    for (const std::string& warning : FWarnings) err << kProgram << ": warning: " << file << ": " << warning << "\n";
  }
  // The reason a file could not be read at all, in brackets; empty when none was given.
  std::string Reason() {
    Collect();
    return FWarnings.empty() ? std::string() : " (" + FWarnings.back() + ")";
  }
  bool Repaired() const { return FRepaired; }
  const std::vector<std::string>& Warnings() const { return FWarnings; }

 private:
  TNorvex& FLibrary;
  bool FRepaired = false;
  std::vector<std::string> FWarnings;
};

bool WantsHelp(const Args& args, std::ostream& out, const char* help) {
  if (!args.Has("help")) return false;
  out << help;
  return true;
}

std::string JsonString(const std::string& utf8) {
  std::string s = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': s += "\\\""; break;
      case '\\': s += "\\\\"; break;
      case '\n': s += "\\n"; break;
      case '\r': s += "\\r"; break;
      case '\t': s += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          s += buf;
        } else {
          s += static_cast<char>(c);
        }
    }
  }
  return s + "\"";
}

// A measurement in the shortest form that reads back exactly ("612", "595.28").
std::string Measure(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

// The file's modification time, local, as "YYYY-MM-DD hh:mm:ss"; empty when it cannot be read.
std::string LocalTimeText(const std::string& file) {
  platform::TDateTime t;
  if (!platform::FileModified(file, t)) return "";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second);
  return buf;
}

// Progress of the facade's long operations, drawn as a bar on a terminal.
class ProgressHook {
 public:
  ProgressHook(TNorvex& library, const Args& args, const char* label)
      : FLibrary(library), FBar(!args.Has("quiet") && StderrIsTerminal(), label) {
    FLibrary.OnProgress = [this](int32_t percent) { FBar.Update(percent); };
  }
  ~ProgressHook() {
    FLibrary.OnProgress = nullptr;
    FBar.Finish();
  }

 private:
  TNorvex& FLibrary;
  ProgressBar FBar;
};

int Encrypt(const Args& args, std::ostream& out, std::ostream& err, const PasswordSource& passwords) {
  if (WantsHelp(args, out, kEncryptHelp)) return kExitOk;
  args.Check({"user-password", "user-password-file", "owner-password", "owner-password-file", "strength", "allow",
              "quiet", "help", "no-repair"},
             2, 2);
  const std::string& in = args.Positional()[0];
  const std::string& outFile = args.Positional()[1];
  int32_t strength = 1;
  if (auto s = args.Get("strength")) {
    if (*s == "40") strength = 0;
    else if (*s != "128") throw UsageError{"--strength must be 40 or 128"};
  }
  Rights r = ParseRights(args.Get("allow").value_or("all"));
  std::string user = ReadPassword(args, "user-password", "User password (empty for none): ", passwords);
  std::string owner = ReadPassword(args, "owner-password", "Owner password: ", passwords);

  TNorvex library;
  TRepairNotes notes(library, args);
  // The window passes "Allow Printing" for both print and high-quality print; so does the tool.
  int32_t permissions = library.Permissions(r.Print, r.Copy, r.Modify, r.Annotate, r.FillForms, r.Accessibility,
                                            r.Assemble, r.Print);
  int32_t result;
  {
    ProgressHook progress(library, args, "encrypting");
    result = library.EncryptFile(in, outFile, owner, user, strength, permissions);
  }
  if (result != 1 || library.LastErrorCode() != 0) {
    int32_t code = library.LastErrorCode() ? library.LastErrorCode() : 403;
    return FailCode(err, code == 402 || code == 403 ? outFile : in, code, code == 409 ? notes.Reason() : "");
  }
  notes.Print(err, in);
  if (!args.Has("quiet"))
    out << "encrypted " << in << " -> " << outFile << " (" << (strength ? 128 : 40) << "-bit RC4)\n";
  return kExitOk;
}

int Decrypt(const Args& args, std::ostream& out, std::ostream& err, const PasswordSource& passwords) {
  if (WantsHelp(args, out, kDecryptHelp)) return kExitOk;
  args.Check({"password", "password-file", "quiet", "help", "no-repair"}, 2, 2);
  const std::string& in = args.Positional()[0];
  const std::string& outFile = args.Positional()[1];
  std::string password = ReadPassword(args, "password", "Password: ", passwords);
  TNorvex library;
  TRepairNotes notes(library, args);
  int32_t result;
  {
    ProgressHook progress(library, args, "decrypting");
    result = library.DecryptFile(in, outFile, password);
  }
  if (result != 1 || library.LastErrorCode() != 0) {
    int32_t code = library.LastErrorCode() ? library.LastErrorCode() : 403;
    return FailCode(err, code == 402 || code == 403 ? outFile : in, code, code == 409 ? notes.Reason() : "");
  }
  notes.Print(err, in);
  if (!args.Has("quiet")) out << "decrypted " << in << " -> " << outFile << "\n";
  return kExitOk;
}

// Loads a file into the library and applies the password; returns the SetPassword result
// (3 when the file is not encrypted), or -1 when the file cannot be read as a PDF.
int32_t LoadWithPassword(TNorvex& library, const std::string& file, const std::string& password) {
  if (library.LoadFromFile(file) != 1) return -1;
  return library.SetPassword(password);
}

// A file that could not be loaded: missing or unreadable, or not a PDF.
int FailToLoad(std::ostream& err, const std::string& file, const std::string& reason = "") {
  if (!platform::FileExists(file)) return Fail(err, file, "cannot open the file", kExitIo);
  return Fail(err, file, "the file is not a PDF file or is damaged beyond reading" + reason, kExitDamaged);
}

bool NeedsPassword(TNorvex& library) { return library.Encrypted() == 1 && library.SecurityInfo(1) == 3; }

std::string PasswordVerdict(int32_t r) {
  switch (r) {
    case 0: return "incorrect";
    case 1: return "user";
    case 2: return "owner";
    case 3: return "not encrypted";
    case 4: return "unsupported encryption";
    case 5: return "both (user and owner)";
    default: return "unknown";
  }
}

int Info(const Args& args, std::ostream& out, std::ostream& err, const PasswordSource& passwords) {
  if (WantsHelp(args, out, kInfoHelp)) return kExitOk;
  args.Check({"password", "password-file", "json", "help", "no-repair"}, 1, 1);
  const std::string& file = args.Positional()[0];
  const int64_t size = platform::FileSize(file);
  if (size < 0) return Fail(err, file, "cannot open the file", kExitIo);

  TNorvex library;
  TRepairNotes notes(library, args);
  // Ask for a password only when the file needs one and none was given.
  std::string password = ReadPassword(args, "password", "", passwords, false);
  int32_t verdict = LoadWithPassword(library, file, password);
  if (verdict < 0) return FailToLoad(err, file, notes.Reason());
  notes.Collect();
  if (!args.Has("password") && !args.Has("password-file") && NeedsPassword(library) && passwords.IsInteractive()) {
    password = textcodec::Utf8ToLibrary(passwords.Prompt("Password: "));
    verdict = library.SetPassword(password);
  }
  const bool given = !password.empty();
  if (given && verdict == 0) return Fail(err, file, "the password is neither the user nor the owner password", kExitPassword);

  int32_t pages = 0;
  double width = 0, height = 0;
  if (int32_t h = library.DAOpenFile(file, password)) {
    pages = library.DAGetPageCount(h);
    int32_t page = library.DAFindPage(h, 1);
    width = library.DAGetPageWidth(h, page);
    height = library.DAGetPageHeight(h, page);
    library.DACloseFile(h);
  }
  notes.Print(err, file);
  const int32_t kind = library.Encrypted();
  const int32_t strength = library.EncryptionStrength();
  std::string encryption = kind == 0 ? "no" : kind == 1 ? "yes (" + std::to_string(strength) + "-bit RC4)" : "yes (unsupported method)";
  const bool locked = NeedsPassword(library) && !(verdict == 1 || verdict == 2 || verdict == 5);

  if (args.Has("json")) {
    out << "{\n  \"file\": " << JsonString(file) << ",\n  \"size\": " << size << ",\n  \"pages\": " << pages
        << ",\n  \"page_width\": " << Measure(width) << ",\n  \"page_height\": " << Measure(height)
        << ",\n  \"modified\": " << JsonString(LocalTimeText(file)) << ",\n  \"encrypted\": "
        << (kind ? "true" : "false") << ",\n  \"supported\": " << (kind == 2 ? "false" : "true")
        << ",\n  \"key_bits\": " << (kind == 1 ? strength : 0) << ",\n  \"password\": "
        << JsonString(given ? PasswordVerdict(verdict) : "") << ",\n  \"permissions\": {";
    bool first = true;
    for (const auto& p : kPermissionItems) {
      int32_t code = library.SecurityInfo(p.Item);
      out << (first ? "\n" : ",\n") << "    " << JsonString(p.Key) << ": "
          << (code == 0 || code == 2 || code == 5 ? "false" : "true");
      first = false;
    }
    out << "\n  },\n  \"repaired\": " << (notes.Repaired() ? "true" : "false") << ",\n  \"warnings\": [";
    for (size_t i = 0; i < notes.Warnings().size(); ++i) out << (i ? ", " : "") << JsonString(notes.Warnings()[i]);
    out << "]";
    for (const auto& item : kInfoItems) {
      std::string value = locked ? "" : textcodec::LibraryToUtf8(library.GetInformation(item.Index));
      out << ",\n  " << JsonString(item.Option) << ": " << JsonString(value);
    }
    out << "\n}\n";
    return kExitOk;
  }

  auto line = [&](const std::string& label, const std::string& value) {
    out << label << ":" << std::string(label.size() < 42 ? 42 - label.size() : 1, ' ') << value << "\n";
  };
  line("File", file);
  line("File size", std::to_string(size) + " bytes");
  line("Pages", std::to_string(pages));
  line("Page size", Measure(width) + " x " + Measure(height) + " pts");
  line("Modified", LocalTimeText(file));
  line("Encrypted", encryption);
  if (given) line("Password", PasswordVerdict(verdict));
  for (const auto& p : kPermissionItems) {
    int32_t code = library.SecurityInfo(p.Item);
    line("Allow " + std::string(p.Label), code == 0 || code == 2 || code == 5 ? "no" : code == 10 ? "low quality only" : "yes");
  }
  for (const auto& item : kInfoItems)
    line(item.Label, locked ? "(needs the password)" : textcodec::LibraryToUtf8(library.GetInformation(item.Index)));
  return kExitOk;
}

int Verify(const Args& args, std::ostream& out, std::ostream& err, const PasswordSource& passwords) {
  if (WantsHelp(args, out, kVerifyHelp)) return kExitOk;
  args.Check({"password", "password-file", "help", "no-repair"}, 1, 1);
  const std::string& file = args.Positional()[0];
  std::string password = ReadPassword(args, "password", "Password: ", passwords);
  TNorvex library;
  TRepairNotes notes(library, args);
  int32_t verdict = LoadWithPassword(library, file, password);
  if (verdict < 0) return FailToLoad(err, file, notes.Reason());
  notes.Print(err, file);
  out << file << ": " << PasswordVerdict(verdict) << "\n";
  if (verdict == 0) return kExitPassword;
  if (verdict == 4) return kExitState;
  return kExitOk;
}

int SetInfo(const Args& args, std::ostream& out, std::ostream& err, const PasswordSource& passwords) {
  if (WantsHelp(args, out, kSetInfoHelp)) return kExitOk;
  args.Check({"title", "author", "subject", "keywords", "creator", "producer", "version", "output", "password",
              "password-file", "help", "no-repair"},
             1, 1);
  const std::string& file = args.Positional()[0];
  const std::string target = args.Get("output").value_or(file);
  std::string password = ReadPassword(args, "password", "", passwords, false);
  TNorvex library;
  TRepairNotes notes(library, args);
  int32_t verdict = LoadWithPassword(library, file, password);
  if (verdict < 0) return FailToLoad(err, file, notes.Reason());
  notes.Print(err, file);
  if (library.Encrypted() != 0)
    return Fail(err, file, "the file is encrypted; decrypt it first to change its information", kExitState);
  for (const auto& item : kInfoItems) {
    auto value = args.Get(item.Option);
    if (!value) continue;
    if (library.SetInformation(item.Index, textcodec::Utf8ToLibrary(*value)) != 1) {
      if (item.Index == 0) throw UsageError{"--version must be one of 1.0, 1.1, 1.2, 1.3, 1.4, 1.5"};
      return Fail(err, file, std::string("cannot set ") + item.Label, kExitOther);
    }
  }
  if (library.SaveToFile(target) != 1) {
    const int32_t code = library.LastErrorCode();
    if (code == TNorvex::kCodeCopyUnsound || code == TNorvex::kCodeSourceChanged)
      return FailCode(err, code == TNorvex::kCodeSourceChanged ? file : target, code);
    return Fail(err, target, "the file cannot be written", kExitIo);
  }
  return kExitOk;
}

}  // namespace

int RunCli(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
           const PasswordSource& passwords) {
  if (argv.empty() || argv[0] == "--help" || argv[0] == "-h" || argv[0] == "help") {
    (argv.empty() ? err : out) << kUsage;
    return argv.empty() ? kExitUsage : kExitOk;
  }
  const std::string command = argv[0];
  std::vector<std::string> rest(argv.begin() + 1, argv.end());
  try {
    Args args(rest, {"json", "quiet", "help", "no-repair"});
    if (command == "encrypt") return Encrypt(args, out, err, passwords);
    if (command == "decrypt") return Decrypt(args, out, err, passwords);
    if (command == "info") return Info(args, out, err, passwords);
    if (command == "verify") return Verify(args, out, err, passwords);
    if (command == "set-info") return SetInfo(args, out, err, passwords);
    err << kProgram << ": unknown command '" << command << "'\n" << kUsage;
    return kExitUsage;
  } catch (const UsageError& e) {
    err << kProgram << " " << command << ": " << e.Text << "\nRun 'parvex-cli " << command
        << " --help' for its options.\n";
    return kExitUsage;
  }
}

}  // namespace cli
