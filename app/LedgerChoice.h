#pragma once

#include "clsLedgerStore.h"

// The ledger store the program imports into, chosen once at start.
LedgerStoreFactory ChooseLedgerStore();
