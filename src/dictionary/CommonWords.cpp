#include "CommonWords.h"

namespace sayloom {

using namespace Qt::StringLiterals;

const QSet<QString>& CommonWords::words()
{
    static const QSet<QString> set{
    u"a"_s, u"about"_s, u"above"_s, u"after"_s, u"again"_s, u"all"_s, u"also"_s, u"am"_s, u"an"_s, u"and"_s,
    u"any"_s, u"are"_s, u"as"_s, u"at"_s, u"back"_s, u"be"_s, u"because"_s, u"been"_s, u"before"_s, u"being"_s,
    u"below"_s, u"between"_s, u"both"_s, u"but"_s, u"by"_s, u"call"_s, u"came"_s, u"can"_s, u"come"_s, u"could"_s,
    u"day"_s, u"did"_s, u"do"_s, u"does"_s, u"doing"_s, u"done"_s, u"down"_s, u"during"_s, u"each"_s, u"even"_s,
    u"every"_s, u"few"_s, u"find"_s, u"first"_s, u"for"_s, u"from"_s, u"further"_s, u"get"_s, u"give"_s, u"go"_s,
    u"going"_s, u"good"_s, u"got"_s, u"had"_s, u"has"_s, u"have"_s, u"having"_s, u"he"_s, u"her"_s, u"here"_s,
    u"hers"_s, u"herself"_s, u"him"_s, u"himself"_s, u"his"_s, u"how"_s, u"i"_s, u"if"_s, u"in"_s, u"into"_s,
    u"is"_s, u"it"_s, u"its"_s, u"itself"_s, u"just"_s, u"know"_s, u"last"_s, u"like"_s, u"little"_s, u"long"_s,
    u"look"_s, u"made"_s, u"make"_s, u"man"_s, u"many"_s, u"may"_s, u"me"_s, u"might"_s, u"more"_s, u"most"_s,
    u"much"_s, u"must"_s, u"my"_s, u"myself"_s, u"need"_s, u"new"_s, u"no"_s, u"nor"_s, u"not"_s, u"now"_s, u"of"_s,
    u"off"_s, u"old"_s, u"on"_s, u"once"_s, u"one"_s, u"only"_s, u"or"_s, u"other"_s, u"our"_s, u"ours"_s,
    u"ourselves"_s, u"out"_s, u"over"_s, u"own"_s, u"people"_s, u"really"_s, u"right"_s, u"said"_s, u"same"_s,
    u"say"_s, u"see"_s, u"she"_s, u"should"_s, u"so"_s, u"some"_s, u"still"_s, u"such"_s, u"take"_s, u"tell"_s,
    u"than"_s, u"that"_s, u"the"_s, u"their"_s, u"theirs"_s, u"them"_s, u"themselves"_s, u"then"_s, u"there"_s,
    u"these"_s, u"they"_s, u"thing"_s, u"think"_s, u"this"_s, u"those"_s, u"through"_s, u"time"_s, u"to"_s,
    u"too"_s, u"two"_s, u"under"_s, u"until"_s, u"up"_s, u"us"_s, u"use"_s, u"very"_s, u"want"_s, u"was"_s,
    u"way"_s, u"we"_s, u"well"_s, u"went"_s, u"were"_s, u"what"_s, u"when"_s, u"where"_s, u"which"_s, u"while"_s,
    u"who"_s, u"whom"_s, u"why"_s, u"will"_s, u"with"_s, u"work"_s, u"would"_s, u"year"_s, u"yes"_s, u"yet"_s,
    u"you"_s, u"your"_s, u"yours"_s, u"yourself"_s, u"yourselves"_s, u"okay"_s, u"ok"_s, u"yeah"_s, u"send"_s,
    u"meet"_s, u"today"_s, u"tomorrow"_s, u"week"_s, u"next"_s, u"let"_s, u"lets"_s, u"thanks"_s, u"please"_s,
    u"sure"_s, u"great"_s, u"file"_s, u"code"_s, u"fix"_s, u"team"_s, u"note"_s, u"mark"_s, u"bill"_s, u"june"_s,
    u"april"_s, u"rose"_s, u"grace"_s, u"hope"_s,
    };
    return set;
}

} // namespace sayloom
