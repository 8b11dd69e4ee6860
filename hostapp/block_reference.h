// Finding the block reference a batch run converts.
#pragma once

#include <string>

namespace hostapp {

// The handle of the block reference `block` names: itself when it is the
// handle of an INSERT, else the first INSERT of the block of that name
// (case ignored). Empty when there is none.
std::wstring FindBlockReference(const std::wstring& block);
// The same in the current layout, then, unless the user chose the layout, in
// the others in tab order: the one that holds it is made current.
std::wstring FindBlockReferenceInLayouts(const std::wstring& block, bool layoutGiven);

}  // namespace hostapp
