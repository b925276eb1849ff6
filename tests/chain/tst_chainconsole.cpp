// talvane-chain's password prompt on a terminal, as a user at a console meets it.

#include "chainrunner.h"
#include "pseudoterminal.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/wait.h>

class TestChainConsole : public QObject
{
    Q_OBJECT

private slots:
    void endingAtThePromptGivesTheTerminalBack_data();
    void endingAtThePromptGivesTheTerminalBack();
};

void TestChainConsole::endingAtThePromptGivesTheTerminalBack_data()
{
    QTest::addColumn<QByteArray>("keys"); // typed at the prompt; none: the signal is sent
    QTest::addColumn<int>("signal");
    QTest::newRow("Ctrl-C typed") << QByteArray("\x03") << SIGINT;
    QTest::newRow("Ctrl-\\ typed") << QByteArray("\x1c") << SIGQUIT;
    QTest::newRow("terminated") << QByteArray() << SIGTERM;
    QTest::newRow("hung up") << QByteArray() << SIGHUP;
}

void TestChainConsole::endingAtThePromptGivesTheTerminalBack()
{
    QFETCH(QByteArray, keys);
    QFETCH(int, signal);

    const QTemporaryDir work;
    QVERIFY(work.isValid());
    PseudoTerminal terminal(PseudoTerminal::Use::Program);
    QVERIFY(terminal.ready());
    QVERIFY(terminal.settings().c_lflag & ECHO);
    const pid_t child = terminal.start(
        ChainRunner::executable(),
        {"root", "--out", "root", "--root-name", ".Console.Example", "--organization", ".Lab.Example"},
        work.path(), ChainRunner::environment().toStringList());
    QVERIFY(child > 0);
    // The engine prints this once echo is off.
    QVERIFY2(terminal.waitForOutput("Enter password:"), terminal.output().constData());

    if (keys.isEmpty())
        QCOMPARE(::kill(child, signal), 0);
    else
        terminal.type(keys);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    // Ended by the signal itself, as it would have ended without a prompt.
    QVERIFY2(WIFSIGNALED(status), qPrintable(QString("status %1").arg(status)));
    QCOMPARE(WTERMSIG(status), signal);
    QVERIFY2(terminal.settings().c_lflag & ECHO, "echo is still off");
    QVERIFY(terminal.settingsRestored());
}

QTEST_GUILESS_MAIN(TestChainConsole)
#include "tst_chainconsole.moc"
