#include "speech/ArpabetMapping.h"
#include "speech/Pronouncer.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

struct MappingRow {
    QString ipa;
    QString phones;
};

// Names the row in plain ASCII, in test names and failures: the espeak text with its symbols as code points.
void PrintTo(const MappingRow& row, std::ostream* out)
{
    for (const char32_t c : row.ipa.toUcs4()) {
        if (c < 0x80) {
            *out << char(c);
        } else {
            *out << "U+" << std::hex << std::uppercase << unsigned(c) << std::dec;
        }
    }
    *out << " -> " << row.phones.toStdString();
}

class IpaToArpabet : public testing::TestWithParam<MappingRow> {};

TEST_P(IpaToArpabet, MapsEspeakPhonemesOntoTheModelsPhones)
{
    EXPECT_EQ(arpabetFromIpa(GetParam().ipa).join(u' '), GetParam().phones) << GetParam().ipa.toStdString();
}

// espeak-ng's own output for these words, with "_" between phonemes.
INSTANTIATE_TEST_SUITE_P(Words, IpaToArpabet,
                         testing::Values(MappingRow{u"k_j_ˈuː_b_ɚ_n_ˌiː_t_s"_s,
                                                    u"K Y UW B ER N IY T S"_s},                       // kubernetes
                                         MappingRow{u"s_ˈuː_p_ɐ_b_ˌeɪ_s"_s, u"S UW P AH B EY S"_s},   // supabase
                                         MappingRow{u"t_ˈɛ_ɹ_ɐ_f_ˌɔːɹ_m"_s, u"T EH R AH F AO R M"_s}, // terraform
                                         MappingRow{u"ˈɛɹ_ɾ_ə_b_əl"_s, u"EH R T AH B AH L"_s},        // airtable
                                         MappingRow{u"n_ˈɛ_t_l_ᵻ_f_ˌaɪ"_s, u"N EH T L IH F AY"_s},    // netlify
                                         MappingRow{u"dʒ_ˈiə_ɹ_ə"_s, u"JH IY R AH"_s},                // jira
                                         MappingRow{u"tʃ_ˈɜː_tʃ"_s, u"CH ER CH"_s},                   // church
                                         MappingRow{u"θ_ˈɪ_ŋ ð_ˈɪ_s"_s, u"TH IH NG DH IH S"_s},       // thing this
                                         MappingRow{u"m_ˈɛ_ʒ_ɚ"_s, u"M EH ZH ER"_s},                  // measure
                                         MappingRow{u"b_ˈɔɪ k_ˈaʊ h_ˈaɪ"_s, u"B OY K AW HH AY"_s},    // boy cow high
                                         MappingRow{u"z_ˈeɪ_p_i__ɚ"_s, u"Z EY P IY ER"_s},   // zapier: empty phoneme
                                         MappingRow{u"k_ˈɑː_t_l_ɪ_n"_s, u"K AA T L IH N"_s}, // kotlin
                                         MappingRow{u"f_ˈaɪɚ"_s, u"F AY ER"_s},              // fire
                                         MappingRow{u"kˈɑːtlɪn"_s, u"K AA T L IH N"_s},      // no separators
                                         MappingRow{u"ʊ_ɹ ʔ_ɾ"_s, u"UH R T T"_s},            // split, glottal stop
                                         MappingRow{u"q_ˈ"_s, QString()},                    // nothing known
                                         MappingRow{QString(), QString()}));

TEST(Pronouncer, GivesEveryWordPhonesTheModelKnows)
{
    const QStringList& known = arpabetPhones();
    for (const QString& word :
         {u"supabase"_s, u"kubernetes"_s, u"grafana"_s, u"nginx"_s, u"auth0"_s, u"node.js"_s, u"zürich"_s}) {
        const QString phones = Pronouncer::pronounce(word);
        ASSERT_FALSE(phones.isEmpty()) << word.toStdString();
        for (const QString& phone : phones.split(u' ')) {
            EXPECT_TRUE(known.contains(phone)) << word.toStdString() << ": " << phones.toStdString();
        }
    }
    // US English: a British voice would end the second syllable in AH.
    EXPECT_EQ(Pronouncer::pronounce(u"kubernetes"_s), u"K Y UW B ER N IY T S"_s);
    EXPECT_EQ(Pronouncer::pronounce(u"--"_s), QString());
}

TEST(Pronouncer, IsSafeFromSeveralThreadsAtOnce)
{
    // Words espeak-ng reads alike but the cache has never seen (the padding differs), so every answer comes from
    // espeak-ng itself while the other threads use it too.
    std::atomic<int> wrong = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&wrong, i] {
            for (int round = 1; round <= 50; ++round) {
                wrong += Pronouncer::pronounce(QString(i * 50 + round, u' ') + u"grafana"_s) != u"G R AE F AA N AH"_s;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, 0);
}

} // namespace
} // namespace sayloom
