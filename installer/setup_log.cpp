#include "installer/setup_log.h"

#include <cstdio>

#include "platform/clock.h"

namespace qel::installer {

namespace {

constexpr const char* LineEnd = "\r\n";

const char* ChangeText(TLogChange change) {
  switch (change) {
    case TLogChange::lcCreated: return "created";
    case TLogChange::lcReplaced: return "replaced";
    case TLogChange::lcRemoved: return "removed";
    case TLogChange::lcRestored: return "restored";
    case TLogChange::lcScheduled: return "scheduled";  // to be deleted when the system next starts
  }
  return "changed";
}

const char* ObjectText(TLogObject object) {
  switch (object) {
    case TLogObject::loFile: return "file";
    case TLogObject::loFolder: return "folder";
    case TLogObject::loLink: return "link";
    case TLogObject::loRegistryValue: return "registry value";
    case TLogObject::loRegistryKey: return "registry key";
  }
  return "item";
}

// A message box's text, paragraphs and all, as one line of the log.
std::string OneLine(const std::string& text) {
  std::string line;
  bool pendingBreak = false;
  for (const char c : text) {
    if (c == '\r' || c == '\n') {
      pendingBreak = !line.empty();
      continue;
    }
    if (pendingBreak) line += " / ";
    pendingBreak = false;
    line += c;
  }
  return line;
}

}  // namespace

TSetupLog& TSetupLog::Instance() {
  static TSetupLog log;
  return log;
}

TSetupLog::~TSetupLog() { Close(); }

bool TSetupLog::Open(const std::string& file) {
  Close();
  FFile = platform::FileCreate(file);
  return Active();
}

void TSetupLog::Close() {
  if (!Active()) return;
  platform::FileClose(FFile);
  FFile = platform::InvalidFileHandle;
}

void TSetupLog::Changed(TLogChange change, TLogObject object, const std::string& name) {
  if (Active()) Write(std::string(ChangeText(change)) + " " + ObjectText(object) + " " + name);
}

void TSetupLog::Error(const std::string& message) {
  if (Active()) Write("error: " + OneLine(message));
}

void TSetupLog::Notice(const std::string& message) {
  if (Active()) Write("notice: " + OneLine(message));
}

void TSetupLog::Line(const std::string& text) {
  if (Active()) Write(text);
}

// Each line goes to the system at once, unbuffered: a killed process loses none of it.
void TSetupLog::Write(const std::string& text) {
  const platform::TLocalTime now = platform::LocalTimeNow();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", now.Year, now.Month, now.Day, now.Hour,
                now.Minute, now.Second);
  const std::string line = stamp + text + LineEnd;
  platform::FileWrite(FFile, line.data(), static_cast<std::int32_t>(line.size()));
}

void LogChange(TLogChange change, TLogObject object, const std::string& name) {
  SetupLog().Changed(change, object, name);
}

}  // namespace qel::installer
