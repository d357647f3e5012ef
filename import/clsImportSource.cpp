#include "clsImportSource.h"

#include "Conversions.h"
#include "Desktop.h"
#include "ErrorReport.h"
#include "FieldSplitter.h"
#include "RuntimeError.h"
#include "TextFile.h"

namespace {

constexpr int16_t COLUMN_DATE = 1;
constexpr int16_t COLUMN_KIND = 2;
constexpr int16_t COLUMN_MAKER = 3;
constexpr int16_t COLUMN_PRODUCT_READING = 4;
constexpr int16_t COLUMN_PRODUCT_NAME = 5;
constexpr int16_t COLUMN_MODEL = 6;
constexpr int16_t COLUMN_SPEC = 7;
constexpr int16_t COLUMN_QUANTITY = 8;
constexpr int16_t COLUMN_UNIT_PRICE = 9;
constexpr int16_t COLUMN_PARTY_READING = 10;
constexpr int16_t COLUMN_PARTY_NAME = 11;
constexpr int16_t COLUMN_COUNT = 11;

const QString TITLE_FILE_SELECTION_ERROR = QStringLiteral("ファイル選択エラー");

// An empty line or one made only of commas carries nothing to import.
bool CarriesNoData(const QString& line)
{
    for (const QChar c : line) {
        if (c != u',')
            return false;
    }
    return true;
}

} // namespace

clsImportSource::clsImportSource(Desktop& desktop, LedgerStoreFactory storeFactory)
    : m_desktop(desktop), m_storeFactory(std::move(storeFactory))
{
}

bool clsImportSource::IMPFileCheck(const QString& strFilePath)
{
    bool blnFailed = true;
    // Declared in this order so the stream is released before the object that opened it.
    std::unique_ptr<FileSystemObject> fso;
    std::unique_ptr<TextStream> stream;
    try {
        fso = std::make_unique<FileSystemObject>();
        if (OpenImportFile(stream, *fso, strFilePath)) {
            m_desktop.MsgBox(QStringLiteral("選択されたファイルを開けません。"), MB_ICONINFORMATION,
                             TITLE_FILE_SELECTION_ERROR);
            return true;
        }
        blnFailed = CheckHeaderLine(*stream);
        if (blnFailed) {
            m_desktop.MsgBox(QStringLiteral("選択されたファイルの書式が違います。"), MB_ICONINFORMATION,
                             QStringLiteral("ファイルエラー"));
        }
        stream->Close();
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1006"), error);
        blnFailed = true;
    }
    return blnFailed;
}

bool clsImportSource::OpenImportFile(std::unique_ptr<TextStream>& stream, FileSystemObject& fso,
                                     const QString& strFilePath)
{
    try {
        stream = fso.OpenTextFile(strFilePath, ForReading, false, TristateUseDefault);
        return false;
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1000"), error);
        return true;
    }
}

bool clsImportSource::CheckHeaderLine(TextStream& stream)
{
    bool blnFailed = false;
    try {
        const QString strLine = stream.ReadLine();
        SplitFields(strLine, [&](int16_t intColumn, QStringView strItem) {
            blnFailed = CheckHeaderItem(intColumn, strItem);
            return !blnFailed;
        });
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1007"), error);
        blnFailed = true;
    }
    return blnFailed;
}

bool clsImportSource::CheckHeaderItem(int16_t intColumn, QStringView strItem)
{
    try {
        switch (intColumn) {
        case COLUMN_DATE: return strItem != u"日付";
        case COLUMN_KIND: return strItem != u"種別";
        case COLUMN_MAKER: return strItem != u"メーカー";
        case COLUMN_PRODUCT_READING: return strItem != u"ふりがな";
        case COLUMN_PRODUCT_NAME: return strItem != u"製品名";
        case COLUMN_MODEL: return strItem != u"型式";
        case COLUMN_SPEC: return strItem != u"仕様";
        case COLUMN_QUANTITY: return strItem != u"数量";
        case COLUMN_UNIT_PRICE: return strItem != u"仕入単価" && strItem != u"販売単価";
        case COLUMN_PARTY_READING: return strItem != u"ふりがな";
        case COLUMN_PARTY_NAME:
            if (strItem == u"仕入先") {
                mblnPurchase = true;
                return false;
            }
            return strItem != u"販売先";
        default: return false;
        }
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1008"), error);
        return true;
    }
}

