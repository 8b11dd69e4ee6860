// State shared by the host runtime's translation units.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/sds/host.h"

namespace sds_host {

struct RuntimeState {
  std::wstring app_name;
  HINSTANCE instance = nullptr;
  std::vector<Command> commands;
  int function_code = -1;
  int reject_defun_countdown = 0;
  std::vector<std::wstring> messages;
  std::vector<int> progress_log;
  bool progress_active = false;
  std::shared_ptr<Drawing> drawing;
  std::map<long long, std::vector<EntityId>> selection_sets;
  long long next_selection_set = 1;
};

RuntimeState& State();
void DrawProgress(int percent);

}  // namespace sds_host
