#include "hostapp/batch_database.h"
#include "hostapp/report.h"

#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <sstream>

#include "hostapp/block_reference.h"
#include "hostapp/host.h"
#include "platform/console/console.h"
#include "platform/gui/backend.h"
#include "platform/win/text.h"

namespace hostapp {

namespace {

namespace fs = std::filesystem;

// The database dialog as a person sees it: its template and control ids.
constexpr const wchar_t* kDatabaseDialog = L"IDD_F2921BEA_FA7A_45E9_B388_9A3CA6E92BCC";
enum : int {
  kNewDatabase = 100,
  kExistingDatabase = 101,
  kDatabasePath = 102,
  kTable = 106,
  kUseTemplate = 111,
  kTemplateDatabase = 112,
  kTemplateTable = 114,
  kAppend = 116,
  kRowFields = 117,
  kUser = 124,
  kPassword = 125,
  kRowFieldsOption = 126,
  kOverwrite = 127,
};

using hostapp::Fail;

std::wstring Absolute(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(fs::path(path), ec);
  return win::Utf8ToWide((ec ? fs::path(path) : p).lexically_normal().string());
}

// Passes the command-line output on and keeps what is written while armed.
class OutputWatch {
 public:
  OutputWatch() {
    previous_ = console::SetSink([this](const std::wstring& text) {
      if (armed_) seen_ += text;
      Pass(text);
    });
  }
  ~OutputWatch() { console::SetSink(std::move(previous_)); }
  OutputWatch(const OutputWatch&) = delete;
  OutputWatch& operator=(const OutputWatch&) = delete;

  // Written on, but never counted: the batch's own lines.
  void Pass(const std::wstring& text) const {
    if (previous_) {
      previous_(text);
      return;
    }
    const std::string bytes = win::WideToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
  }
  void Arm() { armed_ = true; }
  // True when something other than blanks was written while armed.
  bool SawText() const { return seen_.find_first_not_of(L" \t\r\n") != std::wstring::npos; }

 private:
  console::Sink previous_;
  bool armed_ = false;
  std::wstring seen_;
};

// Fills the database dialog from the options, names the new file in the
// save dialog and answers the confirmation questions with Yes. Every other
// box, and any dialog it cannot answer, counts as an error.
class DatabaseBackend : public gui::Backend {
 public:
  DatabaseBackend(const DatabaseBatchOptions& options, OutputWatch& out)
      : options_(options), out_(out), previous_(gui::SetBackend(this)) {}
  ~DatabaseBackend() override { gui::SetBackend(previous_); }
  DatabaseBackend(const DatabaseBackend&) = delete;
  DatabaseBackend& operator=(const DatabaseBackend&) = delete;

  bool accepted() const { return accepted_; }
  int errors() const { return errors_; }

  bool Act(gui::DialogDriver& d) override {
    const gui::DialogState state = d.State();
    if (state.template_name != kDatabaseDialog || filled_) {
      // A second round means OK did not close the dialog: it refused the input.
      Error(L"\n*** The dialog \"" + state.title + L"\" is left unanswered (cancelled).");
      return false;
    }
    filled_ = true;
    // Each further table of the drawing (--all-tables) goes into NAME_2, ...
    ++shown_;
    const std::wstring table = win::Utf8ToWide(options_.table) +
                               (shown_ > 1 ? L"_" + std::to_wstring(shown_) : std::wstring());
    bool ok = true;
    auto act = [&](bool done) {
      if (!done) {
        Error(L"\n*** " + d.problem());
        ok = false;
      }
    };
    const bool existing = fs::exists(fs::path(options_.file));
    if (existing) {
      act(d.SetCheck(kExistingDatabase, true));
      act(d.Type(kDatabasePath, Absolute(options_.file)));
      act(d.Type(kUser, win::Utf8ToWide(options_.user)));
      act(d.Type(kPassword, win::Utf8ToWide(options_.password)));
    } else {
      act(d.SetCheck(kNewDatabase, true));
    }
    act(d.Type(kTable, table));
    act(d.SetCheck(kOverwrite, options_.overwrite));
    act(d.SetCheck(kRowFields, !options_.fieldNames.empty()));
    if (!options_.fieldNames.empty()) {
      act(d.PickIndex(kRowFieldsOption, options_.fieldNames == "last" ? 1 : 0));
    }
    act(d.SetCheck(kAppend, options_.append));
    act(d.SetCheck(kUseTemplate, !options_.templateFile.empty()));
    if (!options_.templateFile.empty()) {
      act(d.Type(kTemplateDatabase, Absolute(options_.templateFile)));
      act(d.Type(kTemplateTable, win::Utf8ToWide(options_.templateTable)));
    }
    if (!ok) return false;
    if (!d.Press(IDOK)) {
      Error(L"\n*** " + d.problem());
      return false;
    }
    return true;
  }

  void DialogClosed(const gui::DialogState& state, int result) override {
    if (state.template_name != kDatabaseDialog) return;
    filled_ = false;
    if (result == IDOK) {
      accepted_ = true;
      out_.Arm();
    }
  }

  int AnswerMessageBox(const gui::MessageBoxRequest& box) override {
    out_.Pass(L"\n*** " + box.caption + L" ***\n" + box.text);
    if ((box.type & MB_TYPEMASK) == MB_YESNO) {
      out_.Pass(L"\n> yes");
      return IDYES;
    }
    ++errors_;
    return gui::SafestAnswer(box.type);
  }

