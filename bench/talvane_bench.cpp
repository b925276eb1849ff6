// Measures what a user waits for: key generation, the rest of a chain, the same chain made
// with the openssl command line, requests signed and leaves made in bulk, the form's checks of
// an issuing file, and start-up. Timings
// are compared as ratios of medians taken in the same run, so that the machine's speed and
// load cancel out; the targets are printed beside the ratios.
//
//   talvane_bench [--runs N] [--leaves L]    (N runs of each chain measurement, default 15;
//                                             L leaves in a row for the memory figures,
//                                             default 300, 0 for none)

#include "benchstats.h"
#include "chainruns.h"
#include "deviceruns.h"
#include "leafruns.h"
#include "osslptr.h"
#include "startupruns.h"
#include "talvanewidget.h"
#include "wholechainruns.h"

#include "certificatesettings.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define NULL_DEVICE "NUL"
#define dup _dup
#define fdopen _fdopen
#define fileno _fileno
#else
#include <unistd.h>
#define NULL_DEVICE "/dev/null"
#endif

namespace
{

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "talvane_bench: %s failed\n", what);
    std::exit(1);
}

std::string freshFolder(const QTemporaryDir& root, const char* name)
{
    const QString path = root.path() + "/" + name;
    QDir(path).removeRecursively();
    if (!QDir().mkpath(path))
        fail("creating a work folder");
    return path.toStdString();
}

Samples keyGeneration(int runs)
{
    Samples samples{"RSA-2048 key generation (RSACreate2048)", {}};
    for (int i = 0; i < runs; ++i)
        samples.seconds.push_back(timeOnce([] {
            if (EvpPkeyPtr(makeEngineKey()) == nullptr)
                fail("key generation");
        }));
    return samples;
}

Samples chainWithoutKeys(const QTemporaryDir& work, int runs)
{
    const EvpPkeyPtr keys[3] = {EvpPkeyPtr(makeEngineKey()), EvpPkeyPtr(makeEngineKey()),
                                EvpPkeyPtr(makeEngineKey())};
    for (const EvpPkeyPtr& key : keys)
        if (key == nullptr)
            fail("key generation");
    const std::array<EVP_PKEY*, 3> borrowed = {keys[0].get(), keys[1].get(), keys[2].get()};
    const std::string folder = freshFolder(work, "prepared-keys");

    Samples samples{"chain of 3, keys made beforehand (engine)", {}};
    for (int i = 0; i < runs; ++i)
        samples.seconds.push_back(timeOnce([&] {
            if (!issueChainWithEngine(folder, borrowed))
                fail("issuing a chain with prepared keys");
        }));
    return samples;
}

Samples commandLineWithoutKeys(const QTemporaryDir& work, int runs)
{
    const std::string folder = freshFolder(work, "cli-prepared-keys");
    if (!issueChainWithCommandLine(folder, true))
        fail("making the command line's keys");
    Samples samples{"chain of 3, keys made beforehand (openssl command line)", {}};
    for (int i = 0; i < runs; ++i)
        samples.seconds.push_back(timeOnce([&] {
            if (!issueChainWithCommandLine(folder, true))
                fail("issuing a chain with the openssl command line and prepared keys");
        }));
    return samples;
}

// Alternates the two so that drifts of the machine's speed hit both alike.
void fullChains(const QTemporaryDir& work, int runs, Samples& ours, Samples& commandLine)
{
    ours = {"chain of 3 with key generation (engine)", {}};
    commandLine = {"chain of 3 with the openssl command line", {}};
    for (int i = 0; i < runs; ++i)
    {
        const std::string engineFolder = freshFolder(work, "engine-chain");
        ours.seconds.push_back(timeOnce([&] {
            if (!issueChainWithEngine(engineFolder, {nullptr, nullptr, nullptr}))
                fail("issuing a chain with the engine");
        }));
        const std::string cliFolder = freshFolder(work, "cli-chain");
        commandLine.seconds.push_back(timeOnce([&] {
            if (!issueChainWithCommandLine(cliFolder))
                fail("issuing a chain with the openssl command line");
        }));
    }
}

// The command-line companion: a chain of three processes, and verification of its leaf.
void toolChains(const QTemporaryDir& work, int runs, Samples& chains, Samples& verifications)
{
    chains = {"chain of 3 with talvane-chain (3 processes)", {}};
    verifications = {"talvane-chain verify of the leaf's container", {}};
    const std::string folder = freshFolder(work, "tool-chain");
    for (int i = 0; i < runs; ++i)
    {
        chains.seconds.push_back(timeOnce([&] {
            if (!issueChainWithTool(TALVANE_CHAIN, folder))
                fail("issuing a chain with talvane-chain");
        }));
        verifications.seconds.push_back(timeOnce([&] {
            if (!verifyWithTool(TALVANE_CHAIN, folder))
                fail("verifying with talvane-chain");
        }));
    }
}