void clsImportSource::ExecImport(const QString& strFilePath, const QString& strConnection)
{
    // Declared so that they are released in the order store, stream, file-system object.
    std::unique_ptr<FileSystemObject> fso;
    std::unique_ptr<TextStream> stream;
    std::unique_ptr<clsLedgerStore> store;
    try {
        fso = std::make_unique<FileSystemObject>();
        store = m_storeFactory ? m_storeFactory() : nullptr;
        if (!store)
            throw RuntimeError(ERR_CANNOT_CREATE_OBJECT);

        QString strError;
        bool blnFailed = false;
        store->OpenConnection(strConnection, strError, blnFailed);

        if (OpenImportFile(stream, *fso, strFilePath)) {
            store.reset();
            m_desktop.SetMousePointer(POINTER_DEFAULT);
            m_desktop.MsgBox(QStringLiteral("ファイルが開けない為インポートは失敗しました。"), MB_OK, QString());
            return;
        }
        stream->ReadLine();  // the header, checked before the run

        TradeRecord trade;
        ProductRecord product;
        PartyRecord supplier;
        PartyRecord customer;
        QString strKind;
        int16_t intRead = 0;
        int16_t intImported = 0;
        while (!stream->AtEndOfStream()) {
            blnFailed = false;
            const LineOutcome outcome = ReadDataLine(*stream, trade, product, supplier, customer, strKind);
            if (outcome == LineOutcome::NoData)
                continue;

            strError.clear();
            const QString strProductName = product.strProductName;
            store->ResolveProduct(strProductName, product, strError, blnFailed);
            trade.lngProductID = product.lngProductID;
            if (mblnPurchase) {
                const QString strPartyName = supplier.strPartyName;
                strError.clear();
                store->ResolveSupplier(strPartyName, supplier, strError, blnFailed);
                trade.lngSupplierID = supplier.lngPartyID;
            } else {
                const QString strPartyName = customer.strPartyName;
                strError.clear();
                store->ResolveCustomer(strPartyName, customer, strError, blnFailed);
                trade.lngCustomerID = customer.lngPartyID;
            }
            intRead = AddInt16(intRead, 1);
            product.lngKindCode = store->GetKindCode(strKind);

            // A line whose own values failed would be stored with the previous line's.
            if (outcome == LineOutcome::Distributed) {
                strError.clear();
                store->InsertTrade(product, supplier, customer, trade, mblnPurchase, strError, blnFailed);
                if (!blnFailed)
                    intImported = AddInt16(intImported, 1);
            }
            m_desktop.DoEvents();
        }
        stream->Close();
        // Frees the database, so that no one waits on it while the box is open.
        store.reset();
        m_desktop.MsgBox(QStringLiteral("全レコード %1 件中 %2 件インポートしました。").arg(intRead).arg(intImported),
                         MB_ICONINFORMATION, QStringLiteral("インポート完了"));
    } catch (const std::exception& error) {
        store.reset();
        ReportError(m_desktop, QStringLiteral("CLS-is1005"), error, PointerOnError::Reset);
    }
}

