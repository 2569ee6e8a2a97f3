#include "Commands.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <sstream>

#include "TextCodec.h"
#include "uNorvex.h"

namespace cli {

namespace {

const char* kProgram = "parvex-cli";

const char* kUsage =
    "usage: parvex-cli COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  encrypt IN OUT     write an RC4-encrypted copy of IN to OUT\n"
    "  decrypt IN OUT     write a decrypted copy of the encrypted IN to OUT\n"
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
    "  --quiet                   no progress bar\n";

const char* kDecryptHelp =
    "usage: parvex-cli decrypt IN OUT [options]\n"
    "\n"
    "Writes a decrypted copy of the encrypted IN to OUT, given its user or owner password.\n"
    "\n"
    "  --password PW         the user or owner password (default: asked on a terminal, else empty)\n"
    "  --password-file F     read it from the first line of F ('-' for standard input)\n"
    "  --quiet               no progress bar\n";

int Fail(std::ostream& err, const std::string& file, const std::string& reason, int status) {
  err << kProgram << ": " << file << ": " << reason << "\n";
  return status;
}

int FailCode(std::ostream& err, const std::string& file, int32_t code) {
  return Fail(err, file, ResultCodeText(code) + " (code " + std::to_string(code) + ")", ExitStatusForCode(code));
}

bool WantsHelp(const Args& args, std::ostream& out, const char* help) {
  if (!args.Has("help")) return false;
  out << help;
  return true;
}

// A measurement in the shortest form that reads back exactly ("612", "595.28").

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
              "quiet", "help"},
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
    return FailCode(err, code == 402 || code == 403 ? outFile : in, code);
  }
  if (!args.Has("quiet"))
    out << "encrypted " << in << " -> " << outFile << " (" << (strength ? 128 : 40) << "-bit RC4)\n";
  return kExitOk;
}

int Decrypt(const Args& args, std::ostream& out, std::ostream& err, const PasswordSource& passwords) {
  if (WantsHelp(args, out, kDecryptHelp)) return kExitOk;
  args.Check({"password", "password-file", "quiet", "help"}, 2, 2);
  const std::string& in = args.Positional()[0];
  const std::string& outFile = args.Positional()[1];
  std::string password = ReadPassword(args, "password", "Password: ", passwords);
  TNorvex library;
  int32_t result;
  {
    ProgressHook progress(library, args, "decrypting");
    result = library.DecryptFile(in, outFile, password);
  }
  if (result != 1 || library.LastErrorCode() != 0) {
    int32_t code = library.LastErrorCode() ? library.LastErrorCode() : 403;
    return FailCode(err, code == 402 || code == 403 ? outFile : in, code);
  }
  if (!args.Has("quiet")) out << "decrypted " << in << " -> " << outFile << "\n";
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
    Args args(rest, {"json", "quiet", "help"});
    if (command == "encrypt") return Encrypt(args, out, err, passwords);
    if (command == "decrypt") return Decrypt(args, out, err, passwords);
    err << kProgram << ": unknown command '" << command << "'\n" << kUsage;
    return kExitUsage;
  } catch (const UsageError& e) {
    err << kProgram << " " << command << ": " << e.Text << "\nRun 'parvex-cli " << command
        << " --help' for its options.\n";
    return kExitUsage;
  }
}

}  // namespace cli