// The checks the form runs for a derived certificate, each reading the issuing file afresh.
Samples formChecks(const QTemporaryDir& work, int runs)
{
    const std::string folder = freshFolder(work, "form-issuer");
    if (!issueChainWithEngine(folder, {nullptr, nullptr, nullptr}))
        fail("issuing the form's issuer");

    CertificateSettings settings;
    TalvaneWidget form(nullptr, &settings);
    form.findChild<QComboBox*>("mpCertificateTypeComboBox")->setCurrentIndex(1);
    form.findChild<QLineEdit*>("mpRootLineEdit")->setText(QString::fromStdString(folder) + "/intermediate.pfx");
    form.findChild<QLineEdit*>("mpRootPasswordLineEdit")->setText("bench secret");
    form.findChild<QLineEdit*>("mpPathLengthLineEdit")->setText("1");
    form.findChild<QDateTimeEdit*>("mpStartValidityDateTimeEdit")
        ->setDateTime(QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC).toLocalTime());
    form.findChild<QDateTimeEdit*>("mpEndValidityDateTimeEdit")
        ->setDateTime(QDateTime(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC).toLocalTime());

    Samples samples{"form checks: readIssuerRoot+checkPathlen+checkValidity", {}};
    for (int i = 0; i < runs; ++i)
        samples.seconds.push_back(timeOnce([&] {
            for (const char* check : {"readIssuerRoot", "checkPathlen", "checkValidity"})
            {
                // With an error text to fill the checks report instead of opening a box.
                QString errors;
                bool passed = false;
                if (!QMetaObject::invokeMethod(&form, check, Qt::DirectConnection, Q_RETURN_ARG(bool, passed),
                                               Q_ARG(QString*, &errors)) ||
                    !passed)
                {
                    std::fprintf(stderr, "%s: %s\n", check, qPrintable(errors));
                    fail("a form check");
                }
            }
        }));
    return samples;
}

struct StartupSeries
{
    const char* program;
    const char* stage;
    Samples time;
    Samples memory;
};

// Alternates the probes run by run, so that drifts of the machine's speed hit all alike.
void startup(const QTemporaryDir& work, int runs, std::vector<StartupSeries>& series)
{
    const std::string folder = freshFolder(work, "startup");
    for (int i = 0; i < runs; ++i)
        for (StartupSeries& probe : series)
        {
            StartupRun run;
            if (!runStartupProbe(probe.program, probe.stage, folder, run))
                fail("a start-up probe");
            probe.time.seconds.push_back(run.secondsToFirstPaint);
            probe.memory.seconds.push_back(run.peakResidentKiB / 1024.0);
        }
}

void printRatio(const char* name, double value, double target, const char* comparison)
{
    const bool met = value <= target;
    printLine("%-62s %7.3f  (target %s %.2f: %s)\n", name, value, comparison, target, met ? "met" : "NOT met");
}

// The chain and form measurements, each printed as it is taken.
struct ChainResults
{
    Samples keys;
    Samples prepared;
    Samples preparedCommandLine;
    Samples ours;
    Samples commandLine;
    Samples toolChain;
    Samples toolVerify;
    Samples checks;
};

ChainResults measureChains(const QTemporaryDir& work, int runs)
{
    ChainResults r;
    r.keys = keyGeneration(std::max(runs, 15) + 6);
    printRow(r.keys);
    r.prepared = chainWithoutKeys(work, runs);
    printRow(r.prepared);
    r.preparedCommandLine = commandLineWithoutKeys(work, runs);
    printRow(r.preparedCommandLine);
    fullChains(work, runs, r.ours, r.commandLine);
    printRow(r.ours);
    printRow(r.commandLine);
    toolChains(work, runs, r.toolChain, r.toolVerify);
    printRow(r.toolChain);
    printRow(r.toolVerify);
    r.checks = formChecks(work, 4 * runs);
    printRow(r.checks);
    return r;
}

// The window program and the bare widget program first: the ratios compare those two.
std::vector<StartupSeries> measureStartup(const QTemporaryDir& work, int runs)
{
    std::vector<StartupSeries> probes = {
        {TALVANE_PROBE, "", {"start-up to first paint (window program)", {}}, {"peak resident memory, MiB (window program)", {}}},
        {BARE_PROBE, "", {"start-up to first paint (bare QWidget)", {}}, {"peak resident memory, MiB (bare QWidget)", {}}},
        {BARE_PROBE, "text", {"  bare QWidget with one text label", {}}, {"", {}}},
        {TALVANE_PROBE, "style", {"  bare QWidget under our style", {}}, {"", {}}},
        {TALVANE_PROBE, "form", {"  the form under our style, without the controller", {}}, {"", {}}},
    };
    startup(work, runs, probes);
    for (const StartupSeries& probe : probes)
        printRow(probe.time);
    printRow(probes[0].memory, 1.0);
    printRow(probes[1].memory, 1.0);
    return probes;
}

