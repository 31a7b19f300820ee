#include "DevCommand.h"

#include "AIPolisher.h"
#include "AppPaths.h"
#include "DictionaryCorrector.h"
#include "DictionaryFile.h"
#include "DictionarySelfTest.h"
#include "LocalLanguageModel.h"
#include "Output.h"

#include <QSettings>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace sayloom {

namespace {

using namespace Qt::StringLiterals;

int correct(const QString& text)
{
    QList<DictionaryEntry> entries;
    if (const std::optional<QString> file = DictionaryFile::readText(AppPaths::dictionary())) {
        entries = DictionaryFile::parse(*file);
    }
    const DictionaryCorrector::Result result = DictionaryCorrector(entries).apply(text);
    Output::printLine(u"corrected: " + result.text);
    for (const AppliedCorrection& correction : result.corrections) {
        Output::printLine(u"  " + correction.heard + u" -> " + correction.written);
    }
    return 0;
}

// Every phrase of the dictionary file in file order, words and corrections alike; read afresh on every call.
QStringList dictionaryTerms()
{
    QStringList terms;
    if (const std::optional<QString> file = DictionaryFile::readText(AppPaths::dictionary())) {
        for (const DictionaryEntry& entry : DictionaryFile::parse(*file)) {
            terms.append(entry.phrase);
        }
    }
    return terms;
}

QCoro::Task<> polishAndPrint(QString text, std::optional<QString> bundleIdentifier)
{
    auto model = std::make_shared<LocalLanguageModel>(LocalLanguageModel::configuration(QSettings()));
    AIPolisher polisher(model);
    Output::printLine(Output::label(u"ai:"_s) + availabilityText(co_await model->probe()));

    const auto start = std::chrono::steady_clock::now();
    const PolishContext context{std::move(bundleIdentifier), dictionaryTerms()};
    const QString polished = co_await polisher.polish(std::move(text), context);
    Output::printLine(Output::label(u"polished:"_s) + polished);
    Output::printLine(Output::label(u"took:"_s) + Output::seconds(std::chrono::steady_clock::now() - start));
}

int notAvailableYet(const char16_t* option)
{
    Output::printError(QString::fromUtf16(option) + u" is not available in this build yet");
    return 1;
}

} // namespace

std::optional<DevCommand> DevCommand::parse(const QStringList& arguments)
{
    if (arguments.isEmpty()) {
        return std::nullopt;
    }
    const QString& first = arguments.first();
    const qsizetype count = arguments.size();

    if (first == u"--transcribe" && count >= 2) {
        return DevCommand(Transcribe{arguments[1], arguments.contains(u"--polish")});
    }
    if (first == u"--polish" && count >= 2) {
        std::optional<QString> bundleIdentifier;
        const qsizetype app = arguments.indexOf(u"--app");
        if (app >= 0 && app + 1 < count) {
            bundleIdentifier = arguments[app + 1];
        }
        return DevCommand(Polish{arguments[1], bundleIdentifier});
    }
    if (first == u"--correct" && count >= 2) {
        return DevCommand(Correct{arguments[1]});
    }
    if (first == u"--snapshot" && count >= 2) {
        return DevCommand(Snapshot{arguments[1]});
    }
    if (first == u"--selftest") {
        return DevCommand(SelfTest{});
    }
    if (first == u"--record") {
        return DevCommand(
                Record{count >= 2 ? number(arguments[1]).value_or(defaultRecordSeconds) : defaultRecordSeconds});
    }
    return std::nullopt;
}

std::optional<double> DevCommand::number(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    // strtod would skip leading white space and honour the user's decimal separator; neither is wanted.
    if (bytes.isEmpty() || std::strchr(" \t\n\v\f\r", bytes.front()) != nullptr) {
        return std::nullopt;
    }
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", locale_t(nullptr));
    const char* begin = bytes.constData();
    char* end = nullptr;
    const double value = strtod_l(begin, &end, cLocale);
    if (end != begin + bytes.size()) {
        return std::nullopt;
    }
    return value;
}

QCoro::Task<int> DevCommand::run() const
{
    if (const auto* command = std::get_if<Correct>(&m_case)) {
        co_return correct(command->text);
    }
    if (std::holds_alternative<SelfTest>(m_case)) {
        co_return DictionarySelfTest::run() ? 0 : 1;
    }
    if (std::holds_alternative<Transcribe>(m_case)) {
        co_return notAvailableYet(u"--transcribe");
    }
    if (const auto* command = std::get_if<Polish>(&m_case)) {
        co_await polishAndPrint(command->text, command->bundleIdentifier);
        co_return 0;
    }
    if (std::holds_alternative<Record>(m_case)) {
        co_return notAvailableYet(u"--record");
    }
    co_return notAvailableYet(u"--snapshot");
}

} // namespace sayloom
