// The names a Windows plug-in gets from importing the ADO and ADOX type
// libraries without a namespace: the smart pointer types and every
// enumerator at global scope, the catalog in namespace ADOX.
#pragma once

#include "platform/ado/adox.h"

using _ConnectionPtr = ado::ConnectionPtr;
using _RecordsetPtr = ado::RecordsetPtr;
using _CommandPtr = ado::CommandPtr;
using FieldsPtr = ado::FieldsPtr;
using FieldPtr = ado::FieldPtr;

using ado::CommandTypeEnum;
using ado::ConnectOptionEnum;
using ado::CursorLocationEnum;
using ado::CursorTypeEnum;
using ado::DataTypeEnum;
using ado::ErrorValueEnum;
using ado::ExecuteOptionEnum;
using ado::FieldAttributeEnum;
using ado::LockTypeEnum;
using ado::ObjectStateEnum;
using ado::SchemaEnum;

using enum ado::CommandTypeEnum;
using enum ado::ConnectOptionEnum;
using enum ado::CursorLocationEnum;
using enum ado::CursorTypeEnum;
using enum ado::DataTypeEnum;
using enum ado::ErrorValueEnum;
using enum ado::ExecuteOptionEnum;
using enum ado::FieldAttributeEnum;
using enum ado::LockTypeEnum;
using enum ado::ObjectStateEnum;
using enum ado::SchemaEnum;

namespace ADOX {
using _CatalogPtr = adox::CatalogPtr;
}  // namespace ADOX
