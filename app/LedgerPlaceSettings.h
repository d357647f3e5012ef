#pragma once

#include "LedgerPlace.h"

// The ledger-place dialog's view of the program: the settings of the
// user (Ledger/Server, Ledger/Schema), the desktop's keyring for the
// password, and the server's ledger for the connection test.
class LedgerPlaceSettings : public LedgerPlaceSetup {
public:
    LedgerPlace Current() override;
    QString LocalLedgerPath() override;
    bool ChosenByEnvironment() override;
    bool KeyringAvailable() override;
    bool HasStoredPassword(const LedgerPlace& place) override;
    LedgerPlaceTest Test(const LedgerPlace& place, const QString& strPassword) override;
    QString Save(const LedgerPlace& place, const QString& strPassword) override;
};
