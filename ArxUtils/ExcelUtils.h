// The spreadsheet module: the automation layer that drives the spreadsheet
// application, and the cell references both the recogniser and the
// worksheet writer use.
#pragma once

// ---------------------------------------------------------------------------
// Cell references: pure functions, no spreadsheet needed.
#include "ArxUtils/CellReference.h"

// ---------------------------------------------------------------------------
// Automation layer.
