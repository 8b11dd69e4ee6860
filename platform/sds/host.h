// The host side of the SDS interface: what the host program (and tests that
// stand in for it) set up and read back around the plug-in's calls.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sds/sds.h"

namespace sds_host {

using EntityId = long long;  // 0 is no entity

struct Point {
  double x = 0, y = 0, z = 0;
};

// The drawing database behind the drawing-facing operations. Entity ids are
// the entities' handles, so a name typed at a prompt finds its entity.
class Drawing {
 public:
  virtual ~Drawing() = default;

  // The drawing's full file path (DWGPREFIX and DWGNAME derive from it).
  virtual std::wstring Path() const = 0;
  // The entity's data list (caller frees with sds_relrb), or nullptr.
  virtual sds_resbuf* EntGet(EntityId id) const = 0;
  // The entity's type name (its group 0), empty when there is no such entity. The default
  // reads it from EntGet; a database that knows it cheaper says so. Into a caller's text,
  // because selection asks for every entity's type and a new text each time showed.
  virtual void ReadEntityType(EntityId id, std::wstring& type) const;
  // The entity after id: from 0, the first entity of model space; from a
  // block header, that block's first entity. 0 at the end.
  virtual EntityId NextEntity(EntityId id) const = 0;
  // A table entry's entity ("BLOCK" gives the block header), or 0.
  virtual EntityId FindTableObject(const std::wstring& table, const std::wstring& name) const = 0;
  // The entity whose handle this hexadecimal text is, or 0.
  virtual EntityId FindByHandle(const std::wstring& handle) const = 0;
  // What a user can select in model space (no attributes, vertices or ends).
  virtual std::vector<EntityId> SelectAll() const = 0;
  // Entities wholly inside the window (or touching it, when crossing); the
  // corners are in the current user system.
  virtual std::vector<EntityId> SelectWindow(Point a, Point b, bool crossing) const = 0;
  // The entity nearest to a point picked in the current user system, or 0.
  virtual EntityId PickAt(Point p) const = 0;
  // Converts a point between world (0) and the current user system (1).
  virtual bool Trans(const Point& in, int from, int to, bool displacement, Point& out) const = 0;
  // A TEXT's box relative to its insertion point, as if unrotated.
  virtual bool TextBox(const sds_resbuf* entity, Point& lowerLeft, Point& upperRight) const = 0;
  // The entity a handle typed at "Select objects:" selects: 0 when it is not
  // in the current space or not shown.
  virtual EntityId SelectHandle(const std::wstring& handle) const { return FindByHandle(handle); }
  // The layout tabs, the model first; empty when the drawing has none.
  virtual std::vector<std::wstring> Layouts() const { return {}; }
  // Makes a layout the current space (selection, picks and walks from 0).
  virtual bool SetLayout(const std::wstring&) { return false; }
  virtual std::wstring CurrentLayout() const { return L"Model"; }
};

// Gives rb (from sds_newrb) a text of length characters plus the terminator, to be filled in,
// as its rstring, and returns it; nullptr when out of memory. The text frees like any other.
wchar_t* TextBuffer(sds_resbuf* rb, std::size_t length);
// n nodes as sds_newrb(0) gives them, linked in order through rbnext, taken in one call for a
// list whose length is known; each frees like any other. nullptr for 0 or out of memory.
sds_resbuf* NewList(std::size_t n);

void SetDrawing(std::shared_ptr<Drawing> drawing);
Drawing* GetDrawing();

// The application the host loaded, as SDS_GetGlobals reports it.
void SetApplication(const std::wstring& name, HINSTANCE instance);
HWND MainWindow();

struct Command {
  std::wstring name;  // as registered, with its "C:" prefix
  short code;
};
// The commands defined now, in the order they were defined.
std::vector<Command> Commands();
// A typed word (any case, with or without "C:"), or nullptr.
const Command* FindCommand(const std::wstring& word);
// The function code sds_getfuncode reports for the command being invoked.
void SetFunctionCode(int code);
// Makes the n-th sds_defun call from now on (1 = the next) and every later
// one fail, as a host that runs out of room does; 0 accepts all.
void RejectDefunFrom(int n);

// Host command strings the plug-in queued with sds_sendmessage, oldest
// first; taking them empties the queue.
std::vector<std::wstring> TakeMessages();

// Every value the progress meter was given since the last clear; -1 marks
// a start and -2 a stop.
std::vector<int> ProgressLog();
void ClearProgressLog();

// Everything a test may have changed: commands, messages, progress, the
// drawing, selection sets and the rejection of registrations.
void Reset();

// The older host's link loop: the plug-in's SDS_EntryPoint runs on a thread
// of its own and is served one request at a time through sds_link.
class LinkLoop {
 public:
  LinkLoop();
  ~LinkLoop();
  LinkLoop(const LinkLoop&) = delete;
  LinkLoop& operator=(const LinkLoop&) = delete;

  // Starts the entry point and waits for its first sds_link. False when it
  // ended (sds_exit) before linking.
  bool Start(std::function<void()> entry);
  // Sends RQXLOAD, RQSUBR or RQXUNLD and waits for the answer: the status of
  // the plug-in's next sds_link, or kEnded when its thread ended instead.
  int Request(int request);
  static constexpr int kEnded = -1000000;
  // The pending sds_link returns this negative code instead of a request, as
  // for a host whose link failed; answers as Request does.
  int FailNextLink(int code);
  // Ends the plug-in's thread (its pending sds_link does not return).
  void Stop();
  bool Running() const;
  // The status the plug-in passed to sds_exit, when it ended that way.
  int exit_status() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace sds_host
