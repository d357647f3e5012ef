#include "LedgerChoice.h"

#include "SqliteLedgerStore.h"

#include <memory>

LedgerStoreFactory ChooseLedgerStore()
{
    return [] { return std::make_unique<SqliteLedgerStore>(); };
}
