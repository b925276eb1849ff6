#include "wholechainruns.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>

bool issueWholeChainWithTool(const std::string& tool, const std::string& folder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TALVANE_PASSWORD", "bench secret");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList arguments = {"chain",
                                   "--out-dir",
                                   QString::fromStdString(folder),
                                   "--force",
                                   "--root-name",
                                   ".Root.Example",
                                   "--organization",
                                   ".Lab.Example",
                                   "--root-entity",
                                   "Authority.Root",
                                   "--intermediate-entity",
                                   "Authority.Intermediate",
                                   "--leaf-entity",
                                   "Player",
                                   "--start",
                                   "2024-03-01T12:00:00Z",
                                   "--end",
                                   "2034-03-01T12:00:00Z"};
    process.start(QString::fromStdString(tool), arguments);
    const bool done = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
                      process.exitCode() == 0;
    if (!done)
        std::fprintf(stderr, "talvane-chain %s:\n%s", qPrintable(arguments.join(' ')),
                     process.readAll().constData());
    return done;
}

namespace
{

// Three keys taking a, b and c seconds on `threads` threads, handed out in that order.
double threeKeys(double a, double b, double c, int threads)
{
    if (threads <= 1)
        return a + b + c;
    if (threads == 2)
        return std::max(std::min(a, b) + c, std::max(a, b));
    return std::max({a, b, c});
}

} // namespace

double medianThreeKeysOnThreads(const Samples& keys, int threads)
{
    Samples triples{"", {}};
    const std::vector<double>& s = keys.seconds;
    for (size_t i = 0; i < s.size(); ++i)
        for (size_t j = 0; j < s.size(); ++j)
            for (size_t k = 0; k < s.size(); ++k)
                if (i != j && j != k && i != k)
                    triples.seconds.push_back(threeKeys(s[i], s[j], s[k], threads));
    return triples.median();
}
