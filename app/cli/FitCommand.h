// kelvadra-convert --fit: the keys of a local system from common points (see
// KeyFit), the report on standard output, and --save NAME to add the fitted
// system to the definitions file.
#ifndef FITCOMMAND_H
#define FITCOMMAND_H

#include <QString>
#include <QStringList>

#include <functional>

namespace FitCommand {

// Exit statuses: fitted with no flagged point, fitted with one, not fitted.
const int fitted = 0;
const int flagged = 1;
const int cannotFit = 2;

// The arguments ask for a fit: "--fit" or "--fit=..." among the options.
bool wanted(const QStringList &args);

// Runs the fit for `args` (args[0] the program; file names in QFile's form,
// other values turned to text by `shown`), and returns the exit status.
// Messages go to standard error, the report to standard output.
int run(const QStringList &args, const std::function<QString(const QString &)> &shown);

// The lines of --help about the fit.
QStringList help();

} // namespace FitCommand

#endif // FITCOMMAND_H
