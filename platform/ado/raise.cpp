#include "platform/ado/raise.h"

#include "platform/com/comdef.h"

namespace ado::detail {

void RaiseError(std::int32_t hr, const std::wstring& source, const std::wstring& description,
                const std::wstring& sqlState, long nativeError) {
  throw _com_error(hr, source, description, sqlState, nativeError);
}

}  // namespace ado::detail
