#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace sayloom {

// One run of the real sayloom executable, with its data folder redirected so the user's files are never read.
class SayloomProcess {
public:
    struct Result {
        // False when the process did not start, crashed or had to be killed.
        bool exitedNormally = false;
        int exitCode = -1;
        QByteArray standardOutput;
        QByteArray standardError;
    };

    SayloomProcess() = delete;

    // Runs to completion with XDG_DATA_HOME set to `dataHome`, XDG_CONFIG_HOME (the settings) to its "config"
    // folder, and a UTF-8 locale. `environment` adds or overrides variables.
    static Result run(const QStringList& arguments, const QString& dataHome,
                      const QProcessEnvironment& environment = QProcessEnvironment());

    // The same, for a test that talks to the process while it runs: `finish` waits for its end (killing it after
    // a minute) and collects what it printed.
    static void start(QProcess& process, const QStringList& arguments, const QString& dataHome,
                      const QProcessEnvironment& environment = QProcessEnvironment());
    static Result finish(QProcess& process);

    // The printed lines without the final line break and without the "took: N.NNNNNN seconds" lines, which are
    // counted in `tookLines`; a malformed timing line stays in.
    static QStringList linesWithoutTimings(const QByteArray& output, int& tookLines);
};

} // namespace sayloom
