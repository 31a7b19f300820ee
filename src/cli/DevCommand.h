#pragma once

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace sayloom {

// The developer commands of the sayloom executable. They print plain lines and exit; none of them starts the
// desktop application.
class DevCommand {
public:
    struct Transcribe {
        QString path;
        bool polish = false;
        friend bool operator==(const Transcribe&, const Transcribe&) = default;
    };
    struct Polish {
        QString text;
        std::optional<QString> bundleIdentifier;
        friend bool operator==(const Polish&, const Polish&) = default;
    };
    struct Record {
        double seconds = defaultRecordSeconds;
        friend bool operator==(const Record&, const Record&) = default;
    };
    struct Correct {
        QString text;
        friend bool operator==(const Correct&, const Correct&) = default;
    };
    struct Snapshot {
        QString folder;
        friend bool operator==(const Snapshot&, const Snapshot&) = default;
    };
    struct SelfTest {
        friend bool operator==(const SelfTest&, const SelfTest&) = default;
    };
    using Case = std::variant<Transcribe, Polish, Record, Correct, Snapshot, SelfTest>;

    static constexpr double defaultRecordSeconds = 4.0;

    explicit DevCommand(Case value)
        : m_case(std::move(value))
    {
    }

    // The arguments without the program path. Nothing means the desktop application starts.
    static std::optional<DevCommand> parse(const QStringList& arguments);
    // The whole text as a decimal floating-point number, or nothing: no surrounding white space, no trailing
    // characters; signs, exponents, infinity and not-a-number as the C library spells them.
    static std::optional<double> number(const QString& text);

    const Case& value() const { return m_case; }

    // Runs the command and returns its exit status; never throws.
    QCoro::Task<int> run() const;

private:
    Case m_case;
};

} // namespace sayloom
