#pragma once
// Window tests: one QApplication on the offscreen platform, dialogs answered from a script, and
// a scripted library that records every call the window makes.
#include <QApplication>
#include <QCoreApplication>
#include <QStringList>
#include <array>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "Library.h"
#include "Unit1.h"

namespace apptest {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "test_app";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform has no window masks and no stacking; it says so on every popup.
    static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
      if (text.startsWith("This plugin does not support")) return;
      previous(type, context, text);
    });
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Runs what is queued, including the deletion of closed popups.
inline void Settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Answers the file dialogs in order (an empty answer cancels) and records every message.
class ScriptedDialogs : public TDialogs {
 public:
  std::deque<QString> openAnswers, saveAnswers;
  QStringList messages;
  QStringList log;  // "open", "save" and each message, in the order they came

  QString OpenFile(QWidget*, const QString& current) override {
    log << "open";
    lastOpenCurrent = current;
    return Next(openAnswers);
  }
  QString SaveFile(QWidget*, const QString& current) override {
    log << "save";
    lastSaveCurrent = current;
    return Next(saveAnswers);
  }
  void ShowMessage(QWidget*, const QString& text) override {
    messages << text;
    log << text;
  }
  QString lastOpenCurrent, lastSaveCurrent;

 private:
  static QString Next(std::deque<QString>& answers) {
    if (answers.empty()) return {};
    QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

// A library answering from fields the test sets; records the calls in `calls`.
class FakeLibrary : public TLibrary {
 public:
  int32_t handle = 5, pageCount = 1, page = 9;
  double width = 612, height = 792;
  int32_t loadResult = 1, encrypted = 0, strength = 128;
  std::map<std::string, int32_t> passwordResults;  // SetPassword answers; others give 0 (3 unencrypted)
  std::map<int32_t, int32_t> securityInfo;         // SecurityInfo answers; others give 6 (allowed)
  std::array<std::string, 7> info{};
  std::map<int32_t, int32_t> setInfoErrors;  // refused SetInformation items, with their error code
  int32_t saveResult = 1;
  int32_t encryptResult = 1;
  std::map<std::string, int32_t> decryptErrors;  // password -> error code; missing means success
  std::vector<int32_t> progressSteps;            // reported during EncryptFile/DecryptFile
  std::function<void()> duringFileOperation;     // runs inside EncryptFile/DecryptFile
  bool leavesEmptyOutput = false;                // a failed file operation leaves an empty output

  std::vector<std::string> calls;
  std::array<int32_t, 8> permissionArgs{};
  int32_t lastError = 0;

  int32_t DAOpenFile(const std::string& f, const std::string& p) override {
    calls.push_back("DAOpenFile(" + f + "," + p + ")");
    return handle;
  }
  int32_t DAGetPageCount(int32_t h) override { return h == handle ? pageCount : 0; }
  int32_t DAFindPage(int32_t h, int32_t n) override { return h == handle && n == 1 && pageCount > 0 ? page : 0; }
  double DAGetPageWidth(int32_t h, int32_t p) override { return h == handle && p == page ? width : 0; }
  double DAGetPageHeight(int32_t h, int32_t p) override { return h == handle && p == page ? height : 0; }
  int32_t DACloseFile(int32_t h) override {
    calls.push_back("DACloseFile(" + std::to_string(h) + ")");
    return h == handle && h != 0;
  }
  int32_t LoadFromFile(const std::string& f) override {
    calls.push_back("LoadFromFile(" + f + ")");
    return loadResult;
  }
  int32_t Encrypted() override { return encrypted; }
  int32_t EncryptionStrength() override { return strength; }
  int32_t SetPassword(const std::string& p) override {
    calls.push_back("SetPassword(" + p + ")");
    auto it = passwordResults.find(p);
    return it != passwordResults.end() ? it->second : (encrypted ? 0 : 3);
  }
  int32_t SecurityInfo(int32_t item) override {
    auto it = securityInfo.find(item);
    return it != securityInfo.end() ? it->second : 6;
  }
  std::string GetInformation(int32_t item) override {
    lastError = 0;
    return item >= 0 && item < 7 ? info[item] : std::string();
  }
  int32_t SetInformation(int32_t item, const std::string& value) override {
    calls.push_back("SetInformation(" + std::to_string(item) + "," + value + ")");
    auto it = setInfoErrors.find(item);
    lastError = it != setInfoErrors.end() ? it->second : 0;
    if (it != setInfoErrors.end()) return 0;
    // Like the library, a PDF Version it cannot write is passed over, not refused.
    static const std::set<std::string> kVersions{"1.0", "1.1", "1.2", "1.3", "1.4", "1.5"};
    if (item != 0 || kVersions.count(value)) info[item] = value;
    return 1;
  }
  int32_t SaveToFile(const std::string& f) override {
    calls.push_back("SaveToFile(" + f + ")");
    return saveResult;
  }
  int32_t Permissions(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f, int32_t g,
                      int32_t h) override {
    permissionArgs = {a, b, c, d, e, f, g, h};
    return 0x4242;
  }
  int32_t EncryptFile(const std::string& in, const std::string& out, const std::string& owner,
                      const std::string& user, int32_t strengthArg, int32_t perms) override {
    calls.push_back("EncryptFile(" + in + "," + out + "," + owner + "," + user + "," + std::to_string(strengthArg) +
                    "," + std::to_string(perms) + ")");
    Report();
    lastError = encryptResult == 1 ? 0 : 406;
    if (lastError != 0) LeaveEmpty(out);
    return encryptResult;
  }
  int32_t DecryptFile(const std::string& in, const std::string& out, const std::string& password) override {
    calls.push_back("DecryptFile(" + in + "," + out + "," + password + ")");
    Report();
    auto it = decryptErrors.find(password);
    lastError = it != decryptErrors.end() ? it->second : 0;
    if (lastError != 0) LeaveEmpty(out);
    return lastError == 0 ? 1 : 0;
  }
  int32_t LastErrorCode() override { return lastError; }
  void SetProgress(std::function<void(int32_t)> p) override { progress = std::move(p); }

  std::function<void(int32_t)> progress;

  // The calls whose text starts with a prefix.
  std::vector<std::string> CallsOf(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& c : calls)
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
  }

 private:
  void LeaveEmpty(const std::string& out) {
    if (leavesEmptyOutput) std::ofstream(out, std::ios::trunc);
  }
  void Report() {
    for (int32_t step : progressSteps)
      if (progress) progress(step);
    if (duringFileOperation) duringFileOperation();
  }
};

// A window whose first Open makes the prepared fake library.
struct Harness {
  ScriptedDialogs dialogs;
  std::unique_ptr<FakeLibrary> pending = std::make_unique<FakeLibrary>();
  FakeLibrary* lib = pending.get();
  std::unique_ptr<TForm1> form;

  Harness() {
    App();
    form = std::make_unique<TForm1>(dialogs, [this]() -> std::unique_ptr<TLibrary> { return std::move(pending); });
  }
};

}  // namespace apptest
