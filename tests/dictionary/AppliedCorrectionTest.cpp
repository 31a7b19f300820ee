#include "dictionary/AppliedCorrection.h"

#include "support/Printers.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

std::optional<AppliedCorrection> decoded(const QByteArray& json)
{
    return AppliedCorrection::fromJson(QJsonDocument::fromJson("[" + json + "]").array().at(0));
}

TEST(AppliedCorrection, EncodesAllFourKeysInOrderAndReadsBack)
{
    const AppliedCorrection correction{u"cloud \"code\"\n"_s, u"Claude Code \U0001F600"_s, 4, 14};
    const QByteArray json = correction.toJsonBytes();
    EXPECT_EQ(json, "{\"heard\":\"cloud \\\"code\\\"\\n\",\"written\":\"Claude Code \xF0\x9F\x98\x80\",\"location\":4,"
                    "\"length\":14}");
    EXPECT_EQ(decoded(json), correction);
    EXPECT_EQ(AppliedCorrection::fromJson(correction.toJson()), correction);
}

TEST(AppliedCorrection, DecodingIsStrict)
{
    EXPECT_EQ(decoded(R"({"heard":"a","written":"b","location":-1,"length":0,"extra":true})"),
              (AppliedCorrection{u"a"_s, u"b"_s, -1, 0}));
    EXPECT_EQ(decoded(R"({"heard":"a","written":"b","location":2.0,"length":1})"),
              (AppliedCorrection{u"a"_s, u"b"_s, 2, 1}));
    for (const char* bad :
         {R"({"written":"b","location":0,"length":1})", R"({"heard":"a","location":0,"length":1})",
          R"({"heard":"a","written":"b","length":1})", R"({"heard":"a","written":"b","location":0})",
          R"({"heard":1,"written":"b","location":0,"length":1})",
          R"({"heard":"a","written":null,"location":0,"length":1})",
          R"({"heard":"a","written":"b","location":"0","length":1})",
          R"({"heard":"a","written":"b","location":0.5,"length":1})",
          R"({"heard":"a","written":"b","location":0,"length":1e300})",
          R"({"heard":"a","written":"b","location":0,"length":true})", R"(["a","b",0,1])", R"("text")"}) {
        EXPECT_EQ(decoded(bad), std::nullopt) << bad;
    }
}

} // namespace
