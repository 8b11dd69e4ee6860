#include "platform/console/console.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>

#include "platform/win/text.h"

namespace console {

namespace {

std::mutex& OutputMutex() {
  static std::mutex m;
  return m;
}

Sink& CurrentSink() {
  static Sink sink;
  return sink;
}

class EmptyInput : public Input {
 public:
  bool ReadLine(const std::wstring&, std::wstring&) override { return false; }
  bool IsInteractive() const override { return false; }
};

Input*& CurrentInput() {
  static EmptyInput empty;
  static Input* input = &empty;
  return input;
}

void StripLineEnd(std::string& s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
}

}  // namespace

bool StreamInput::ReadLine(const std::wstring& prompt, std::wstring& line) {
  Write(prompt);
  std::string raw;
  if (!std::getline(in_, raw)) {
    Write(L"\n");
    return false;
  }
  ++line_number_;
  StripLineEnd(raw);
  line = win::Utf8ToWide(raw);
  Write(line + L"\n");
  return true;
}

bool TerminalInput::ReadLine(const std::wstring& prompt, std::wstring& line) {
  Write(prompt);
  std::fflush(stdout);
  std::string raw;
  if (!std::getline(std::cin, raw)) {
    Write(L"\n");
    return false;
  }
  StripLineEnd(raw);
  line = win::Utf8ToWide(raw);
  return true;
}

Input& GetInput() { return *CurrentInput(); }

Input* SetInput(Input* input) {
  Input* previous = CurrentInput();
  if (input != nullptr) CurrentInput() = input;
  return previous;
}

bool ReadLine(const std::wstring& prompt, std::wstring& line) {
  return GetInput().ReadLine(prompt, line);
}

bool IsInteractive() { return GetInput().IsInteractive(); }

namespace {
std::atomic<bool>& AtLineStartFlag() {
  static std::atomic<bool> flag{true};
  return flag;
}
}  // namespace

void Write(const std::wstring& text) {
  Sink sink;
  {
    std::lock_guard lock(OutputMutex());
    sink = CurrentSink();
  }
  if (sink) {
    sink(text);
    return;
  }
  std::string bytes = win::WideToUtf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
  if (!text.empty()) AtLineStartFlag() = text.back() == L'\n';
}

bool AtLineStart() { return AtLineStartFlag(); }

Sink SetSink(Sink sink) {
  std::lock_guard lock(OutputMutex());
  Sink previous = std::move(CurrentSink());
  CurrentSink() = std::move(sink);
  return previous;
}

Capture::Capture() : text_(std::make_shared<std::wstring>()) {
  auto text = text_;
  previous_ = SetSink([text](const std::wstring& s) { *text += s; });
}

Capture::~Capture() { SetSink(std::move(previous_)); }

ScriptedLines::ScriptedLines(const std::string& lines)
    : stream_(std::make_unique<std::istringstream>(lines)),
      input_(std::make_unique<StreamInput>(*stream_)),
      previous_(SetInput(input_.get())) {}

ScriptedLines::~ScriptedLines() { SetInput(previous_); }

}  // namespace console
