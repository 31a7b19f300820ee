#include "BenchmarkData.h"

#include "dictionary/DictionaryCorrector.h"

#include <QSet>
#include <QStringList>

#include <random>
#include <utility>
#include <vector>

namespace sayloom {

namespace {

// A written form and how a recogniser tends to hear it.
struct Piece {
    const char16_t* written;
    const char16_t* heard;
};

constexpr Piece productStarts[] = {
        {u"Supa", u"super"},  {u"Kube", u"cube"},     {u"Hyper", u"hyper"},    {u"Neo", u"neo"},
        {u"Zen", u"zen"},     {u"Flux", u"flux"},     {u"Quanta", u"quanta"},  {u"Velo", u"velo"},
        {u"Astro", u"astro"}, {u"Pico", u"pico"},     {u"Nimbus", u"nimbus"},  {u"Lumi", u"lumi"},
        {u"Terra", u"terra"}, {u"Vekta", u"vector"},  {u"Graf", u"graph"},     {u"Mongo", u"mongo"},
        {u"Redi", u"ready"},  {u"Cypher", u"cipher"}, {u"Tauri", u"tory"},     {u"Deno", u"dino"},
        {u"Zyte", u"zeit"},   {u"Okta", u"octa"},     {u"Pulumi", u"pulu me"}, {u"Xeno", u"zeno"},
};

constexpr Piece productEnds[] = {
        {u"base", u"base"},   {u"flow", u"flow"}, {u"ctl", u"control"}, {u"stack", u"stack"}, {u"hub", u"hub"},
        {u"forge", u"forge"}, {u"ly", u"lee"},    {u"io", u"eye oh"},   {u"craft", u"craft"}, {u"scope", u"scope"},
        {u"mint", u"mint"},   {u"grid", u"grid"}, {u"deck", u"deck"},   {u"wave", u"wave"},   {u"kit", u"kit"},
        {u"lab", u"lab"},     {u"sync", u"sink"}, {u"mesh", u"mesh"},   {u"vault", u"vault"}, {u"press", u"press"},
        {u"ops", u"ops"},     {u"cast", u"cast"}, {u"loop", u"loop"},   {u"dock", u"dock"},
};

constexpr Piece firstNames[] = {
        {u"Siobhan", u"shivon"},   {u"Niamh", u"neve"},          {u"Joaqu\u00EDn", u"wakeen"},
        {u"Priya", u"pria"},       {u"Xiaoming", u"shao ming"},  {u"Saoirse", u"sersha"},
        {u"Aoife", u"eefa"},       {u"Tadhg", u"tige"},          {u"Dmitri", u"dimitri"},
        {u"Zo\u00EB", u"zoey"},    {u"S\u00F8ren", u"soren"},    {u"Thuy", u"twee"},
        {u"Ram\u00F3n", u"ramon"}, {u"Ana\u00EFs", u"anna ees"}, {u"Kwame", u"kwahme"},
        {u"Ngozi", u"n gozi"},     {u"Oisin", u"osheen"},        {u"Yusuf", u"you suf"},
        {u"Ingrid", u"ingrid"},    {u"Mairead", u"maraid"},
};

constexpr Piece surnames[] = {
        {u"Okonkwo", u"oh conk woe"},    {u"Nakamura", u"naka mura"},       {u"Szyma\u0144ski", u"shimanski"},
        {u"Kowalczyk", u"kovalchick"},   {u"Van der Berg", u"vander berg"}, {u"Nguyen", u"win"},
        {u"Ferreira", u"fereira"},       {u"Abernathy", u"aber nathy"},     {u"Gallagher", u"gala her"},
        {u"Przybylski", u"shi billski"}, {u"O'Sullivan", u"oh sullivan"},   {u"Mbeki", u"em becky"},
        {u"Halvorsen", u"hal vorsen"},   {u"Lefebvre", u"le fever"},        {u"Chaudhry", u"chowdry"},
        {u"Yilmaz", u"yill maz"},        {u"Wojcik", u"voy chick"},         {u"Haddad", u"had dad"},
        {u"Quintero", u"kin terro"},     {u"Rasmussen", u"ras mussen"},
};

constexpr Piece brands[] = {
        {u"Claude", u"cloud"},         {u"Figma", u"fig ma"},       {u"Jira", u"gyra"},
        {u"Vercel", u"versel"},        {u"Netlify", u"net lify"},   {u"Zapier", u"zappier"},
        {u"Sentry", u"sentry"},        {u"Linear", u"linear"},      {u"Grafana", u"gra fana"},
        {u"Heroku", u"hero coo"},      {u"Asana", u"a sauna"},      {u"Miro", u"mirror"},
        {u"Retool", u"re tool"},       {u"Airtable", u"air table"}, {u"Datadog", u"data dog"},
        {u"Tailscale", u"tail scale"},
};

constexpr Piece brandProducts[] = {
        {u"Code", u"code"},         {u"Studio", u"studio"},   {u"Cloud", u"cloud"},     {u"Desktop", u"desktop"},
        {u"Pro", u"pro"},           {u"Edge", u"edge"},       {u"Workers", u"workers"}, {u"Pages", u"pages"},
        {u"Insights", u"insights"}, {u"Connect", u"connect"},
};

constexpr Piece scriptNames[] = {
        {u"Next", u"next"},      {u"Nuxt", u"nuxed"},      {u"Solid", u"solid"}, {u"Ember", u"ember"},
        {u"Svelte", u"svelt"},   {u"Three", u"three"},     {u"Chart", u"chart"}, {u"Alpine", u"alpine"},
        {u"Preact", u"pre act"}, {u"Express", u"express"}, {u"Nest", u"nest"},   {u"Mithril", u"mithril"},
};

// Dictation as people speak it at work; "{}" is where an entry is mentioned.
constexpr const char16_t* sentences[] = {
        u"So I was thinking we should move the auth layer over to {} before the next release.",
        u"Can you ask {} whether the migration script is ready?",
        u"Honestly the build has been flaky all week, and I think {} is part of the problem.",
        u"Let's schedule a call with {} and {} on Thursday afternoon.",
        u"Remind me to update the docs for {} tomorrow morning.",
        u"The dashboard still shows the old numbers, which is weird.",
        u"I tried {} yesterday and it was surprisingly fast.",
        u"We need to double check the billing page before Friday.",
        u"Send a message to {} saying the deploy went fine.",
        u"Could you write a short summary of what changed in {} during the last sprint?",
        u"I'm not sure the cache is invalidated correctly, so let's add a test for that.",
        u"Also, the onboarding email mentions {} twice, which looks sloppy.",
        u"Let me know if {} works on your machine.",
        u"The customer said the export button does nothing on Safari.",
        u"{} wants the pricing table to show yearly plans first.",
        u"Please loop in {} on the security review, since she wrote most of that code.",
        u"After lunch I'll pair with {} on the flaky integration tests.",
        u"Moving the logs to {} cut our bill roughly in half.",
        u"Okay, new paragraph.",
        u"The staging database ran out of disk again last night.",
        u"Can we get {} to sign off on the new onboarding flow by Monday?",
        u"I'd rather not rewrite the parser, but the error messages really are bad.",
        u"Note to self: compare {} with {} before we commit to either.",
};

class Random {
public:
    explicit Random(std::uint32_t seed)
        : m_engine(seed)
    {
    }

