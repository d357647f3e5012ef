#pragma once

#include "Records.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// The ledger store as the import engine sees it. Operations report failure
// by setting blnFailed to true with a text in strError; a store may also
// throw any std::exception instead.
class clsLedgerStore {
public:
    virtual ~clsLedgerStore() = default;

    virtual void OpenConnection(const QString& strConnection, QString& strError, bool& blnFailed) = 0;
    // Leaves blnFailed false on success, whatever it held on entry.
    virtual void InsertTrade(ProductRecord& product, PartyRecord& supplier, PartyRecord& customer,
                             TradeRecord& trade, bool blnPurchase, QString& strError,
                             bool& blnFailed) = 0;
    virtual void ResolveProduct(const QString& strProductName, ProductRecord& product,
                                QString& strError, bool& blnFailed) = 0;
    virtual void ResolveSupplier(const QString& strPartyName, PartyRecord& supplier,
                                 QString& strError, bool& blnFailed) = 0;
    virtual void ResolveCustomer(const QString& strPartyName, PartyRecord& customer,
                                 QString& strError, bool& blnFailed) = 0;
    virtual int32_t GetKindCode(const QString& strKind) = 0;
};

using LedgerStoreFactory = std::function<std::unique_ptr<clsLedgerStore>()>;
