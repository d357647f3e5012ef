#include "UserData.h"

#include <QDir>
#include <QFile>

#include <filesystem>
#include <system_error>

QString UserDataFolder()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(dataHome + QStringLiteral("/MoraImport"));
}

QString EnterDataFolder(const QString& folder)
{
    const std::filesystem::path path(QFile::encodeName(folder).toStdString());
    std::error_code error;
    std::filesystem::create_directories(path / "Data", error);
    if (!error)
        std::filesystem::current_path(path, error);
    if (error)
        return folder + QStringLiteral(": ") + QString::fromLocal8Bit(error.message());
    return QString();
}