    // The engine's output is fixed by the standard; the library's distributions are not, so reduce by hand.
    qsizetype below(qsizetype bound) { return qsizetype(m_engine() % std::uint32_t(bound)); }

    template <typename T>
    void shuffle(std::vector<T>& items)
    {
        for (size_t i = items.size(); i > 1; --i) {
            std::swap(items[i - 1], items[size_t(below(qsizetype(i)))]);
        }
    }

private:
    std::mt19937 m_engine;
};

struct Candidate {
    QString written;
    QString heard;
};

std::vector<Candidate> allCandidates()
{
    std::vector<Candidate> result;
    const auto s = [](const char16_t* text) { return QString::fromUtf16(text); };
    for (const Piece& start : productStarts) {
        for (const Piece& end : productEnds) {
            result.push_back({s(start.written) + s(end.written), s(start.heard) + u' ' + s(end.heard)});
        }
    }
    for (const Piece& first : firstNames) {
        for (const Piece& last : surnames) {
            result.push_back({s(first.written) + u' ' + s(last.written), s(first.heard) + u' ' + s(last.heard)});
        }
    }
    for (const Piece& brand : brands) {
        for (const Piece& product : brandProducts) {
            result.push_back({s(brand.written) + u' ' + s(product.written), s(brand.heard) + u' ' + s(product.heard)});
        }
    }
    for (const Piece& name : scriptNames) {
        result.push_back({s(name.written) + u".js", s(name.heard) + u" js"});
        result.push_back({s(name.written) + u" DevTools", s(name.heard) + u" dev tools"});
    }
    return result;
}

QString keyOf(const QString& phrase)
{
    return DictionaryCorrector::parts(phrase).join(u' ').toLower();
}

QString capitalised(const QString& text)
{
    return text.isEmpty() ? text : text.first(1).toUpper() + text.sliced(1);
}

// How a recogniser might write `heard`: mostly as is, sometimes joined up, hyphenated or capitalised.
QString spoken(const QString& heard, Random& random)
{
    const QStringList parts = DictionaryCorrector::parts(heard);
    switch (random.below(12)) {
    case 0:
        return parts.join(QString());
    case 1:
        return parts.join(u'-');
    case 2: {
        QStringList title;
        for (const QString& part : parts) {
            title.append(capitalised(part));
        }
        return title.join(u' ');
    }
    case 3:
        return heard.toUpper();
    default:
        return heard;
    }
}

} // namespace

QList<DictionaryEntry> BenchmarkData::dictionary(qsizetype count, std::uint32_t seed)
{
    Random random(seed);
    std::vector<Candidate> candidates = allCandidates();
    random.shuffle(candidates);

    QList<DictionaryEntry> entries;
    entries.reserve(count);
    QSet<QString> keys;
    for (const Candidate& candidate : candidates) {
        if (entries.size() == count) {
            break;
        }
        const QString writtenKey = keyOf(candidate.written);
        const QString heardKey = keyOf(candidate.heard);
        if (keys.contains(writtenKey) || keys.contains(heardKey)) {
            continue;
        }
        keys.insert(writtenKey);
        keys.insert(heardKey);
        if (entries.size() < count / 2) {
            entries.append(DictionaryEntry(candidate.written));
        } else {
            entries.append(DictionaryEntry(candidate.written, candidate.heard));
        }
    }
    Q_ASSERT(entries.size() == count);
    return entries;
}

BenchmarkData::Transcript BenchmarkData::transcript(const QList<DictionaryEntry>& entries, qsizetype length,
                                                    std::uint32_t seed)
{
    Random random(seed);
    // Dealt like cards, so no sentence comes back before all the others have been used.
    std::vector<const char16_t*> deck;
    Transcript result;
    while (result.text.size() < length) {
        if (deck.empty()) {
            deck.assign(std::begin(sentences), std::end(sentences));
            random.shuffle(deck);
        }
        QString sentence = QString::fromUtf16(deck.back());
        deck.pop_back();
        for (qsizetype slot = sentence.indexOf(u"{}"); slot >= 0; slot = sentence.indexOf(u"{}", slot)) {
            const DictionaryEntry& entry = entries[random.below(entries.size())];
            // Words are mostly heard in lower case; now and then one is already written correctly.
            const QString heard = entry.heardAs          ? *entry.heardAs
                                  : random.below(4) == 0 ? entry.phrase
                                                         : entry.phrase.toLower();
            QString mention = spoken(heard, random);
            if (slot == 0) {
                mention = capitalised(mention);
            }
            sentence.replace(slot, 2, mention);
            slot += mention.size();
            ++result.mentions;
        }
        if (!result.text.isEmpty()) {
            result.text += u' ';
        }
        result.text += sentence;
    }
    return result;
}

} // namespace sayloom