  bool AnswerFileDialog(const gui::FileDialogRequest& request,
                        gui::FileDialogAnswer& answer) override {
    if (request.open || named_file_) {
      Error(L"\n*** The file dialog \"" + request.title + L"\" is left unanswered (cancelled).");
      return false;
    }
    named_file_ = true;
    answer.path = Absolute(options_.file);
    out_.Pass(L"\n" + request.title + L": " + answer.path);
    return true;
  }

 private:
  void Error(const std::wstring& text) {
    out_.Pass(text);
    ++errors_;
  }

  const DatabaseBatchOptions& options_;
  OutputWatch& out_;
  gui::Backend* previous_;
  bool filled_ = false;  // the open dialog was filled in
  int shown_ = 0;
  bool named_file_ = false;
  bool accepted_ = false;
  int errors_ = 0;
};

// The answers at the command's prompts.
class PromptLines {
 public:
  explicit PromptLines(const std::string& lines)
      : stream_(lines), input_(stream_), previous_(console::SetInput(&input_)) {}
  ~PromptLines() { console::SetInput(previous_); }
  PromptLines(const PromptLines&) = delete;
  PromptLines& operator=(const PromptLines&) = delete;

 private:
  std::istringstream stream_;
  console::StreamInput input_;
  console::Input* previous_;
};

}  // namespace

ArgumentUse ParseDatabaseArgument(const std::vector<std::string>& args, std::size_t& i,
                                  DatabaseBatchOptions& o, std::string& error) {
  const std::string& a = args[i];
  auto value = [&](std::string& into) {
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      error = a + " needs a value";
      return ArgumentUse::kFailed;
    }
    into = args[++i];
    o.given = true;
    return ArgumentUse::kTaken;
  };
  if (a == "--db") return value(o.file);
  if (a == "--table") return value(o.table);
  if (a == "--user") return value(o.user);
  if (a == "--password") return value(o.password);
  if (a == "--field-names") {
    if (value(o.fieldNames) == ArgumentUse::kFailed) return ArgumentUse::kFailed;
    if (o.fieldNames != "first" && o.fieldNames != "last") {
      error = "--field-names takes first or last, not " + o.fieldNames;
      return ArgumentUse::kFailed;
    }
    return ArgumentUse::kTaken;
  }
  if (a == "--template") {
    std::string both;
    if (value(both) == ArgumentUse::kFailed) return ArgumentUse::kFailed;
    // The table follows the last colon, so a path may hold colons of its own.
    const std::size_t colon = both.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == both.size()) {
      error = "--template takes DBFILE:TABLE, not " + both;
      return ArgumentUse::kFailed;
    }
    o.templateFile = both.substr(0, colon);
    o.templateTable = both.substr(colon + 1);
    return ArgumentUse::kTaken;
  }
  if (a == "--overwrite" || a == "--no-append") {
    (a == "--overwrite" ? o.overwrite : o.append) = a == "--overwrite";
    o.given = true;
    return ArgumentUse::kTaken;
  }
  return ArgumentUse::kNotOurs;
}

bool CheckDatabaseOptions(const DatabaseBatchOptions& o, const std::string& drawing,
                          const std::string& output, std::string& error) {
  if (!o.given) return true;
  if (o.file.empty()) {
    error = "the database options need --db FILE";
  } else if (o.table.empty()) {
    error = "--db needs --table NAME";
  } else if (drawing.empty()) {
    error = "--db needs a drawing to convert";
  } else if (!output.empty()) {
    error = "--db and -o cannot be used together";
  } else {
    return true;
  }
  return false;
}

std::string DatabaseUsage() {
  return "  --db FILE        batch: convert the drawing's table (every entity, or the\n"
         "                   block reference of --block) into table --table of the\n"
         "                   database FILE (created when missing), then end\n"
         "  --table NAME     the table to write into\n"
         "  --field-names first|last\n"
         "                   the first or the last row names the fields (default: the\n"
         "                   fields are Field1, Field2, ... or those of the table)\n"
         "  --overwrite      drop an existing table of that name first\n"
         "  --no-append      delete the table's records before writing\n"
         "  --template DBFILE:TABLE\n"
         "                   make the table as a copy of TABLE in DBFILE, records included\n"
         "  --user U, --password P\n"
         "                   user name and password of an existing database\n";
}

int RunDatabaseBatch(Host& host, const DatabaseBatchOptions& options, const std::string& block,
                     const std::string& selection, bool layoutGiven) {
  std::wstring command = L"LineText2Access";
  std::string answers = selection + "\n\n";
  if (!block.empty()) {
    const std::wstring handle = FindBlockReferenceInLayouts(win::Utf8ToWide(block), layoutGiven);
    if (handle.empty()) {
      Fail("the drawing has no block reference " + block);
      return kExitDatabaseExport;
    }
    command = L"Block2Access";
    answers = win::WideToUtf8(handle) + "\n";
  }

  bool accepted = false;
  int errors = 0;
  bool printed = false;
  {
    OutputWatch out;
    DatabaseBackend backend(options, out);
    PromptLines prompts(answers);
    console::Write(L"\nCommand: " + command);
    host.RunLine(command);
    accepted = backend.accepted();
    errors = backend.errors();
    printed = out.SawText();
  }
  if (!accepted) {
    Fail("nothing was written into " + options.file +
         ": the export ended before its dialog was "
         "completed");
    return kExitDatabaseExport;
  }
  if (errors > 0 || printed) {
    Fail("the export into " + options.file + " ended early or showed an error");
    return kExitDatabaseExport;
  }
  console::Write(L"\nTable " + win::Utf8ToWide(options.table) + L" written into " +
                 Absolute(options.file) + L".");
  return 0;
}

}  // namespace hostapp
