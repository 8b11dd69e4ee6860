// The host's command line: where commands, prompts and the plug-in's output
// meet the user. Input comes from a person at the terminal, or from a script
// (a file or piped standard input); in script mode every prompt is printed
// with the answer read, so a log shows what a person would have seen.
#pragma once

#include <functional>
#include <istream>
#include <memory>
#include <string>

namespace console {

class Input {
 public:
  virtual ~Input() = default;
  // Shows the prompt and reads one line without its line end; false at the
  // end of the input.
  virtual bool ReadLine(const std::wstring& prompt, std::wstring& line) = 0;
  // True when a person answers (the terminal), false for a script.
  virtual bool IsInteractive() const = 0;
};

// Lines from a stream (a script file or a pipe). Prompts and answers are echoed.
class StreamInput : public Input {
 public:
  explicit StreamInput(std::istream& in) : in_(in) {}
  bool ReadLine(const std::wstring& prompt, std::wstring& line) override;
  bool IsInteractive() const override { return false; }
  int line_number() const { return line_number_; }

 private:
  std::istream& in_;
  int line_number_ = 0;
};

// Lines typed by a person on the terminal (standard input is a terminal).
class TerminalInput : public Input {
 public:
  bool ReadLine(const std::wstring& prompt, std::wstring& line) override;
  bool IsInteractive() const override { return true; }
};

// The input the host reads from; never null (an empty script by default).
Input& GetInput();
// Installs an input; returns the one before. The caller keeps ownership.
Input* SetInput(Input* input);

bool ReadLine(const std::wstring& prompt, std::wstring& line);
bool IsInteractive();

// Command-line output, UTF-8 on standard output unless redirected.
void Write(const std::wstring& text);
// Whether standard output's last text ended its line (true before any).
bool AtLineStart();
using Sink = std::function<void(const std::wstring&)>;
// Redirects output (tests capture it); returns the sink before, empty for stdout.
Sink SetSink(Sink sink);

// Captures the command-line output while it lives.
class Capture {
 public:
  Capture();
  ~Capture();
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  const std::wstring& text() const { return *text_; }
  void clear() { text_->clear(); }

 private:
  std::shared_ptr<std::wstring> text_;
  Sink previous_;
};

// Feeds lines to the input while it lives (for tests of prompts and dialogs).
class ScriptedLines {
 public:
  explicit ScriptedLines(const std::string& lines);
  ~ScriptedLines();
  ScriptedLines(const ScriptedLines&) = delete;
  ScriptedLines& operator=(const ScriptedLines&) = delete;

 private:
  std::unique_ptr<std::istream> stream_;
  std::unique_ptr<StreamInput> input_;
  Input* previous_;
};

}  // namespace console
