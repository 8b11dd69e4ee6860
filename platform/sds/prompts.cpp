// Text prompts on the host's command line.
#include <cwchar>
#include <string>

#include "platform/console/console.h"
#include "platform/sds/sds.h"

int sds_getstring(int cronly, const wchar_t* prompt, wchar_t* result) {
  if (result == nullptr) return RTERROR;
  result[0] = 0;
  std::wstring answer;
  if (!console::ReadLine(prompt != nullptr ? prompt : L"", answer)) return RTCAN;
  while (!answer.empty() && (answer.back() == L'\r' || answer.back() == L'\n')) answer.pop_back();
  if (answer == L"\x1b") return RTCAN;
  // Without cronly a space ends the answer, as the space bar does when typed.
  if (cronly == 0) answer = answer.substr(0, answer.find(L' '));
  if (answer.size() >= kSdsStringMax) return RTERROR;
  std::wmemcpy(result, answer.c_str(), answer.size() + 1);
  return RTNORM;
}