// The endurance run's memory figures: resident memory after the 30th leaf, when the caches
// have filled, and after the last.
void measureLeaves(const QTemporaryDir& work, int leaves)
{
    const int settled = std::min(30, leaves);
    LeafRun run;
    if (!runLeavesInARow(freshFolder(work, "leaves"), leaves, settled, run))
        fail("leaves in a row");
    printRow(run.times);
    const std::string after = "resident memory, MiB, after leaf ";
    printRow({after + std::to_string(settled), {run.settledKiB / 1024.0}}, 1.0);
    printRow({after + std::to_string(leaves), {run.finalKiB / 1024.0}}, 1.0);
    if (run.settledKiB > 0)
        printLine("%-62s %+7.2f %%\n", "  growth from the one to the other",
                  100.0 * double(run.finalKiB - run.settledKiB) / double(run.settledKiB));
}

void printRatios(const ChainResults& r, const Samples& startOurs, const Samples& startBare)
{
    printLine("\n");
    printRatio("ratio 1: our share of a chain (prepared / (prepared + 3 keys))",
               r.prepared.median() / (r.prepared.median() + 3 * r.keys.median()), 0.05, "<=");
    printRatio("ratio 2: our full chain / openssl command-line chain",
               r.ours.median() / r.commandLine.median(), 0.7, "<=");
    printRatio("ratio 3: start-up, window program / bare QWidget", startOurs.median() / startBare.median(),
               1.5, "<=");
    printLine("%-62s %7.3f\n", "without key generation: engine / openssl command line",
              r.prepared.median() / r.preparedCommandLine.median());
    // Both spend three runs of the same OpenSSL key generation, whose spread swamps ratio 2 in
    // any affordable number of runs; the steadier medians above give what it tends to.
    printLine("%-62s %7.3f\n", "ratio 2 from steady medians: (ours + 3 keys) / (cli + 3 keys)",
              (r.prepared.median() + 3 * r.keys.median()) /
                  (r.preparedCommandLine.median() + 3 * r.keys.median()));
    printLine("%-62s %7.3f\n", "talvane-chain root, intermediate, leaf / openssl command line",
              r.toolChain.median() / r.commandLine.median());
    printRatio("form checks, median ms", r.checks.median() * 1e3, 30.0, "<");
}

// talvane-chain chain and the openssl command line, alternating run by run.
struct WholeChainResults
{
    Samples ours;
    Samples commandLine;
};

WholeChainResults measureWholeChains(const QTemporaryDir& work, int runs)
{
    WholeChainResults r{{"chain of 3 with talvane-chain chain (1 process)", {}},
                        {"chain of 3 with the openssl command line (beside it)", {}}};
    for (int i = 0; i < runs; ++i)
    {
        const std::string ourFolder = freshFolder(work, "whole-chain");
        r.ours.seconds.push_back(timeOnce([&] {
            if (!issueWholeChainWithTool(TALVANE_CHAIN, ourFolder))
                fail("issuing a chain with talvane-chain chain");
        }));
        const std::string cliFolder = freshFolder(work, "cli-chain");
        r.commandLine.seconds.push_back(timeOnce([&] {
            if (!issueChainWithCommandLine(cliFolder))
                fail("issuing a chain with the openssl command line");
        }));
    }
    printRow(r.ours);
    printRow(r.commandLine);
    return r;
}

// Ratio 4 and what bounds it: the three keys on the threads the tool uses, estimated from this
// run's key samples (taken earlier in the run, so only as steady as the machine was), plus the
// rest of a chain; and the same with the keys one after another.
void printWholeChainRatio(const WholeChainResults& whole, const ChainResults& r)
{
    const int threads = std::min(3, QThread::idealThreadCount());
    const double keys = medianThreeKeysOnThreads(r.keys, threads);
    const double cli = whole.commandLine.median();
    printRatio("ratio 4: talvane-chain chain / openssl command-line chain", whole.ours.median() / cli, 0.55,
               "<=");
    printLine("%-62s %7.1f  (%d threads)\n", "  3 keys on the tool's threads, median over key triples, ms",
              keys * 1e3, threads);
    printLine("%-62s %7.3f\n", "  expected: (3 keys on those threads + prepared chain) / cli",
              (keys + r.prepared.median()) / cli);
    printLine("%-62s %7.3f\n", "  expected with one thread: (3 keys in a row + prepared) / cli",
              (medianThreeKeysOnThreads(r.keys, 1) + r.prepared.median()) / cli);
}

