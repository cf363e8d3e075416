#pragma once
// A PDF's text as pdftotext (poppler-utils) reads it, for the print tests.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace mus::test {

// The lines of `pdf` as `pdftotext -layout` reads them, each with its runs of
// blanks read as one; one line "<pdftotext failed>" when it cannot be read.
inline QStringList PdfLines(const QString& pdf)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return {QStringLiteral("<pdftotext failed>")};
    QStringList lines;
    for (const QString& line : QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n')))
        lines << line.simplified();
    return lines;
}

} // namespace mus::test
