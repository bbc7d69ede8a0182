#include "app/ProgramDirectory.h"

#include <QCoreApplication>

QString programDirectory(const QString& programFile) {
    const qsizetype lastSlash = programFile.lastIndexOf(QLatin1Char('/'));
    if (lastSlash < 0)
        return {};
    if (lastSlash == 0)
        return QStringLiteral("/");
    return programFile.left(lastSlash);
}

QString runningProgramDirectory() {
    return programDirectory(QCoreApplication::applicationFilePath());
}
