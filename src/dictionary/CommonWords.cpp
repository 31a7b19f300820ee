#include "dictionary/CommonWords.h"

namespace sayloom {

const QSet<QString>& CommonWords::words()
{
    static const QSet<QString> set = [] {
        const QString list = QStringLiteral(
                "a about above after again all also am an and any are as at back be because been before being below "
                "between both but by call came can come could day did do does doing done down during each even every "
                "few find first for from further get give go going good got had has have having he her here hers "
                "herself him himself his how i if in into is it its itself just know last like little long look made "
                "make man many may me might more most much must my myself need new no nor not now of off old on once "
                "one only or other our ours ourselves out over own people really right said same say see she should "
                "so some still such take tell than that the their theirs them themselves then there these they thing "
                "think this those through time to too two under until up us use very want was way we well went were "
                "what when where which while who whom why will with work would year yes yet you your yours yourself "
                "yourselves okay ok yeah send meet today tomorrow week next let lets thanks please sure great file "
                "code fix team note mark bill june april rose grace hope");
        const QStringList words = list.split(u' ');
        return QSet<QString>(words.begin(), words.end());
    }();
    return set;
}

} // namespace sayloom