clsImportSource::LineOutcome clsImportSource::ReadDataLine(TextStream& stream, TradeRecord& trade,
                                                           ProductRecord& product, PartyRecord& supplier,
                                                           PartyRecord& customer, QString& strKind)
{
    bool blnReported = false;
    try {
        const QString strLine = stream.ReadLine();
        if (CarriesNoData(strLine))
            return LineOutcome::NoData;

        int16_t intLastColumn = 0;
        SplitFields(strLine, [&](int16_t intColumn, QStringView strValue) {
            blnReported |= DispatchField(intColumn, strValue, trade, product, supplier, customer, strKind);
            intLastColumn = intColumn;
            return true;
        });
        // A short line reads as if its missing columns were present and empty.
        for (int16_t intColumn = intLastColumn + 1; intColumn <= COLUMN_COUNT; ++intColumn)
            blnReported |= DispatchField(intColumn, QStringView(), trade, product, supplier, customer, strKind);
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1001"), error, PointerOnError::Reset);
        return LineOutcome::Failed;
    }
    return blnReported ? LineOutcome::Failed : LineOutcome::Distributed;
}

bool clsImportSource::DispatchField(int16_t intColumn, QStringView strValue, TradeRecord& trade,
                                    ProductRecord& product, PartyRecord& supplier,
                                    PartyRecord& customer, QString& strKind)
{
    switch (intColumn) {
    case COLUMN_DATE:
    case COLUMN_QUANTITY:
    case COLUMN_UNIT_PRICE:
        return SetTradeValue(intColumn, strValue, trade);
    case COLUMN_KIND:
        strKind = strValue.toString();
        return false;
    case COLUMN_MAKER:
    case COLUMN_PRODUCT_READING:
    case COLUMN_PRODUCT_NAME:
    case COLUMN_MODEL:
    case COLUMN_SPEC:
        return SetProductItem(intColumn, strValue, product);
    case COLUMN_PARTY_READING:
    case COLUMN_PARTY_NAME:
        return SetPartyItem(intColumn, strValue, supplier, customer);
    default:
        return false;
    }
}

bool clsImportSource::SetTradeValue(int16_t intColumn, QStringView strValue, TradeRecord& trade)
{
    try {
        int32_t& lngQuantity = mblnPurchase ? trade.lngPurchaseQuantity : trade.lngSalesQuantity;
        int32_t& lngUnitPrice = mblnPurchase ? trade.lngPurchaseUnitPrice : trade.lngSalesUnitPrice;
        int32_t& lngAmount = mblnPurchase ? trade.lngPurchaseAmount : trade.lngSalesAmount;
        switch (intColumn) {
        case COLUMN_DATE:
            trade.dtmTradeDate = CDate(strValue);
            trade.intTradeKind = mblnPurchase ? 0 : 1;
            break;
        case COLUMN_QUANTITY:
            lngQuantity = CLng(strValue);
            break;
        case COLUMN_UNIT_PRICE:
            lngUnitPrice = CLng(strValue);
            lngAmount = MultiplyLong(lngQuantity, lngUnitPrice);
            break;
        default:
            break;
        }
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1002"), error, PointerOnError::Reset);
        return true;
    }
    return false;
}

bool clsImportSource::SetProductItem(int16_t intColumn, QStringView strValue, ProductRecord& product)
{
    try {
        switch (intColumn) {
        case COLUMN_MAKER: product.strMaker = strValue.toString(); break;
        case COLUMN_PRODUCT_READING: product.strReading = strValue.toString(); break;
        case COLUMN_PRODUCT_NAME: product.strProductName = strValue.toString(); break;
        case COLUMN_MODEL: product.strModel = strValue.toString(); break;
        case COLUMN_SPEC: product.strSpec = strValue.toString(); break;
        default: break;
        }
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1003"), error, PointerOnError::Reset);
        return true;
    }
    return false;
}

bool clsImportSource::SetPartyItem(int16_t intColumn, QStringView strValue, PartyRecord& supplier,
                                   PartyRecord& customer)
{
    try {
        if (strValue.isEmpty())
            return false;
        PartyRecord& party = mblnPurchase ? supplier : customer;
        if (intColumn == COLUMN_PARTY_READING)
            party.strReading = strValue.toString();
        else if (intColumn == COLUMN_PARTY_NAME)
            party.strPartyName = strValue.toString();
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1004"), error, PointerOnError::Reset);
        return true;
    }
    return false;
}
