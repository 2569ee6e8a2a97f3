#pragma once
// Pieces of the command-line tool that do not touch PDF: argument scanning, password
// sources, the progress bar, and the mapping of library result codes to messages and
// exit statuses.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// Exit statuses, one per kind of failure.
enum ExitStatus : int {
  kExitOk = 0,
  kExitOther = 1,         // a failure of no other kind
  kExitUsage = 2,         // bad command line
  kExitPassword = 3,      // the password was not accepted
  kExitDamaged = 4,       // not a PDF, or damaged beyond reading
  kExitIo = 5,            // a file could not be opened, replaced or written
  kExitState = 6,         // the file is in the wrong state (already encrypted, not encrypted)
};

// Thrown for command-line mistakes; main prints the text with the usage hint.
struct UsageError {
  std::string Text;
};

// A scanned command line: positional arguments and --name value / --name=value options.
class Args {
 public:
  // flags: option names that take no value (e.g. "json", "quiet", "help").
  Args(const std::vector<std::string>& argv, const std::vector<std::string>& flags);
  const std::vector<std::string>& Positional() const { return FPositional; }
  bool Has(const std::string& name) const { return FOptions.count(name) > 0; }
  std::optional<std::string> Get(const std::string& name) const;
  // Refuses options not in the allowed list, and a positional count outside min..max.
  void Check(const std::vector<std::string>& allowed, size_t minPositional, size_t maxPositional) const;

 private:
  std::vector<std::string> FPositional;
  std::map<std::string, std::string> FOptions;
};

// Where the tool reads passwords from; replaced in tests.
struct PasswordSource {
  std::function<std::string(const std::string& path)> ReadFile;  // "-" is standard input
  std::function<bool()> IsInteractive;                            // standard input is a terminal
  std::function<std::string(const std::string& prompt)> Prompt;   // asks without echo
};
PasswordSource SystemPasswordSource();

// The password named by --<name> or --<name>-file, converted to library bytes. When neither is
// given, an interactive terminal is asked (without echo); otherwise the password is empty.
std::string ReadPassword(const Args& args, const std::string& name, const std::string& prompt,
                         const PasswordSource& source, bool askWhenMissing = true);

// The rights of a comma-separated list of right names ("all", "none", print, modify, copy,
// annotate, fill-forms, accessibility, assemble). Throws UsageError.
struct Rights {
  bool Print = false, Modify = false, Copy = false, Annotate = false, FillForms = false,
       Accessibility = false, Assemble = false;
};
Rights ParseRights(const std::string& list);

// A progress bar on standard error, drawn only when enabled; Update takes 0..100.
class ProgressBar {
 public:
  ProgressBar(bool enabled, std::string label);
  ~ProgressBar();
  void Update(int32_t percent);
  void Finish();

 private:
  bool FEnabled;
  bool FDrawn = false;
  int32_t FLast = -1;
  std::string FLabel;
};
// True when standard error is a terminal.
bool StderrIsTerminal();

// Plain-words meaning of a file operation's result code, and the exit status for it.
std::string ResultCodeText(int32_t code);
int ExitStatusForCode(int32_t code);

}  // namespace cli
