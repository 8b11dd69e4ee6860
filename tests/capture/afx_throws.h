// The framework throws its exceptions as pointers that the handler deletes;
// these helpers catch, delete and report them.
#pragma once

#include <functional>

#include "platform/afx/afx.h"

namespace gm::test {

template <typename E>
bool ThrowsAfx(const std::function<void()>& action) {
  try {
    action();
  } catch (E* e) {
    e->Delete();
    return true;
  }
  return false;
}

// The cause of the CArchiveException the action raised, or -1 for none.
inline int ArchiveCause(const std::function<void()>& action) {
  try {
    action();
  } catch (CArchiveException* e) {
    const int cause = e->m_cause;
    e->Delete();
    return cause;
  }
  return -1;
}

}  // namespace gm::test
