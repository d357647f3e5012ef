#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The records that carry one data line to the ledger store. Their field
// order and widths are the exchange format with the store; the reserved
// fields belong to the store: the engine keeps their place, leaves them
// zero or empty and keeps whatever the store writes into them.

struct TradeRecord {
    std::array<uint8_t, 4> reserved0{};
    int32_t lngProductID = 0;
    int16_t intTradeKind = 0;  // 0 purchase, 1 sales
    std::array<uint8_t, 2> reserved10{};
    double dtmTradeDate = 0.0;  // OLE Automation date
    // Sales side.
    int32_t lngCustomerID = 0;
    std::array<uint8_t, 8> reserved24{};
    int32_t lngSalesQuantity = 0;
    int32_t lngSalesUnitPrice = 0;
    int32_t lngSalesAmount = 0;
    // Purchase side.
    int32_t lngSupplierID = 0;
    std::array<uint8_t, 8> reserved48{};
    int32_t lngPurchaseQuantity = 0;
    int32_t lngPurchaseUnitPrice = 0;
    int32_t lngPurchaseAmount = 0;
    QString strReserved68;
};

struct ProductRecord {
    int32_t lngProductID = 0;
    int32_t lngKindCode = 0;
    QString strMaker;
    QString strReading;
    QString strProductName;
    QString strModel;
    QString strSpec;
    std::array<QString, 4> strReserved28;
};

// A supplier or a customer.
struct PartyRecord {
    int32_t lngPartyID = 0;
    QString strReading;
    QString strPartyName;
    std::array<QString, 11> strReserved12;
};
