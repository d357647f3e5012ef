#include "Product.h"
#include "QtDesktop.h"
#include "frmMain.h"

#include "SqliteLedgerStore.h"

#include <QApplication>

#include <memory>

// The version as the executable carries it, for what(1) and strings(1).
[[gnu::used]] static const char kIdent[] = "@(#)MoraImport 1.00.0001 Dorvik Ver1.0.0";

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationName);
    QApplication::setApplicationVersion(kApplicationVersion);
    QApplication::setDesktopFileName(QStringLiteral("moraimport"));
    app.setProperty("productName", kProductName);

    QtDesktop desktop;
    frmMain window(desktop, [] { return std::make_unique<SqliteLedgerStore>(); });
    window.show();
    return app.exec();
}
