#pragma once

#include "clsLedgerStore.h"
#include "Records.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>

class Desktop;
class FileSystemObject;
class TextStream;

// The import engine: checks a file's header, which settles purchase or
// sales mode, then imports its data lines through the ledger store.
class clsImportSource {
public:
    clsImportSource(Desktop& desktop, LedgerStoreFactory storeFactory);

    // True when the file is unusable; the user has then been told why.
    bool IMPFileCheck(const QString& strFilePath);
    void ExecImport(const QString& strFilePath, const QString& strConnection);
    bool IsPurchase() const { return mblnPurchase; }

private:
    // What became of one line of the data part.
    enum class LineOutcome { Distributed, Failed, NoData };

    bool OpenImportFile(std::unique_ptr<TextStream>& stream, FileSystemObject& fso,
                        const QString& strFilePath);
    bool CheckHeaderLine(TextStream& stream);
    bool CheckHeaderItem(int16_t intColumn, QStringView strItem);

    LineOutcome ReadDataLine(TextStream& stream, TradeRecord& trade, ProductRecord& product,
                             PartyRecord& supplier, PartyRecord& customer, QString& strKind);
    // Hands one field to where its column belongs; true when an error was reported.
    bool DispatchField(int16_t intColumn, QStringView strValue, TradeRecord& trade,
                       ProductRecord& product, PartyRecord& supplier, PartyRecord& customer,
                       QString& strKind);
    // Each returns true when it had to report an error.
    bool SetTradeValue(int16_t intColumn, QStringView strValue, TradeRecord& trade);
    bool SetProductItem(int16_t intColumn, QStringView strValue, ProductRecord& product);
    bool SetPartyItem(int16_t intColumn, QStringView strValue, PartyRecord& supplier,
                      PartyRecord& customer);

    Desktop& m_desktop;
    LedgerStoreFactory m_storeFactory;
    bool mblnPurchase = false;
};
