#pragma once

#include "LedgerEngine.h"

#include <memory>

// An engine over a place that holds no ledger yet, for a look that must
// write nothing: it finds no master and no trade, and refuses every write.
std::unique_ptr<LedgerEngine> NoLedgerEngine();
