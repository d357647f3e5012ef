#pragma once

#include "LedgerEngine.h"
#include "clsLedgerPatterns.h"

#include <memory>

// The patterns kept in the ledger over an engine's connection.
std::unique_ptr<clsLedgerPatterns> PatternsOver(std::unique_ptr<LedgerEngine> engine);
