// The spreadsheet object model's published constants that the server
// understands, under their own names.
#pragma once

#include "platform/win/wintypes.h"

namespace spreadsheet {

inline constexpr int xlAutomatic = -4105;
inline constexpr int xlNone = -4142;
inline constexpr int xlLineStyleNone = -4142;

// Alignment.
inline constexpr int xlGeneral = 1;
inline constexpr int xlLeft = -4131;
inline constexpr int xlCenter = -4108;
inline constexpr int xlRight = -4152;
inline constexpr int xlFill = 5;
inline constexpr int xlJustify = -4130;
inline constexpr int xlCenterAcrossSelection = 7;
inline constexpr int xlDistributed = -4117;
inline constexpr int xlTop = -4160;
inline constexpr int xlBottom = -4107;

// Orientation.
inline constexpr int xlHorizontal = -4128;
inline constexpr int xlVertical = -4166;
inline constexpr int xlUpward = -4171;
inline constexpr int xlDownward = -4170;

// Border edges.
inline constexpr int xlDiagonalDown = 5;
inline constexpr int xlDiagonalUp = 6;
inline constexpr int xlEdgeLeft = 7;
inline constexpr int xlEdgeTop = 8;
inline constexpr int xlEdgeBottom = 9;
inline constexpr int xlEdgeRight = 10;
inline constexpr int xlInsideVertical = 11;
inline constexpr int xlInsideHorizontal = 12;

// Line styles.
inline constexpr int xlContinuous = 1;
inline constexpr int xlDash = -4115;
inline constexpr int xlDot = -4118;
inline constexpr int xlDouble = -4119;
inline constexpr int xlDashDot = 4;
inline constexpr int xlDashDotDot = 5;
inline constexpr int xlSlantDashDot = 13;

// Border weights.
inline constexpr int xlHairline = 1;
inline constexpr int xlThin = 2;
inline constexpr int xlMedium = -4138;
inline constexpr int xlThick = 4;

// Workbook templates.
inline constexpr int xlWBATWorksheet = -4167;

// The status an object reports with its exceptions ("Application-defined or
// object-defined error").
inline constexpr HRESULT kErrorStatus = static_cast<HRESULT>(0x800A03EC);

}  // namespace spreadsheet