// A device maker's runs, alternating round by round with the openssl command line doing the same.
struct DeviceResults
{
    Samples ourSign;
    Samples commandLineSign;
    Samples ourBatch;
    Samples commandLineBatch;
};

constexpr int kSignedRequests = 200;
constexpr int kBatchLeaves = 8;

DeviceResults measureDevices(const QTemporaryDir& work, int runs)
{
    DeviceResults r{{"sign of 200 requests with talvane-chain sign (1 process)", {}},
                    {"200 requests with openssl x509 -req -CA, beside it", {}},
                    {"8 leaves with talvane-chain leaf --batch (1 process)", {}},
                    {"8 leaves with openssl genrsa + req + x509 each, beside it", {}}};
    const std::string folder = freshFolder(work, "devices");
    if (!prepareDeviceRuns(TALVANE_CHAIN, folder, kSignedRequests, kBatchLeaves))
        fail("preparing the device runs");
    // Signing spends no key generation and varies little; the batches spend eight keys each.
    for (int i = 0; i < std::max(3, runs / 3); ++i)
    {
        const std::string ours = freshFolder(work, "devices/signed");
        r.ourSign.seconds.push_back(timeOnce([&] {
            if (!signRequestsWithTool(TALVANE_CHAIN, folder, ours))
                fail("signing requests with talvane-chain sign");
        }));
        const std::string theirs = freshFolder(work, "devices/signed-cli");
        r.commandLineSign.seconds.push_back(timeOnce([&] {
            if (!signRequestsWithCommandLine(folder, theirs, kSignedRequests))
                fail("signing requests with the openssl command line");
        }));
    }
    printRow(r.ourSign);
    printRow(r.commandLineSign);
    for (int i = 0; i < std::max(9, runs / 2 + 1); ++i)
    {
        const std::string ours = freshFolder(work, "devices/batch");
        r.ourBatch.seconds.push_back(timeOnce([&] {
            if (!batchWithTool(TALVANE_CHAIN, folder, ours))
                fail("leaves with talvane-chain leaf --batch");
        }));
        const std::string theirs = freshFolder(work, "devices/batch-cli");
        r.commandLineBatch.seconds.push_back(timeOnce([&] {
            if (!batchWithCommandLine(folder, theirs, kBatchLeaves))
                fail("leaves with the openssl command line");
        }));
    }
    printRow(r.ourBatch);
    printRow(r.commandLineBatch);
    return r;
}

void printDeviceRatios(const DeviceResults& r)
{
    printRatio("ratio 5: sign of 200 requests / 200 openssl x509 -req runs",
               r.ourSign.median() / r.commandLineSign.median(), 0.10, "<=");
    printRatio("ratio 6: leaf --batch of 8 / 8 openssl command-line leaves",
               r.ourBatch.median() / r.commandLineBatch.median(), 0.60, "<=");
    printLine("%-62s %7d\n", "  cores", QThread::idealThreadCount());
}

// The board layer reports on standard output; the table keeps its own copy of the stream.
void setTableApart()
{
    std::FILE* table = fdopen(dup(fileno(stdout)), "w");
    if (table == nullptr || std::freopen(NULL_DEVICE, "w", stdout) == nullptr)
        fail("setting the table apart");
    setTableStream(table);
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 15;
    int leaves = 300;
    for (int i = 1; i + 1 < argc; ++i)
    {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(3, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--leaves") == 0)
            leaves = std::max(0, std::atoi(argv[i + 1]));
    }

    // The probes and the form run without a display, like the tests.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir work;
    if (!work.isValid())
        fail("creating a temporary folder");
    // The form and the probes keep their trace and log files in the working directory.
    QDir::setCurrent(work.path());
    setTableApart();

    printLine("Talvane benchmark: %d runs per chain measurement (times in ms, memory in MiB)\n\n", runs);
    printHeader();
    const ChainResults chains = measureChains(work, runs);
    // Key generation's spread needs at least 25 pairs for a median that holds still.
    const WholeChainResults whole = measureWholeChains(work, std::max(runs, 25));
    const DeviceResults devices = measureDevices(work, runs);
    if (leaves > 0)
        measureLeaves(work, leaves);
    const std::vector<StartupSeries> probes = measureStartup(work, runs);
    printRatios(chains, probes[0].time, probes[1].time);
    printWholeChainRatio(whole, chains);
    printDeviceRatios(devices);
    return 0;
}
