#include "hostapp/block_reference.h"

#include "platform/console/console.h"
#include "platform/sds/host.h"
#include "platform/sds/sds.h"
#include "platform/win/strings.h"

namespace hostapp {

namespace {

std::wstring GroupText(const sds_resbuf* list, int code) {
  for (const sds_resbuf* rb = list; rb != nullptr; rb = rb->rbnext) {
    if (rb->restype == code && rb->resval.rstring != nullptr) return rb->resval.rstring;
  }
  return {};
}

}  // namespace

std::wstring FindBlockReference(const std::wstring& block) {
  const std::wstring wanted = win::ToUpper(block);
  std::wstring byName;
  sds_name entity = {0, 0};
  sds_name next;
  bool first = true;
  while (sds_entnext(first ? nullptr : entity, next) == RTNORM) {
    first = false;
    sds_name_set(next, entity);
    sds_resbuf* list = sds_entget(entity);
    const bool insert = win::ToUpper(GroupText(list, 0)) == L"INSERT";
    const std::wstring handle = GroupText(list, 5);
    const std::wstring name = GroupText(list, 2);
    sds_relrb(list);
    if (!insert) continue;
    if (win::ToUpper(handle) == wanted) return handle;
    if (byName.empty() && win::ToUpper(name) == wanted) byName = handle;
  }
  return byName;
}

std::wstring FindBlockReferenceInLayouts(const std::wstring& block, bool layoutGiven) {
  std::wstring handle = FindBlockReference(block);
  sds_host::Drawing* drawing = sds_host::GetDrawing();
  if (!handle.empty() || layoutGiven || drawing == nullptr) return handle;
  // Without --layout the reference may sit on any tab; its own becomes current.
  const std::wstring current = drawing->CurrentLayout();
  for (const std::wstring& layout : drawing->Layouts()) {
    if (layout == current || !drawing->SetLayout(layout)) continue;
    handle = FindBlockReference(block);
    if (!handle.empty()) {
      console::Write(L"\nBlock reference " + block + L" is in layout " + layout + L".");
      return handle;
    }
  }
  drawing->SetLayout(current);
  return handle;
}

}  // namespace hostapp
