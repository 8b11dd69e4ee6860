// The batch export into a database: --db FILE --table NAME and their
// companions run LineText2Access on every entity of the drawing (or
// Block2Access on the block reference of --block) and answer the database
// dialog, the save dialog of a new file and the confirmation questions as
// the options say. Any other message box, an alert of the database layer
// included, is printed and makes the run fail, as does anything the export
// prints after the dialog (it prints nothing when every record was written).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace hostapp {

class Host;

inline constexpr int kExitDatabaseExport = 6;

struct DatabaseBatchOptions {
  std::string file;          // --db: written when missing, else opened
  std::string table;         // --table
  std::string fieldNames;    // --field-names: empty, "first" or "last"
  bool overwrite = false;    // --overwrite
  bool append = true;        // --no-append clears it
  std::string templateFile;  // --template DBFILE:TABLE
  std::string templateTable;
  std::string user;      // --user
  std::string password;  // --password
  bool given = false;    // any of these options appeared

  bool requested() const { return !file.empty(); }
};

enum class ArgumentUse { kNotOurs, kTaken, kFailed };

// Takes args[i] (and its value, advancing i) when it is one of the options
// above; kFailed with a message naming the option when its value is wrong.
ArgumentUse ParseDatabaseArgument(const std::vector<std::string>& args, std::size_t& i,
                                  DatabaseBatchOptions& options, std::string& error);

// After parsing: the options need --db, --table and a drawing, and do not go
// with -o. False with a message otherwise.
bool CheckDatabaseOptions(const DatabaseBatchOptions& options, const std::string& drawing,
                          const std::string& output, std::string& error);

// The lines of the options for --help.
std::string DatabaseUsage();

// Runs the export; 0 when every record was written, kExitDatabaseExport when
// the export ended early, showed an error or was not completed. selection is
// the answer at "Select objects:" when no block is given.
int RunDatabaseBatch(Host& host, const DatabaseBatchOptions& options, const std::string& block,
                     const std::string& selection = "ALL", bool layoutGiven = false);

}  // namespace hostapp
