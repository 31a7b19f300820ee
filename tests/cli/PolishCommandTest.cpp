#include "SayloomProcess.h"
#include "support/Printers.h"
#include "support/ScriptedHttpServer.h"
#include "text/AIPolisher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using test::ScriptedHttpServer;

class PolishCommand : public ::testing::Test {
protected:
    // Points the settings at a language model server; `dictionary` becomes the user's dictionary file.
    void configure(const QString& url, const QString& model = {}, const QByteArray& dictionary = {})
    {
        ASSERT_TRUE(QDir().mkpath(home.filePath(u"config/Sayloom"_s)) && QDir().mkpath(home.filePath(u"Sayloom"_s)));
        QFile settings(home.filePath(u"config/Sayloom/Sayloom.conf"_s));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("[General]\nlanguageModelURL=" + url.toUtf8() + "\nlanguageModelName=" + model.toUtf8() + "\n");
        QFile file(home.filePath(u"Sayloom/Dictionary.txt"_s));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(dictionary);
    }

    // The output lines of a successful run, which end with one "took:" line, left out.
    QStringList polish(const QStringList& arguments, const QProcessEnvironment& environment = {})
    {
        result = SayloomProcess::run(QStringList{u"--polish"_s} + arguments, home.path(), environment);
        EXPECT_TRUE(result.exitedNormally);
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        EXPECT_TRUE(result.standardOutput.endsWith(" seconds\n")) << result.standardOutput.toStdString();
        int tookLines = 0;
        const QStringList lines = SayloomProcess::linesWithoutTimings(result.standardOutput, tookLines);
        EXPECT_EQ(tookLines, 1) << result.standardOutput.toStdString();
        return lines;
    }

    QTemporaryDir home;
    SayloomProcess::Result result;
};

TEST_F(PolishCommand, WithoutAModelGivesTheBasicCleanup)
{
    const QString text = u"uh so the the report is done new paragraph hmm, send it to Ann new line thanks"_s;
    EXPECT_EQ(polish({text}),
              (QStringList{u"ai:       Set up a local language model in Settings"_s,
                           u"polished: So the report is done"_s, QString(), u"Send it to Ann"_s, u"Thanks"_s}));
    EXPECT_EQ(polish({u"um"_s, u"--app"_s, u"org.example.Editor"_s}),
              (QStringList{u"ai:       Set up a local language model in Settings"_s, u"polished: "_s}));

    // A server elsewhere than on this computer is never used.
    configure(u"http://192.0.2.1:8080/v1"_s);
    EXPECT_EQ(polish({u"send it now please"_s}).first(), u"ai:       Set up a local language model in Settings"_s);
}

TEST_F(PolishCommand, UsesTheConfiguredServerWithTheDictionaryTerms)
{
    ScriptedHttpServer server;
    configure(server.baseURL(), u"test-model"_s, "# comment\nSupabase\ncloud code -> Claude Code\nSupabase\n");
    server.enqueue(ScriptedHttpServer::answer(u"Deploy it to Supabase on Friday."_s));

    QProcessEnvironment environment;
    environment.insert(u"SAYLOOM_DEBUG"_s, QString());
    EXPECT_EQ(polish({u"um deploy it to super base on tuesday no wait friday"_s}, environment),
              (QStringList{u"ai:       Language model ready"_s, u"polished: Deploy it to Supabase on Friday."_s}));
    EXPECT_TRUE(result.standardError.contains("model:    Deploy it to Supabase on Friday.\n"))
            << result.standardError.toStdString();

    const QList<ScriptedHttpServer::Request> requests = server.chatRequests();
    ASSERT_EQ(requests.size(), 1);
    // Every phrase in file order, duplicates and all.
    EXPECT_EQ(requests[0].message(u"user"_s),
              u"Spell these terms exactly: Supabase, Claude Code, Supabase\n"
              u"<transcript>um deploy it to super base on tuesday no wait friday</transcript>"_s);
    EXPECT_EQ(requests[0].message(u"system"_s), AIPolisher::instructions());
    EXPECT_EQ(requests[0].json()[u"max_tokens"].toInt(), 40 + 53 / 2);
}

TEST_F(PolishCommand, RejectedAndShortParagraphsGetTheBasicCleanup)
{
    ScriptedHttpServer server;
    configure(server.baseURL());
    // A greeting the speaker never said, and an answer to the question instead of the question.
    server.enqueue({ScriptedHttpServer::answer(u"Hi team,\n\nthe build is green and shipping today.\n\nBest"_s),
                    ScriptedHttpServer::answer(u"The capital of France is Paris, a city famous for art and food."_s)});
    const QString text = u"the build is green and shipping today new paragraph ok thanks new paragraph "
                         u"what is the capital of france"_s;
    const QStringList lines = polish({text});
    EXPECT_EQ(lines,
              (QStringList{u"ai:       Language model ready"_s, u"polished: The build is green and shipping today"_s,
                           QString(), u"Ok thanks"_s, QString(), u"What is the capital of france"_s}));
    EXPECT_EQ(server.chatRequests().size(), 2);
}

} // namespace
} // namespace sayloom
