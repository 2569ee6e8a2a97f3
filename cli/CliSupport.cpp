#include "CliSupport.h"

#include "uNorvex.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "TextCodec.h"
#include "uNorvex.h"

namespace cli {

Args::Args(const std::vector<std::string>& argv, const std::vector<std::string>& flags) {
  auto isFlag = [&](const std::string& name) {
    for (const auto& f : flags)
      if (f == name) return true;
    return false;
  };
  bool onlyPositional = false;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (onlyPositional || a.size() < 2 || a.compare(0, 2, "--") != 0) {
      // "-" alone is a positional argument (standard input / output).
      if (!onlyPositional && a.size() > 1 && a[0] == '-' && a != "-") {
        if (a == "-h") { FOptions["help"] = ""; continue; }
        throw UsageError{"unknown option " + a};
      }
      FPositional.push_back(a);
      continue;
    }
    if (a == "--") {
      onlyPositional = true;
      continue;
    }
    std::string name = a.substr(2), value;
    size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      if (isFlag(name)) throw UsageError{"option --" + name + " takes no value"};
    } else if (!isFlag(name)) {
      if (i + 1 >= argv.size()) throw UsageError{"option --" + name + " needs a value"};
      value = argv[++i];
    }
    FOptions[name] = value;
  }
}

std::optional<std::string> Args::Get(const std::string& name) const {
  auto it = FOptions.find(name);
  if (it == FOptions.end()) return std::nullopt;
  return it->second;
}

void Args::Check(const std::vector<std::string>& allowed, size_t minPositional, size_t maxPositional) const {
  for (const auto& [name, value] : FOptions) {
    bool ok = false;
    for (const auto& a : allowed) ok = ok || a == name;
    if (!ok) throw UsageError{"unknown option --" + name};
  }
  if (FPositional.size() < minPositional) throw UsageError{"missing file name"};
  if (FPositional.size() > maxPositional) throw UsageError{"unexpected argument " + FPositional[maxPositional]};
}

namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ostringstream ss;
  if (path == "-") {
    ss << std::cin.rdbuf();
  } else {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw UsageError{"cannot read password file " + path};
    ss << in.rdbuf();
  }
  return ss.str();
}

std::string PromptWithoutEcho(const std::string& prompt) {
  std::cerr << prompt << std::flush;
  termios old{};
  bool restore = tcgetattr(STDIN_FILENO, &old) == 0;
  if (restore) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  std::getline(std::cin, line);
  if (restore) tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
  std::cerr << "\n";
  return line;
}

// A password file holds the password on its first line; the line end is not part of it.
std::string FirstLine(const std::string& text) {
  size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace

PasswordSource SystemPasswordSource() {
  return PasswordSource{ReadWholeFile, [] { return isatty(STDIN_FILENO) == 1; }, PromptWithoutEcho};
}

std::string ReadPassword(const Args& args, const std::string& name, const std::string& prompt,
                         const PasswordSource& source, bool askWhenMissing) {
  std::string utf8;
  if (auto direct = args.Get(name)) {
    if (args.Has(name + "-file")) throw UsageError{"give either --" + name + " or --" + name + "-file"};
    utf8 = *direct;
  } else if (auto file = args.Get(name + "-file")) {
    utf8 = FirstLine(source.ReadFile(*file));
  } else if (askWhenMissing && source.IsInteractive()) {
    utf8 = source.Prompt(prompt);
  }
  return textcodec::Utf8ToLibrary(utf8);
}

Rights ParseRights(const std::string& list) {
  Rights r;
  std::stringstream ss(list);
  std::string item;
  bool any = false;
  while (std::getline(ss, item, ',')) {
    any = true;
    if (item == "all") {
      r = Rights{true, true, true, true, true, true, true};
    } else if (item == "none") {
      r = Rights{};
    } else if (item == "print") {
      r.Print = true;
    } else if (item == "modify") {
      r.Modify = true;
    } else if (item == "copy") {
      r.Copy = true;
    } else if (item == "annotate") {
      r.Annotate = true;
    } else if (item == "fill-forms") {
      r.FillForms = true;
    } else if (item == "accessibility") {
      r.Accessibility = true;
    } else if (item == "assemble") {
      r.Assemble = true;
    } else {
      throw UsageError{"unknown right '" + item +
                       "' (use all, none, or print, modify, copy, annotate, fill-forms, accessibility, assemble)"};
    }
  }
  if (!any) throw UsageError{"--allow needs a list of rights (or all / none)"};
  return r;
}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

ProgressBar::ProgressBar(bool enabled, std::string label) : FEnabled(enabled), FLabel(std::move(label)) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Update(int32_t percent) {
  if (!FEnabled || percent == FLast) return;
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  FLast = percent;
  constexpr int kWidth = 40;
  int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", FLabel.c_str(), filled, "########################################",
               kWidth - filled, "", percent);
  std::fflush(stderr);
  FDrawn = true;
}

void ProgressBar::Finish() {
  if (FDrawn) {
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(FLabel.size()) + 48, "");
    std::fflush(stderr);
    FDrawn = false;
  }
}

std::string ResultCodeText(int32_t code) {
  switch (code) {
    case 401: return "the input file cannot be opened";
    case 402: return "the output file cannot be replaced";
    case 403: return "the output file cannot be written, or reading the input failed";
    case 404: return "the password is neither the user nor the owner password";
    case 405: return "the file is not encrypted with the standard security handler";
    case 406: return "the file is already encrypted";
    case 407: return "the encryption strength must be 40 or 128 bits";
    case 408: return "the permission value is not valid";
    case 409: return "the file is not a PDF file or is damaged beyond reading";
    case TNorvex::kCodeCopyUnsound:
      return "the written file did not read back whole (no catalog, another page count, or objects "
             "missing): the input is damaged or could be read only in part; nothing was replaced";
    case TNorvex::kCodeSourceChanged: return "the file changed while it was being read; nothing was replaced";
    default: return "the operation failed";
  }
}

int ExitStatusForCode(int32_t code) {
  switch (code) {
    case 0: return kExitOk;
    case 404: return kExitPassword;
    case 409: case TNorvex::kCodeCopyUnsound: return kExitDamaged;
    case 401: case 402: case 403: case TNorvex::kCodeSourceChanged: return kExitIo;
    case 405: case 406: return kExitState;
    case 407: case 408: return kExitUsage;
    default: return kExitOther;
  }
}

}  // namespace cli
